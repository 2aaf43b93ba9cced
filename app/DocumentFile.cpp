#include "app/DocumentFile.h"

#include "platform/CodePage.h"

#include <QFile>
#include <QSaveFile>

#include <stdexcept>

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

QString UnifyLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

[[noreturn]] void Fail(const char* what, const QString& path, const QString& reason) {
    throw std::runtime_error(
        QStringLiteral("%1 \"%2\". %3").arg(QString::fromLatin1(what), path, reason).toStdString());
}

} // namespace

TDocumentText DecodeDocument(QByteArrayView bytes) {
    TDocumentText document;
    document.Utf8 = bytes.startsWith(QByteArrayView(kUtf8Mark));
    document.Text = UnifyLineBreaks(document.Utf8 ? QString::fromUtf8(bytes.sliced(3))
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
    QString text = document.Text;
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (NeedsUtf8(document))
        return QByteArray(kUtf8Mark) + text.toUtf8();
    return platform::UnicodeToAnsi(text);
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
