#pragma once

#include "i18n/FormTranslation.h"
#include "i18n/PluralRules.h"

#include <QHash>
#include <QString>

#include <deque>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

class QMetaProperty;

namespace platform {
class TDialogs;
class TQtDialogs;
} // namespace platform

namespace gnugettext {

class TDomain;
class TFileLocator;

// The translation engine: text domains, the current language, lookups, and
// the translation of whole forms through Qt's meta-object system.
// Main thread only, apart from what gnugettext.h says about resource strings.
class TGnuGettextInstance {
public:
    explicit TGnuGettextInstance(TFileLocator& locator);
    virtual ~TGnuGettextInstance();
    TGnuGettextInstance(const TGnuGettextInstance&) = delete;
    TGnuGettextInstance& operator=(const TGnuGettextInstance&) = delete;

    // Single-byte ids are in the design code page (see AnsiToWide).
    virtual QString Translate(const char* id);
    virtual QString Translate(const QString& id);
    virtual QString TranslatePlural(const char* singular, const char* plural, int number);
    virtual QString TranslatePlural(const QString& singular, const QString& plural, int number);
    virtual QString TranslateInDomain(const QString& domain, const char* id);
    virtual QString TranslateInDomain(const QString& domain, const QString& id);
    virtual QString TranslatePluralInDomain(const QString& domain, const char* singular,
                                            const char* plural, int number);
    virtual QString TranslatePluralInDomain(const QString& domain, const QString& singular,
                                            const QString& plural, int number);
    virtual void LanguageChanged(const QString& code);
    virtual void DefaultDomainChanged(const QString& name);
    virtual void DomainDirectoryChanged(const QString& name, const QString& folder);

    // An empty code takes LANG or the system settings (cut at "." and "@");
    // a given code is used as it is.
    void SelectLanguage(const QString& code);
    QString CurrentLanguage() const { return LanguageCode; }
    void SetDefaultDomain(const QString& name);
    void BindDomain(const QString& name, const QString& folder);
    TDomain& FindOrCreateDomain(const QString& name);
    QString AnsiToWide(const char* text) const;

    // The seam for the engine's message boxes; without one, Qt's dialogs.
    void SetDialogs(platform::TDialogs* dialogs) { FDialogs = dialogs; }
    platform::TDialogs& Dialogs();

    // Form translation (FormTranslation.cpp).
    void TranslateComponent(QObject* component, const QString& domain);
    void RetranslateComponent(QObject* component);
    void TranslateObjectTree(QObject* root, const QString& domain);
    void TP_GlobalIgnoreClassProperty(const QMetaObject* targetClass, const QString& propertyName);
    // Skips whole objects of a class in every walk.
    void TP_GlobalIgnoreClass(const QMetaObject* targetClass);
    // Skips one key ("NAME" or "NAME.PROPERTY", upper case) in the next walk.
    void TP_Ignore(const QString& key);
    void TranslateStringList(QStringList& lines, const QString& domain);

    std::thread::id CreatorThreadId;
    QString LanguageCode;
    TPluralRule PluralRule = TwoFormsOneSingular;
    QString DefaultDomain;
    QString DefaultLocaleDirectory;
    unsigned DesignCodePage = 0;

    QSet<QString> IgnoreOnce;
    std::vector<TClassMode> ClassRulesOnce;
    std::vector<TClassMode> ClassRulesGlobal;
    TTP_Retranslator* ActiveRetranslator = nullptr;

private:
    using TWorkQueue = std::deque<std::pair<QString, QPointer<QObject>>>;

    void TranslateOneObject(const QString& name, QObject* object, const QString& domain,
                            TWorkQueue& queue);
    bool CollectIgnoredProperties(QObject* object, QSet<QString>& ignored) const;
    void TranslateOneProperty(QObject* object, const QMetaProperty& property, const QString& domain,
                              TWorkQueue& queue);
    void TranslateProperty(QObject* object, const QMetaProperty& property, const QString& domain,
                           TWorkQueue& queue);
    void ShowProblem(const QString& text);

    TFileLocator& FLocator;
    std::vector<std::unique_ptr<TDomain>> Domains;
    TDomain* FLastDomain = nullptr; // the last one found, tried first
    platform::TDialogs* FDialogs = nullptr;
    std::unique_ptr<platform::TQtDialogs> FQtDialogs;
};

} // namespace gnugettext
