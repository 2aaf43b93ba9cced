// The port-settings string over arbitrary bytes: decoding never reads past
// the record, and whatever decodes as valid encodes to a string that
// decodes to the same record.
#include "fuzz/FuzzSupport.h"

#include "serial/SerialSettings.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TSerialSettings settings;
    DecodeSettings(text, settings);
    if (!settings.Valid)
        return 0;
    const QByteArray encoded = EncodeSettings(settings);
    fuzzing::Require(encoded.size() == 95, "an encoded record is 95 characters");
    TSerialSettings again;
    again.Baudrate = 1; // another starting record: every field must be written
    again.XOnChar = 'x';
    DecodeSettings(encoded, again);
    fuzzing::Require(again == settings, "a valid record survives encoding");
    return 0;
}
