#include "app/document/DocumentFile.h"

#include "platform/CodePage.h"
#include "platform/Files.h"

#include <QStringDecoder>
#include <QStringTokenizer>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// A byte that is no part of valid UTF-8 is kept as the lone low surrogate
// U+DC00 + byte, which valid UTF-8 can never give, and written back as that
// byte: a file is saved as it came, whatever its damage.
constexpr char16_t KeptByte = 0xDC00;

bool IsKeptByte(QStringView text, qsizetype i) {
    const char16_t c = text[i].unicode();
    return c >= KeptByte + 0x80 && c <= KeptByte + 0xFF &&
           (i == 0 || !text[i - 1].isHighSurrogate());
}

// The length of the valid UTF-8 sequence at bytes[i], 0 when there is none.
int SequenceLength(QByteArrayView bytes, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    int length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() - i < length || at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (int k = 2; k < length; ++k)
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

QString DecodeUtf8(QByteArrayView bytes) {
    // Only the mark taken off by the caller goes; a second one is text.
    // Stateless: a sequence cut off at the end is an error, not one waiting
    // for more.
    constexpr auto flags =
        QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless;
    const auto decode = [flags](QByteArrayView valid) {
        QStringDecoder utf8(QStringDecoder::Utf8, flags);
        return QString(utf8(valid));
    };
    QStringDecoder utf8(QStringDecoder::Utf8, flags);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    qsizetype valid = 0; // where the run of valid sequences began
    for (qsizetype i = 0; i < bytes.size();) {
        if (const int length = SequenceLength(bytes, i); length > 0) {
            i += length;
            continue;
        }
        text += decode(bytes.sliced(valid, i - valid));
        text += QChar(KeptByte + static_cast<unsigned char>(bytes[i]));
        valid = ++i;
    }
    text += decode(bytes.sliced(valid));
    return text;
}

void AppendUtf8(QByteArray& bytes, QStringView line) {
    qsizetype done = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (!IsKeptByte(line, i))
            continue;
        bytes += line.sliced(done, i - done).toUtf8();
        bytes += static_cast<char>(line[i].unicode() - KeptByte);
        done = i + 1;
    }
    bytes += line.sliced(done).toUtf8();
}

} // namespace

TDocumentText DecodeDocument(QByteArrayView bytes) {
    TDocumentText document;
    document.Utf8 = bytes.startsWith(QByteArrayView(kUtf8Mark));
    document.Text = UnifyLineBreaks(document.Utf8 ? DecodeUtf8(bytes.sliced(3))
                                                  : platform::AnsiToUnicode(bytes));
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
        if (utf8)
            AppendUtf8(bytes, line);
        else
            bytes += platform::UnicodeToAnsi(line);
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
    QByteArray bytes;
    if (const platform::TFileError error = platform::ReadRegularFile(path, bytes))
        throw platform::EFileError(path, error);
    return bytes;
}

void WriteDocumentFile(const QString& path, QByteArrayView bytes) {
    if (const platform::TFileError error = platform::ReplaceFile(path, bytes))
        throw platform::EFileError(path, error);
}
