#include "i18n/gnugettext.h"

#include "i18n/FormTranslation.h"
#include "i18n/SystemLanguage.h"
#include "i18n/TFileLocator.h"
#include "i18n/TGnuGettextInstance.h"

#include <QStringList>

#include <shared_mutex>

namespace gnugettext {

TGnuGettextInstance* GlobalEngine = nullptr;
TFileLocator* FileLocator = nullptr;

namespace {

QStringList* ResourceStringDomains = nullptr;
std::shared_mutex* ResourceStringDomainsLock = nullptr;

} // namespace

void GnuGettextModuleStart() {
    if (GlobalEngine != nullptr)
        return;
    FileLocator = new TFileLocator(ExecutablePath());
    FileLocator->ScanExecutable();
    ResourceStringDomains = new QStringList{QStringLiteral("default")};
    ResourceStringDomainsLock = new std::shared_mutex;
    GlobalEngine = new TGnuGettextInstance(*FileLocator);
}

void GnuGettextModuleEnd() {
    delete GlobalEngine;
    GlobalEngine = nullptr;
    delete ResourceStringDomainsLock;
    ResourceStringDomainsLock = nullptr;
    delete ResourceStringDomains;
    ResourceStringDomains = nullptr;
    delete FileLocator;
    FileLocator = nullptr;
}

QString TranslateText(const QString& id) {
    return GlobalEngine != nullptr ? GlobalEngine->Translate(id) : id;
}

void SelectLanguage(const QString& code) {
    if (GlobalEngine != nullptr)
        GlobalEngine->SelectLanguage(code);
}

QString CurrentLanguage() {
    return GlobalEngine != nullptr ? GlobalEngine->CurrentLanguage() : EnvironmentLanguageCode();
}

void TranslateComponent(QObject* component, const QString& domain) {
    if (GlobalEngine != nullptr)
        GlobalEngine->TranslateComponent(component, domain);
}

void RetranslateComponent(QObject* component) {
    if (GlobalEngine != nullptr)
        GlobalEngine->RetranslateComponent(component);
}

bool IsTranslated(const QObject* component) {
    return FindMarker(component) != nullptr;
}

QString TranslateResourceString(const QString& text) {
    if (text.isEmpty() || ResourceStringDomainsLock == nullptr || GlobalEngine == nullptr)
        return text;
    // The lock guards the list, not the lookups: a lookup may show the
    // "Localization problem" box, whose event loop can translate resource
    // strings again, and a thread must not take the read side twice.
    QStringList domains;
    {
        std::shared_lock lock(*ResourceStringDomainsLock);
        domains = *ResourceStringDomains;
    }
    for (const QString& domain : std::as_const(domains)) {
        const QString translated = GlobalEngine->TranslateInDomain(domain, text);
        if (translated != text)
            return translated;
    }
    return text;
}

} // namespace gnugettext
