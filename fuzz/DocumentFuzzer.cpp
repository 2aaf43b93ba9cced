// Loading a document from arbitrary bytes: the text has only line feeds,
// its grouping for the editor keeps every character, saving it gives the
// bytes it came from (line ends aside), and loading the saved bytes gives the
// same text.
#include "fuzz/FuzzSupport.h"

#include "app/document/DocumentFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    const TDocumentText document = DecodeDocument(bytes);
    fuzzing::Require(!document.Text.contains(u'\r'), "line ends become line feeds");

    const QString grouped = GroupLines(document.Text);
    fuzzing::Require(grouped.size() == document.Text.size(), "grouping keeps the length");
    if (!document.Text.contains(QChar::LineSeparator)) {
        QString ungrouped = grouped;
        ungrouped.replace(QChar::LineSeparator, u'\n');
        fuzzing::Require(ungrouped == document.Text, "grouping changes only line ends");
    }

    // Without line ends to unify, the bytes themselves come back, valid
    // UTF-8 or not.
    if (!bytes.contains('\r') && !bytes.contains('\n'))
        fuzzing::Require(EncodeDocument(document) == bytes, "a file is saved as it came");

    const TDocumentText saved = DecodeDocument(EncodeDocument(document));
    fuzzing::Require(saved.Text == document.Text, "a loaded document saves to the same text");
    fuzzing::Require(saved.Utf8 == NeedsUtf8(document), "the saved encoding is the one chosen");
    return 0;
}
