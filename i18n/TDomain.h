#pragma once

#include <QByteArrayView>
#include <QSet>
#include <QString>

#include <functional>

namespace gnugettext {

class TFileLocator;
class TMoFile;

// One text domain: a named set of translations with one catalog per
// language under its folder, opened at the first lookup after a change.
//
// States: no catalog; catalog held; open failed (no usable file for this
// language and folder, until the next change); inactive (the catalog's
// character set was wrong; for the rest of the run). A broken catalog is
// reported once per run: switching back to its language finds no catalog.
class TDomain {
public:
    // problemBox shows the "Localization problem" message.
    using TProblemBox = std::function<void(const QString& text)>;

    TDomain(TFileLocator& locator, TProblemBox problemBox);
    ~TDomain();
    TDomain(const TDomain&) = delete;
    TDomain& operator=(const TDomain&) = delete;

    // The translation of a UTF-8 id, or the id itself. The result is valid
    // until the catalog is given back or id goes. Raises EGGIOError the
    // first time a broken catalog is opened.
    QByteArrayView Lookup(QByteArrayView id);
    void SetDirectory(const QString& folder);
    void SetLanguage(const QString& code);
    // The value of one catalog header line; empty when there is none.
    QString HeaderField(const QString& name);
    void CloseCatalog();

    bool Active = true;
    QString Directory; // ends in "/"
    QString DomainName;
    TMoFile* Catalog = nullptr;
    QString LanguageCode;
    bool OpenFailed = false;

private:
    void OpenCatalog();
    QString CatalogPath(const QString& language) const;
    bool Exists(const QString& path) const;

    TFileLocator& FLocator;
    TProblemBox FProblemBox;
    QSet<QString> FBrokenCatalogs;
};

} // namespace gnugettext
