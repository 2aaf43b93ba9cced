#include "i18n/TDomain.h"

#include "i18n/ByteText.h"
#include "i18n/TFileLocator.h"

#include <QFileInfo>

namespace gnugettext {

TDomain::TDomain(TFileLocator& locator, TProblemBox problemBox)
    : FLocator(locator), FProblemBox(std::move(problemBox)) {}

TDomain::~TDomain() {
    CloseCatalog();
}

QByteArrayView TDomain::Lookup(QByteArrayView id) {
    if (!Active)
        return id;
    if (Catalog == nullptr && !OpenFailed)
        OpenCatalog();
    if (Catalog == nullptr)
        return id;
    bool found = false;
    return Catalog->Lookup(id, found);
}

void TDomain::SetDirectory(const QString& folder) {
    Directory = folder;
    if (!Directory.endsWith(QLatin1Char('/')))
        Directory += QLatin1Char('/');
    CloseCatalog();
}

void TDomain::SetLanguage(const QString& code) {
    CloseCatalog();
    LanguageCode = code;
}

void TDomain::CloseCatalog() {
    if (Catalog != nullptr)
        FLocator.ReleaseCatalog(Catalog);
    Catalog = nullptr;
    OpenFailed = false;
}

QString TDomain::CatalogPath(const QString& language) const {
    return Directory + language + QStringLiteral("/LC_MESSAGES/") + DomainName +
           QStringLiteral(".mo");
}

bool TDomain::Exists(const QString& path) const {
    return FLocator.HasEmbeddedFile(path) || QFileInfo::exists(path);
}

void TDomain::OpenCatalog() {
    QString path = CatalogPath(LanguageCode);
    if (!Exists(path))
        path = CatalogPath(LanguageCode.left(2));
    if (!Exists(path) || FBrokenCatalogs.contains(path)) {
        OpenFailed = true;
        return;
    }
    try {
        Catalog = FLocator.AcquireCatalog(path);
    } catch (...) {
        // Reported once; from then on the domain behaves as if there were no
        // catalog for this language, instead of raising anew at every lookup
        // or language switch.
        OpenFailed = true;
        FBrokenCatalogs.insert(path);
        throw;
    }
    const QString contentType = HeaderField(QStringLiteral("Content-Type"));
    if (!contentType.toUpper().contains(QLatin1String("CHARSET=UTF-8"))) {
        CloseCatalog();
        Active = false;
        if (FProblemBox)
            FProblemBox(QStringLiteral("The translation for the language code ") + LanguageCode +
                        QStringLiteral(" (in ") + path +
                        QStringLiteral(") does not have charset=utf-8 in its Content-Type. "
                                       "Translations are turned off."));
    }
}

QString TDomain::HeaderField(const QString& name) {
    const QByteArray prefix = name.toUpper().toUtf8() + ": ";
    QByteArray header = Lookup(QByteArrayView("", 0)).toByteArray();
    header.replace("\r\n", "\n").replace('\r', '\n');
    for (const QByteArray& line : header.split('\n')) {
        if (line.size() >= prefix.size() && line.left(prefix.size()).toUpper() == prefix)
            return QString::fromUtf8(TrimmedBytes(QByteArrayView(line).sliced(prefix.size())));
    }
    return {};
}

} // namespace gnugettext
