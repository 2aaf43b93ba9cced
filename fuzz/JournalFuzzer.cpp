// Decoding a capture journal from arbitrary bytes: what is lost is counted,
// and an intact record after whatever came before it is always recovered.
#include "fuzz/FuzzSupport.h"

#include "app/journal/CaptureJournal.h"

#include <QtEndian>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    const journal::TContents contents = journal::Decode(bytes);
    if (contents.State == journal::TContents::TState::Unreadable)
        return 0;
    fuzzing::Require((contents.State == journal::TContents::TState::Intact) ==
                         (contents.LostBytes == 0),
                     "damage and lost bytes go together");
    fuzzing::Require(contents.LostBytes <= bytes.size() - journal::HeaderSize,
                     "no more is lost than there is");

    // A reading appended behind any damage comes back.
    const qint64 created = qFromLittleEndian<qint64>(bytes.data() + 8);
    const QByteArray more = bytes.toByteArray() +
                            journal::EncodeRecord(journal::TRecordKind::Reading, created, u"zz\n");
    fuzzing::Require(journal::Decode(more).Text.endsWith(u"zz\n"),
                     "an intact record after damage is recovered");
    return 0;
}
