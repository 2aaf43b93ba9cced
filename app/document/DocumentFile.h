#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// A document on disk: the editor's whole text, lines separated by CR LF, no
// line end after the last line, no header, in Windows-1252. Text the code
// page cannot hold would turn into "?", so such a document is written in
// UTF-8 behind a byte-order mark instead; a file that starts with that mark
// is read as UTF-8 and keeps it when saved again. Bytes of such a file that
// are no valid UTF-8 are kept as they came (as lone surrogates in the text)
// and written back unchanged.
struct TDocumentText {
    QString Text; // lines separated by '\n'
    bool Utf8 = false;
};

// CR LF, a lone CR and a lone LF each become one line break.
TDocumentText DecodeDocument(QByteArrayView bytes);
// Utf8 asks for UTF-8 with its mark; it is also used when Windows-1252 lacks
// a character of the text.
QByteArray EncodeDocument(const TDocumentText& document);

// Whether the text would be written in UTF-8.
bool NeedsUtf8(const TDocumentText& document);

// Qt's text document spends microseconds on each paragraph it holds, which
// makes seconds for a million readings; the editor therefore takes a long
// text in paragraphs of up to GroupedLines lines, held apart within one by
// line separators, which it shows as line breaks all the same. A line end
// that ends the text stays one, so an empty last line stays its own.
// Saving turns the separators back into line ends. A paragraph is laid out
// whole whenever text goes into it or it shows, so the size is a balance:
// 32 lines cost a stream about a fifth less than 128 and a drain no more,
// and one line per paragraph triples the drain's cost and memory.
//
// A paragraph is also kept to about ParagraphLength characters: one
// closes at a line end once it holds half of that, and a line that would
// take it further (a gauge that never sends a line end) goes on in the next
// paragraph behind a soft break: the mark SoftBreak at the end of the
// paragraph, which saving drops together with the paragraph end after it.
// So no insertion ever lays out more than one such paragraph, however long
// the line, and the file holds the line as it came. Where an edit leaves
// the mark apart from its paragraph end, the paragraph end becomes a line
// end, as the window shows it, and the mark goes.
constexpr int GroupedLines = 32;
constexpr qsizetype ParagraphLength = 4096;
// An unassigned, default-ignorable code point: no code page byte and no
// ordinary text yields it, and the editor shows it as nothing.
constexpr QChar SoftBreak{0x2065};
// The paragraph the text goes into: its line separators and characters.
struct TParagraphFill {
    int Separators = 0;
    qsizetype Length = 0;
};
QString GroupLines(QString text, TParagraphFill into = {});
// The editor's text (or a part of it) as it is saved: each paragraph and
// line separator a line end ('\n'), each soft break and mark gone.
QString UngroupLines(QString text);
// CR LF, a lone CR and a lone LF each become one '\n'.
QString UnifyLineBreaks(QStringView text);

// Reading and writing whole files; failures raise platform::EFileError with
// the reason. Only a regular file is read. Writing goes to a temporary file
// that replaces the target only when complete and on the disk, so a full
// disk or a crash leaves the previous file intact (platform::ReplaceFile).
QByteArray ReadDocumentFile(const QString& path);
void WriteDocumentFile(const QString& path, QByteArrayView bytes);
