#include "app/document/DocumentFile.h"

#include "platform/CodePage.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringTokenizer>

#include <algorithm>
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

QString GroupLines(QString text, int separators) {
    QChar* data = text.data();
    const qsizetype last = text.size() - 1;
    for (qsizetype i = 0; i < last; ++i) {
        if (data[i] != u'\n')
            continue;
        if (separators + 1 < GroupedLines) {
            data[i] = QChar::LineSeparator;
            ++separators;
        } else {
            separators = 0;
        }
    }
    return text;
}

QString UngroupLines(QString text) {
    std::replace_if(
        text.begin(), text.end(),
        [](QChar ch) { return ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator; },
        QChar(u'\n'));
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
