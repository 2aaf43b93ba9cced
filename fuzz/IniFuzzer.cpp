// The settings-file layer over arbitrary text: reading, then writing a value
// and reading the written file back.
#include "fuzz/FuzzSupport.h"

#include "platform/Profile.h"

#include <cstddef>
#include <cstdint>

namespace {

QString Unquoted(QString value) {
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Three short names, then the file: section, key and value to write.
    fuzzing::TInput input(data, size);
    const QString section = QString::fromUtf8(input.Bytes(input.Byte() % 16));
    const QString key = QString::fromUtf8(input.Bytes(input.Byte() % 16));
    const QString value = QString::fromUtf8(input.Bytes(input.Byte() % 32));
    const QString text = QString::fromUtf8(input.Rest());

    // Stray carriage returns may be normalised on the way; what is read
    // may not change.
    platform::TIniDocument document(text);
    const QString before = document.Value(section, key);
    const QString after = platform::TIniDocument(document.Text()).Value(section, key);
    fuzzing::Require(after == before && after.isNull() == before.isNull(),
                     "a file written back reads the same");
    if (!platform::IsWritableProfileValue(section, key, value))
        return 0;
    document.SetValue(section, key, value);
    const platform::TIniDocument reread(document.Text());
    fuzzing::Require(reread.Value(section, key) == Unquoted(value), "a written value reads back");
    return 0;
}
