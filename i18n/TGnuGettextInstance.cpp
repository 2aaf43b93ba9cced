#include "i18n/TGnuGettextInstance.h"

#include "i18n/GnuGettextErrors.h"
#include "i18n/QtClassRules.h"
#include "i18n/SystemLanguage.h"
#include "i18n/TDomain.h"
#include "i18n/TFileLocator.h"

#include "platform/gui/QtDialogs.h"

#include <QFileInfo>
#include <QStringDecoder>

namespace gnugettext {

namespace {

constexpr unsigned CodePageUtf8 = 65001;
constexpr unsigned CodePageLatin1 = 28591;

// Catalogs hold line feeds only; every result has CR LF line ends.
QString WithCarriageReturns(QByteArrayView text) {
    if (!text.contains('\n'))
        return QString::fromUtf8(text);
    QByteArray out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return QString::fromUtf8(out);
}

// The id as catalogs hold it: UTF-8 with line feeds only.
QByteArray CatalogId(const QString& id) {
    QByteArray utf8 = id.toUtf8();
    if (utf8.contains('\r'))
        utf8.replace("\r", "");
    return utf8;
}

} // namespace

TGnuGettextInstance::TGnuGettextInstance(TFileLocator& locator)
    : CreatorThreadId(std::this_thread::get_id()), DefaultDomain(QStringLiteral("default")),
      FLocator(locator) {
    DefaultLocaleDirectory =
        QFileInfo(locator.ExecutablePath()).absolutePath() + QStringLiteral("/locale");
    SelectLanguage(QString());
    BindDomain(QStringLiteral("default"), DefaultLocaleDirectory);
    SetDefaultDomain(QStringLiteral("default"));
    // The component's "Name": a QObject's objectName is never a text.
    TP_GlobalIgnoreClassProperty(&QObject::staticMetaObject, QStringLiteral("objectName"));
    RegisterQtClassRules(*this);
}

TGnuGettextInstance::~TGnuGettextInstance() {
    ClassRulesOnce.clear();
    ClassRulesGlobal.clear();
    Domains.clear();
}

QString TGnuGettextInstance::Translate(const char* id) {
    return TranslateInDomain(DefaultDomain, id);
}

QString TGnuGettextInstance::Translate(const QString& id) {
    return TranslateInDomain(DefaultDomain, id);
}

QString TGnuGettextInstance::TranslatePlural(const char* singular, const char* plural, int number) {
    return TranslatePluralInDomain(DefaultDomain, singular, plural, number);
}

QString TGnuGettextInstance::TranslatePlural(const QString& singular, const QString& plural,
                                             int number) {
    return TranslatePluralInDomain(DefaultDomain, singular, plural, number);
}

QString TGnuGettextInstance::TranslateInDomain(const QString& domain, const char* id) {
    return TranslateInDomain(domain, AnsiToWide(id));
}

QString TGnuGettextInstance::TranslateInDomain(const QString& domain, const QString& id) {
    TDomain& target = FindOrCreateDomain(domain);
    return WithCarriageReturns(target.Lookup(CatalogId(id)));
}

QString TGnuGettextInstance::TranslatePluralInDomain(const QString& domain, const char* singular,
                                                     const char* plural, int number) {
    return TranslatePluralInDomain(domain, AnsiToWide(singular), AnsiToWide(plural), number);
}

QString TGnuGettextInstance::TranslatePluralInDomain(const QString& domain, const QString& singular,
                                                     const QString& plural, int number) {
    const QString id = singular + QChar(u'\0') + plural;
    const QString text = TranslateInDomain(domain, id);
    // A translation exists when the result differs from the id as an
    // untranslated lookup gives it back (with its line ends renewed);
    // otherwise the German pair takes the German rule.
    const bool translated = text != WithCarriageReturns(CatalogId(id));
    const int form = translated ? PluralRule(number) : TwoFormsOneSingular(number);
    const QStringList forms = text.split(QChar(u'\0'));
    return form < forms.size() ? forms.at(form) : forms.last();
}

void TGnuGettextInstance::LanguageChanged(const QString&) {}

void TGnuGettextInstance::DefaultDomainChanged(const QString&) {}

void TGnuGettextInstance::DomainDirectoryChanged(const QString&, const QString&) {}

void TGnuGettextInstance::SelectLanguage(const QString& code) {
    const QString language = code.isEmpty() ? EnvironmentLanguageCode() : code;
    LanguageCode = language;
    for (const auto& domain : Domains)
        domain->SetLanguage(language);
    PluralRule = PluralRuleFor(language);
    LanguageChanged(language);
}

void TGnuGettextInstance::SetDefaultDomain(const QString& name) {
    DefaultDomain = name;
    DefaultDomainChanged(name);
}

void TGnuGettextInstance::BindDomain(const QString& name, const QString& folder) {
    FindOrCreateDomain(name).SetDirectory(folder);
    DomainDirectoryChanged(name, folder);
}

TDomain& TGnuGettextInstance::FindOrCreateDomain(const QString& name) {
    if (FLastDomain != nullptr && FLastDomain->DomainName == name)
        return *FLastDomain;
    for (const auto& domain : Domains) {
        if (QString::compare(domain->DomainName, name, Qt::CaseInsensitive) == 0)
            return *(FLastDomain = domain.get());
    }
    auto domain =
        std::make_unique<TDomain>(FLocator, [this](const QString& text) { ShowProblem(text); });
    domain->DomainName = name;
    domain->SetDirectory(DefaultLocaleDirectory);
    domain->LanguageCode = LanguageCode;
    Domains.push_back(std::move(domain));
    return *(FLastDomain = Domains.back().get());
}

QString TGnuGettextInstance::AnsiToWide(const char* text) const {
    if (text == nullptr || *text == '\0')
        return {};
    if (DesignCodePage == 0)
        return QString::fromLocal8Bit(text);
    if (DesignCodePage == CodePageLatin1)
        return QString::fromLatin1(text);
    if (DesignCodePage == CodePageUtf8) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString result = decoder(QByteArrayView(text));
        if (!decoder.hasError())
            return result;
    }
    throw EGGAnsi2WideConvError(QStringLiteral("Cannot convert string to widestring:\r\n") +
                                QString::fromLatin1(text));
}

platform::TDialogs& TGnuGettextInstance::Dialogs() {
    if (FDialogs != nullptr)
        return *FDialogs;
    if (!FQtDialogs)
        FQtDialogs = std::make_unique<platform::TQtDialogs>();
    return *FQtDialogs;
}

void TGnuGettextInstance::ShowProblem(const QString& text) {
    Dialogs().MessageBox(text, QStringLiteral("Localization problem"), platform::MB_OK);
}

} // namespace gnugettext
