#include "app/document/DocumentFile.h"

#include "platform/CodePage.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringTokenizer>

#include <stdexcept>

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

[[noreturn]] void Fail(const char* what, const QString& path, const QString& reason) {
    throw std::runtime_error(
        QStringLiteral("%1 \"%2\". %3").arg(QString::fromLatin1(what), path, reason).toStdString());
}

} // namespace

TDocumentText DecodeDocument(QByteArrayView bytes) {
    TDocumentText document;
    document.Utf8 = bytes.startsWith(QByteArrayView(kUtf8Mark));
    // Only the mark found above is taken off; a second one is text.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    document.Text =
        UnifyLineBreaks(document.Utf8 ? utf8(bytes.sliced(3)) : platform::AnsiToUnicode(bytes));
    return document;
}

bool NeedsUtf8(const TDocumentText& document) {
    if (document.Utf8)
        return true;
    for (const QChar ch : document.Text)
        if (ch.unicode() >= 0x80 && platform::CharToAnsi(ch) < 0)
            return true;
    return false;
}

QByteArray EncodeDocument(const TDocumentText& document) {
    const bool utf8 = NeedsUtf8(document);
    QByteArray bytes = utf8 ? QByteArray(kUtf8Mark) : QByteArray();
    bytes.reserve(document.Text.size() + document.Text.size() / 8 + 3);
    // Line by line, each line end written as CR LF.
    bool first = true;
    for (const QStringView line : QStringTokenizer(document.Text, u'\n')) {
        if (!first)
            bytes += "\r\n";
        first = false;
        bytes += utf8 ? line.toUtf8() : platform::UnicodeToAnsi(line);
    }
    return bytes;
}

// In one pass: documents run to millions of lines.
QString UnifyLineBreaks(QStringView text) {
    QString unified(text.size(), Qt::Uninitialized);
    QChar* out = unified.data();
    const QChar* in = text.constData();
    const qsizetype size = text.size();
    qsizetype length = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (in[i] == u'\r') {
            out[length++] = u'\n';
            if (i + 1 < size && in[i + 1] == u'\n')
                ++i;
        } else {
            out[length++] = in[i];
        }
    }
    unified.truncate(length);
    return unified;
}

namespace {

// Where the grouping stands in the paragraph being filled, and what each
// character of the text becomes.
class TGrouping {
public:
    explicit TGrouping(TParagraphFill into) : FFill(into) {}
    enum class TStep { Keep, Separator, ParagraphEnd, SoftBreakFirst };
    // What the character becomes; last: it ends the text.
    TStep Step(QChar ch, bool last) {
        if (ch != u'\n') {
            if (FFill.Length >= ParagraphLength) {
                FFill = {0, 1};
                return TStep::SoftBreakFirst;
            }
            ++FFill.Length;
            return TStep::Keep;
        }
        if (!last && FFill.Separators + 1 < GroupedLines && FFill.Length < ParagraphLength / 2) {
            ++FFill.Separators;
            ++FFill.Length;
            return TStep::Separator;
        }
        FFill = {};
        return TStep::ParagraphEnd;
    }

private:
    TParagraphFill FFill;
};

} // namespace

// In place, a line at a time, while no line needs a soft break: documents
// run to millions of lines, and a soft break only comes with a line of
// thousands of characters; from there on, a character at a time.
QString GroupLines(QString text, TParagraphFill into) {
    const qsizetype size = text.size();
    QChar* data = text.data();
    qsizetype from = 0;
    while (from < size) {
        const qsizetype feed = QStringView(text).sliced(from).indexOf(u'\n');
        const qsizetype end = feed < 0 ? size : from + feed;
        if (into.Length + (end - from) > ParagraphLength)
            break;
        into.Length += end - from;
        if (feed < 0)
            return text;
        if (end + 1 < size && into.Separators + 1 < GroupedLines &&
            into.Length < ParagraphLength / 2) {
            data[end] = QChar::LineSeparator;
            ++into.Separators;
            ++into.Length;
        } else {
            into = {};
        }
        from = end + 1;
    }
    if (from == size)
        return text;
    TGrouping grouping(into);
    QString grouped;
    grouped.reserve(size + 2 * (size / (ParagraphLength / 2) + 1));
    grouped.append(QStringView(text).first(from));
    for (qsizetype i = from; i < size; ++i) {
        switch (grouping.Step(data[i], i + 1 == size)) {
        case TGrouping::TStep::SoftBreakFirst:
            grouped.append(SoftBreak).append(u'\n').append(data[i]);
            break;
        case TGrouping::TStep::Separator:
            grouped.append(QChar::LineSeparator);
            break;
        default:
            grouped.append(data[i]);
        }
    }
    return grouped;
}

QString UngroupLines(QString text) {
    const auto isBreak = [](QChar ch) {
        return ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator || ch == u'\n';
    };
    QChar* data = text.data();
    const qsizetype size = text.size();
    qsizetype kept = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] == SoftBreak) {
            if (i + 1 < size && isBreak(data[i + 1]))
                ++i;
            continue;
        }
        data[kept++] = isBreak(data[i]) ? QChar(u'\n') : data[i];
    }
    text.truncate(kept);
    return text;
}

QByteArray ReadDocumentFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail("Cannot open file", path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        Fail("Cannot read file", path, file.errorString());
    return bytes;
}

void WriteDocumentFile(const QString& path, QByteArrayView bytes) {
    // QSaveFile follows a symbolic link to its target and keeps the target's
    // permissions; in a folder that takes no new files it writes in place.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        Fail("Cannot create file", path, file.errorString());
    if (file.write(bytes.data(), bytes.size()) != bytes.size() || !file.commit())
        Fail("Cannot write file", path, file.errorString());
}
