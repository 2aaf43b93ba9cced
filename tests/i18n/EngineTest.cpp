// Runs inside a test program that carries the test catalogs appended by the
// build, as the real program carries its own.

#include "tests/i18n/I18nTestSupport.h"

#include "i18n/SystemLanguage.h"
#include "i18n/TDomain.h"
#include "i18n/TFileLocator.h"
#include "i18n/TGnuGettextInstance.h"
#include "i18n/gnugettext.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace gnugettext;
using namespace i18n_test;

namespace {

// Starts the module with LANG as given (nullptr: unset) and ends it after.
class EngineTest : public ::testing::Test {
protected:
    void Start(const char* lang) {
        Lang = std::make_unique<TScopedEnv>("LANG", lang);
        GnuGettextModuleStart();
        GlobalEngine->SetDialogs(&Dialogs);
    }
    void TearDown() override {
        GnuGettextModuleEnd();
        Lang.reset();
    }
    QString Plural(int n) {
        return GlobalEngine->TranslatePlural(QStringLiteral("%d Datei"),
                                             QStringLiteral("%d Dateien"), n);
    }
    std::unique_ptr<TScopedEnv> Lang;
    TFakeDialogs Dialogs;
};

} // namespace

TEST_F(EngineTest, ScansTheCatalogsAppendedToThisProgram) {
    Start("de_DE.UTF-8");
    EXPECT_EQ(FileLocator->ExecutableFolder(),
              QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    EXPECT_EQ(FileLocator->EmbeddedFileNames(),
              QStringList({"default.mo", "locale/de/LC_MESSAGES/default.mo",
                           "locale/en/LC_MESSAGES/default.mo", "locale/fr/LC_MESSAGES/default.mo",
                           "locale/pl/LC_MESSAGES/default.mo"}));
    // A German catalog on disk beside the program loses to the appended copy.
    const QString path =
        FileLocator->ExecutableFolder() + QStringLiteral("locale/de/LC_MESSAGES/default.mo");
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("Datei"));
    TMoFile* catalog = FileLocator->AcquireCatalog(path);
    EXPECT_EQ(catalog->UseCount, 2); // the default domain holds it too
    FileLocator->ReleaseCatalog(catalog);
}

TEST_F(EngineTest, LanguageFromLangWithTwoLetterFallback) {
    Start("fr_FR.UTF-8");
    EXPECT_EQ(CurrentLanguage(), QStringLiteral("fr_FR"));
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("Fichier"));
    SelectLanguage(QStringLiteral("en"));
    EXPECT_EQ(CurrentLanguage(), QStringLiteral("en"));
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("File"));
    // A code given by the caller keeps its dot.
    SelectLanguage(QStringLiteral("en_US.UTF-8"));
    EXPECT_EQ(CurrentLanguage(), QStringLiteral("en_US.UTF-8"));
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("File"));
}

TEST_F(EngineTest, SystemSettingsWhenLangIsUnset) {
    const TScopedEnv all("LC_ALL", "C.UTF-8");
    Start(nullptr);
    EXPECT_EQ(CurrentLanguage(), QStringLiteral("C"));
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("Datei"));
    GnuGettextModuleEnd();
    const TScopedEnv none("LC_ALL", nullptr);
    const TScopedEnv messages("LC_MESSAGES", "no_NO.ISO-8859-1@euro");
    GnuGettextModuleStart();
    EXPECT_EQ(CurrentLanguage(), QStringLiteral("nb_NO"));
}

// LANG first, then LC_ALL, then LC_MESSAGES (empty ones do not count),
// else "C"; cut at "." and "@".
TEST(LanguageSelection, OrderOfTheVariables) {
    const TScopedEnv lang("LANG", "en_US.UTF-8");
    const TScopedEnv all("LC_ALL", "fr_FR.UTF-8");
    const TScopedEnv messages("LC_MESSAGES", "pl_PL@euro");
    EXPECT_EQ(EnvironmentLanguageCode(), QStringLiteral("en_US"));
    ::setenv("LANG", "", 1);
    EXPECT_EQ(EnvironmentLanguageCode(), QStringLiteral("fr_FR"));
    ::setenv("LC_ALL", "", 1);
    EXPECT_EQ(EnvironmentLanguageCode(), QStringLiteral("pl_PL"));
    ::unsetenv("LC_MESSAGES");
    EXPECT_EQ(EnvironmentLanguageCode(), QStringLiteral("C"));
}

TEST_F(EngineTest, LineEndsOfIdsAndResults) {
    Start("en_GB.UTF-8");
    EXPECT_EQ(TranslateText(QStringLiteral("Zeile eins\r\nZeile zwei")),
              QStringLiteral("Line one\r\nLine two"));
    EXPECT_EQ(TranslateText(QStringLiteral("Zeile eins\nZeile zwei")),
              QStringLiteral("Line one\r\nLine two"));
    EXPECT_EQ(TranslateText(QStringLiteral("\nfrei\nlos\r\n")),
              QStringLiteral("\r\nfrei\r\nlos\r\n"));
    EXPECT_EQ(TranslateText(QStringLiteral("a\rb")), QStringLiteral("ab"));
    EXPECT_TRUE(TranslateText(QString()).contains(QStringLiteral("Content-Type")));
}

TEST_F(EngineTest, PluralForms) {
    Start("de_DE");
    EXPECT_EQ(Plural(1), QStringLiteral("%d Datei"));
    EXPECT_EQ(Plural(0), QStringLiteral("%d Dateien"));
    EXPECT_EQ(Plural(2), QStringLiteral("%d Dateien"));
    SelectLanguage(QStringLiteral("pl"));
    const std::pair<int, const char*> expected[] = {{1, "%d plik"},   {2, "%d pliki"},
                                                    {5, "%d plików"}, {12, "%d plików"},
                                                    {21, "%d plik"},  {22, "%d pliki"}};
    for (const auto& [n, form] : expected)
        EXPECT_EQ(Plural(n), QString::fromUtf8(form)) << n;
    EXPECT_EQ(Plural(-2), QStringLiteral("%d pliki"));
    // An untranslated pair keeps the German rule, also when its ids have
    // line ends that the lookup renews (French would take form 0 for 0).
    SelectLanguage(QStringLiteral("fr"));
    EXPECT_EQ(GlobalEngine->TranslatePlural(QStringLiteral("%d Zeile\n"),
                                            QStringLiteral("%d Zeilen\n"), 0),
              QStringLiteral("%d Zeilen\r\n"));
    EXPECT_EQ(GlobalEngine->TranslatePlural(QStringLiteral("%d Zeile\n"),
                                            QStringLiteral("%d Zeilen\n"), 1),
              QStringLiteral("%d Zeile\r\n"));
    EXPECT_EQ(ThreeFormsPolish(std::numeric_limits<int>::min()), 2);
}

// Forms for 0, 1, 2, 3, 5, 11, 12, 21, 22, 101, 102, 111 by each rule, and the
// rule each language code chooses.
TEST(PluralRules, FormsAndChoiceByLanguage) {
    const int numbers[] = {0, 1, 2, 3, 5, 11, 12, 21, 22, 101, 102, 111};
    const std::pair<const char*, std::vector<int>> expected[] = {
        {"ja", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"de", {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"FR_fr", {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"pt_BR", {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"pt_PT", {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"lv", {2, 0, 1, 1, 1, 1, 1, 0, 1, 0, 1, 1}},
        {"ga", {2, 0, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2}},
        {"lt", {2, 0, 1, 1, 1, 2, 2, 0, 1, 0, 1, 2}},
        {"pl", {2, 0, 1, 1, 2, 0, 2, 0, 1, 0, 1, 0}},
        {"uk", {2, 0, 1, 1, 2, 2, 2, 0, 1, 0, 1, 2}},
        {"sl", {3, 0, 1, 2, 3, 3, 3, 3, 3, 0, 1, 3}},
        {"C", {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
    };
    for (const auto& [code, forms] : expected) {
        const TPluralRule rule = PluralRuleFor(QString::fromLatin1(code));
        for (std::size_t i = 0; i < forms.size(); ++i) {
            EXPECT_EQ(rule(numbers[i]), forms[i]) << code << " " << numbers[i];
            EXPECT_EQ(rule(-numbers[i]), forms[i]) << code << " " << -numbers[i];
        }
    }
}

TEST_F(EngineTest, WrongCharsetTurnsTheDomainOffOnceAndForGood) {
    Start("de_DE");
    GlobalEngine->BindDomain(QStringLiteral("default"), Catalog("bad"));
    SelectLanguage(QStringLiteral("latin1"));
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("Datei"));
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("Datei"));
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Dialogs.Boxes[0].Caption, QStringLiteral("Localization problem"));
    EXPECT_EQ(Dialogs.Boxes[0].Text,
              QStringLiteral("The translation for the language code latin1 (in ") +
                  Catalog("bad/latin1/LC_MESSAGES/default.mo") +
                  QStringLiteral(") does not have charset=utf-8 in its Content-Type. "
                                 "Translations are turned off."));
    SelectLanguage(QStringLiteral("en")); // bad/en is a good catalog
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("Datei"));
    EXPECT_EQ(Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(FileLocator->OpenCatalogCount(), 0);
}

// The box's event loop may translate resource strings again while the
// first translation is still under way.
TEST_F(EngineTest, ProblemBoxDuringAResourceStringCanTranslateAgain) {
    struct TReentrantDialogs : TFakeDialogs {
        int MessageBox(const QString& text, const QString& caption, unsigned flags) override {
            Inner = TranslateResourceString(QStringLiteral("Unbenannt"));
            return TFakeDialogs::MessageBox(text, caption, flags);
        }
        QString Inner;
    } dialogs;
    Start("de_DE");
    GlobalEngine->SetDialogs(&dialogs);
    GlobalEngine->BindDomain(QStringLiteral("default"), Catalog("bad"));
    SelectLanguage(QStringLiteral("latin1"));
    EXPECT_EQ(TranslateResourceString(QStringLiteral("Datei")), QStringLiteral("Datei"));
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Inner, QStringLiteral("Unbenannt"));
}

// Once per run: switching back to the broken catalog's language must not
// raise (and show a box) at every switch.
TEST_F(EngineTest, BrokenCatalogIsReportedOncePerRun) {
    Start("de_DE");
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("xx/LC_MESSAGES")));
    WriteAll(dir.filePath(QStringLiteral("xx/LC_MESSAGES/default.mo")), "garbage, not a catalog");
    GlobalEngine->BindDomain(QStringLiteral("default"), dir.path());
    SelectLanguage(QStringLiteral("xx"));
    EXPECT_THROW(TranslateText(QStringLiteral("Datei")), EGGIOError);
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("Datei"));
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("Datei"));
    SelectLanguage(QStringLiteral("de"));
    SelectLanguage(QStringLiteral("xx"));
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("Datei"));
    SelectLanguage(QStringLiteral("es")); // no catalog at all: no error
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("Datei"));
    EXPECT_TRUE(GlobalEngine->FindOrCreateDomain(QStringLiteral("DEFAULT")).OpenFailed);
}

TEST_F(EngineTest, ResourceStrings) {
    RegisterResourceStrings(kProgramStrings);
    Start("en_US.UTF-8");
    EXPECT_EQ(LoadResourceText(&SUnbenannt), QStringLiteral("Unnamed"));
    // (on other threads: ThreadTest.cpp)

    EXPECT_EQ(LoadResourceText(nullptr), QString());
    const TResStringRec outOfRange{"Main", 65536};
    EXPECT_EQ(LoadResourceText(&outOfRange), QStringLiteral("ERROR"));
    const TResStringRec unknown{"Main", 7};
    EXPECT_EQ(LoadResourceText(&unknown), QString());

    const TResourceStringEntry table[] = {
        {"A", 5, ""}, {"B", 5, "Überschreiben %s ?"}, {"B", 6, "%s und %d, 100%%"}};
    EXPECT_EQ(LoadResString(5, table), QStringLiteral("Overwrite %s ?"));
    EXPECT_EQ(FmtLoadStr(6, {QStringLiteral("x"), QStringLiteral("3")}, table),
              QStringLiteral("x und 3, 100%"));

    SelectLanguage(QStringLiteral("fr"));
    EXPECT_EQ(LoadResourceText(&SUnbenannt), QStringLiteral("Sans nom"));
    GnuGettextModuleEnd();
    EXPECT_EQ(TranslateResourceString(QStringLiteral("Unbenannt")), QStringLiteral("Unbenannt"));
    EXPECT_EQ(LoadResourceText(&SUnbenannt), QStringLiteral("Unbenannt"));
    EXPECT_EQ(TranslateText(QStringLiteral("Datei")), QStringLiteral("Datei"));
    GnuGettextModuleStart();
    RegisterResourceStrings({});
}
