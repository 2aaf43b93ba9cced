// The main window in another language: translated at creation from the
// program's catalogs (carried by this test program as the program carries
// them), switched from the Help menu, with the texts set at run time left
// alone; the help file, the manuals and the about box.
#include "app/capture/EditorInserter.h"
#include "app/dialogs/HelpManual.h"
#include "app/journal/CaptureJournal.h"
#include "app/window/TMainScreen.h"
#include "app/window/WedgeView.h"
#include "i18n/TGnuGettextInstance.h"
#include "i18n/gnugettext.h"
#include "serial/TSerial.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/FakeFileDialogs.h"
#include "tests/app/FakeShell.h"
#include "tests/serial/PtyPort.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

class TranslationTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName("Brisquell");
        QFile::remove(IniPath());
        ::setenv("LANG", "en_GB.UTF-8", 1);
        GnuGettextModuleStart();
    }
    void TearDown() override {
        Window.reset();
        GnuGettextModuleEnd();
        ::unsetenv("LANG");
    }
    static QString IniPath() { return testing_support::ConfigHome() + "/Brisquell/BSave.ini"; }
    static void WriteSettings(const QByteArray& text) {
        QDir().mkpath(testing_support::ConfigHome() + "/Brisquell");
        QFile file(IniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    static QByteArray SavedSettings() {
        QFile file(IniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void Start() {
        Window = std::make_unique<TMainScreen>(Dialogs);
        Window->SetShell(&Shell);
    }
    // Shown, so the first show applies the saved language.
    void StartShown() {
        Start();
        Window->show();
    }
    template <typename T> T* Find(const char* name) const {
        return Window->findChild<T*>(QString::fromLatin1(name));
    }
    QString MenuTitle(const char* menu = "Datei1") const { return Find<QMenu>(menu)->title(); }
    QString Text(const char* action) const { return Find<QAction>(action)->text(); }
    QStringList Checked() const {
        QStringList names;
        for (const char* item : {"LanguageGerman", "LanguageEnglish", "LanguageFrench"})
            if (Find<QAction>(item)->isChecked())
                names.append(QString::fromLatin1(item));
        return names;
    }
    void Choose(const char* item) { Find<QAction>(item)->trigger(); }

    TFakeDialogs Dialogs;
    TFakeShell Shell;
    std::unique_ptr<TMainScreen> Window;
};

TEST_F(TranslationTest, WindowComesUpInTheEnvironmentsLanguage) {
    Start();
    EXPECT_EQ(MenuTitle(), "File");
    EXPECT_EQ(Find<QAction>("act_file_new")->text(), "New");
    EXPECT_EQ(Find<QAction>("act_file_new")->toolTip(), "New");
    EXPECT_EQ(Window->windowTitle(), "Unnamed - Brisquell");
    Window->RefreshStatusBar();
    EXPECT_EQ(Find<QLabel>("StatusPanel0")->text(), "Disconnected");
    Window.reset();
    EXPECT_TRUE(SavedSettings().contains("Language=en\n"))
        << "the language defaults to the engine's";
}

TEST_F(TranslationTest, SwitchRenewsDesignTextsOnly) {
    Start();
    Window->SetFileName("/m/probe.txt", true);
    Window->AddReceivedText("Datei\r\n");
    Window->Inserter().Flush();
    // Why typing turned itself off, in the status bar: said anew.
    emit Window->WedgeView().Wedge().Reported({wedge::TWedgeReason::QueueFull, "100"});
    EXPECT_EQ(Find<QLabel>("WedgePanel")->text(),
              "Typing off: more than 100 readings were waiting");
    gnugettext::SelectLanguage("fr");
    gnugettext::RetranslateComponent(Window.get());
    EXPECT_EQ(MenuTitle(), "Fichier");
    EXPECT_EQ(MenuTitle("Extras1"), "Outils");
    EXPECT_EQ(Text("TypeIntoWindow1"), QString::fromUtf8("Saisir dans la fenêtre active"));
    EXPECT_EQ(Find<QLabel>("WedgePanel")->text(),
              QString::fromUtf8("Saisie arrêtée : plus de 100 valeurs en attente"));
    // The series panel's design texts, its fields' accessible names included.
    // Its contents are built at its first show, in the language of then.
    EXPECT_EQ(MenuTitle("Ansicht1"), "Affichage");
    EXPECT_EQ(Find<QWidget>("SeriesDock")->windowTitle(), QString::fromUtf8("Série de mesures"));
    EXPECT_EQ(Text("Messreihe1"), QString::fromUtf8("Série de mesures"));
    EXPECT_EQ(Window->findChild<QLabel*>("SeriesMeanCaption"), nullptr) << "built before shown";
    Find<QAction>("Messreihe1")->trigger();
    EXPECT_EQ(Find<QLabel>("SeriesMeanCaption")->text(), "Moyenne");
    EXPECT_EQ(Find<QWidget>("SeriesMean")->accessibleName(), "Moyenne");
    EXPECT_EQ(Find<QPushButton>("SeriesNew")->text(), QString::fromUtf8("Nouvelle série"));
    // A limit that cannot be used says why in the language of the moment.
    auto* lower = Find<QLineEdit>("SeriesLower");
    lower->setText("abc");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(lower, &enter);
    EXPECT_EQ(lower->toolTip(), "pas un nombre");
    EXPECT_EQ(Window->windowTitle(), "probe.txt - Brisquell");
    EXPECT_EQ(Find<QAction>("File1")->text(), "0:   /m/probe.txt");
    EXPECT_EQ(Find<QPlainTextEdit>("Editor")->toPlainText(), "Datei\n")
        << "readings are never translated";
    gnugettext::SelectLanguage("de");
    gnugettext::RetranslateComponent(Window.get());
    EXPECT_EQ(MenuTitle(), "Datei");
    EXPECT_EQ(Find<QAction>("act_file_new")->text(), "Neu");
    EXPECT_EQ(Window->windowTitle(), "probe.txt - Brisquell");
    EXPECT_EQ(Find<QLabel>("SeriesMeanCaption")->text(), "Mittelwert");
    QCoreApplication::processEvents(); // the names follow the captions
    EXPECT_EQ(Find<QWidget>("SeriesMean")->accessibleName(), "Mittelwert");
    EXPECT_EQ(lower->toolTip(), "keine Zahl");
    EXPECT_EQ(lower->accessibleDescription(), "keine Zahl");
}

TEST_F(TranslationTest, HelpMenuSwitchesEverythingAtOnceAndForTheNextStart) {
    WriteSettings("[System]\nLanguage=de\n");
    StartShown();
    EXPECT_EQ(Checked(), QStringList{"LanguageGerman"});
    EXPECT_EQ(MenuTitle(), "Datei");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Ja");

    Choose("LanguageFrench");
    Choose("LanguageFrench"); // a second click does not uncheck it
    EXPECT_EQ(Checked(), QStringList{"LanguageFrench"});
    EXPECT_EQ(QStringList({MenuTitle("Datei1"), MenuTitle("Device1"), MenuTitle("Schnittstelle1"),
                           MenuTitle("Hilfe1")}),
              QStringList({"Fichier", "Instrument", "Port", "Aide"}));
    EXPECT_EQ(Find<QLabel>("StatusPanel0")->text(), "Déconnecté");
    EXPECT_EQ(Find<QLabel>("StatusPanel0")->accessibleDescription(), "État de la connexion");
    EXPECT_EQ(Find<QLabel>("StatusPanel2")->accessibleDescription(), "Débit en bauds");
    Choose("HelpAbout1");
    EXPECT_EQ(Shell.Opened, QStringList{"BRQFRA.CHM"});
    // Qt's own texts (a message box's buttons) follow.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Oui");

    Choose("LanguageEnglish");
    EXPECT_EQ(Checked(), QStringList{"LanguageEnglish"});
    EXPECT_EQ(MenuTitle("Hilfe1"), "Help");
    EXPECT_EQ(Text("HelpAbout1"), "Brisquell Help");
    EXPECT_EQ(QStringList({MenuTitle("Datei1"), MenuTitle("Device1"), MenuTitle("Schnittstelle1")}),
              QStringList({"File", "Instrument", "Port"}));
    EXPECT_EQ(Find<QLabel>("StatusPanel0")->text(), "Disconnected");
    EXPECT_EQ(Find<QLabel>("StatusPanel1")->accessibleDescription(), "Port");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Yes");
    // Texts without a catalog entry keep their design text.
    EXPECT_EQ(Text("USB1"), "USB");
    QStringList devices;
    for (QAction* item : Find<QMenu>("Device1")->actions())
        devices.append(item->text());
    EXPECT_TRUE(devices.contains("Velmarod K65 (USB)")) << devices.join(", ").toStdString();
    EXPECT_TRUE(devices.contains("Manual"));
    EXPECT_TRUE(Dialogs.Exceptions.isEmpty());

    // The next start comes up in English although the engine starts in German.
    Window.reset();
    EXPECT_TRUE(SavedSettings().contains("Language=en\n"));
    gnugettext::SelectLanguage("de");
    StartShown();
    EXPECT_EQ(Checked(), QStringList{"LanguageEnglish"});
    EXPECT_EQ(MenuTitle(), "File");
    EXPECT_TRUE(Find<QAction>("HelpAbout1")->isEnabled());
}

TEST_F(TranslationTest, UnknownLanguageKeepsTheFirstTextsAndIsSavedAgain) {
    WriteSettings("[System]\nLanguage=es\n");
    gnugettext::SelectLanguage("de");
    StartShown();
    EXPECT_TRUE(Checked().isEmpty());
    EXPECT_FALSE(Find<QAction>("HelpAbout1")->isEnabled());
    EXPECT_EQ(MenuTitle(), "Datei");
    EXPECT_EQ(Find<QLabel>("StatusPanel0")->text(), "Getrennt");
    Window.reset();
    EXPECT_TRUE(SavedSettings().contains("Language=es\n"));
}

TEST_F(TranslationTest, EachAboutBoxIsAFreshTranslatedInstance) {
    WriteSettings("[System]\nLanguage=fr\n");
    StartShown();
    QList<QPointer<QDialog>> shown;
    QStringList seen;
    Shell.OnShow = [&](QDialog& box) {
        shown.append(&box);
        const auto text = [&](const char* name) {
            if (auto* label = box.findChild<QLabel*>(name))
                return label->text();
            return box.findChild<QPushButton*>(name)->text();
        };
        seen = {box.windowTitle(), text("BitBtn1"), text("EMAIL"),
                text("Label8"),    text("Label10"), text("Label4")};
        EXPECT_EQ(box.size(), QSize(299, 330));
        box.findChild<QPushButton*>("EMAIL")->click();
    };
    for (int round = 0; round < 2; ++round) {
        Choose("Info1");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(shown.size(), round + 1);
        EXPECT_TRUE(shown.back().isNull()) << "a closed box is freed";
        EXPECT_EQ(seen, QStringList({"Info", "OK", "Contacte", "Brisquell", "Version 1.30",
                                     "Mesurer ce qui compte."}));
        Choose("LanguageEnglish");
        Choose("LanguageFrench");
    }
    EXPECT_EQ(Shell.Opened, QStringList(2, "mailto:post@kalvex.example?subject=Brisquell"));
}

// The manuals as the program finds them: beside the built program, or
// beside the installed one that BRISQUELL_EXECUTABLE names.
QStringList ProgramManualFolders() {
    const QString installed = qEnvironmentVariable("BRISQUELL_EXECUTABLE");
    const QString program = installed.isEmpty() ? QStringLiteral(BRISQUELL_PROGRAM) : installed;
    return HelpManualFolders(QFileInfo(program).absolutePath());
}

// The words the window shows: its menus and their items, the series panel's
// captions and buttons (not the ports and recent files, which are no words).
QStringList WindowWords(const QMainWindow& window) {
    QStringList words;
    std::function<void(const QMenu&)> walk = [&](const QMenu& menu) {
        words.append(menu.title());
        for (const QAction* item : menu.actions()) {
            if (item->menu() != nullptr)
                walk(*item->menu());
            else if (!item->isSeparator() && !item->objectName().startsWith("COM") &&
                     !item->objectName().startsWith("File"))
                words.append(item->text());
        }
    };
    for (const QAction* menu : window.menuBar()->actions())
        walk(*menu->menu());
    const auto* panel = window.findChild<QWidget*>("SeriesDock");
    for (const QLabel* caption : panel->findChildren<QLabel*>(QRegularExpression("Caption$")))
        words.append(caption->text());
    for (const QPushButton* button : panel->findChildren<QPushButton*>())
        words.append(button->text());
    return words;
}

// Help opens a compiled help file in the current folder, as it always did;
// without one, the manual of the window's language, which speaks the
// window's own words and has its pictures.
TEST_F(TranslationTest, HelpOpensTheHelpFileInTheCurrentFolderElseTheManual) {
    const QString before = QDir::currentPath();
    QTemporaryDir current;
    ASSERT_TRUE(QDir::setCurrent(current.path()));
    StartShown();
    Window->SetHelpFolders(ProgramManualFolders());
    Choose("Messreihe1"); // the panel's words are made at its first show
    const struct {
        const char* Item;
        const char* Language;
        const char* HelpFile;
    } languages[] = {{"LanguageGerman", "de", "BRQDEU.CHM"},
                     {"LanguageEnglish", "en", "BRQENG.CHM"},
                     {"LanguageFrench", "fr", "BRQFRA.CHM"}};
    for (const auto& language : languages) {
        SCOPED_TRACE(language.Language);
        Choose(language.Item);
        const QString manual = FindHelpManual(ProgramManualFolders(), language.Language);
        ASSERT_FALSE(manual.isEmpty()) << ProgramManualFolders().join(", ").toStdString();
        Shell.Opened.clear();
        Choose("HelpAbout1");
        EXPECT_EQ(Shell.Opened, QStringList{QUrl::fromLocalFile(manual).toString()});

        QFile page(manual);
        ASSERT_TRUE(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        for (const QString& word : WindowWords(*Window))
            EXPECT_TRUE(text.contains(word)) << word.toStdString();
        const QRegularExpression picture("<img src=\"([^\"]+)\"");
        int pictures = 0;
        for (const QRegularExpressionMatch& match : picture.globalMatch(text)) {
            ++pictures;
            EXPECT_TRUE(QFileInfo(QFileInfo(manual).dir(), match.captured(1)).isFile())
                << match.captured(1).toStdString();
        }
        EXPECT_GT(pictures, 0);

        QFile helpFile(language.HelpFile);
        ASSERT_TRUE(helpFile.open(QIODevice::WriteOnly));
        helpFile.close();
        Shell.Opened.clear();
        Choose("HelpAbout1");
        EXPECT_EQ(Shell.Opened, QStringList{language.HelpFile});
        helpFile.remove();
    }
    EXPECT_TRUE(Dialogs.Exceptions.isEmpty());
    QDir::setCurrent(before);
}

// Catalogs in the folder: a sound English one and a damaged German one.
void BindDamagedGerman(const QTemporaryDir& folder) {
    const QString good = QStringLiteral(BRISQUELL_CATALOGS "/locale/en/LC_MESSAGES/default.mo");
    ASSERT_TRUE(QDir().mkpath(folder.filePath("de/LC_MESSAGES")));
    ASSERT_TRUE(QDir().mkpath(folder.filePath("en/LC_MESSAGES")));
    ASSERT_TRUE(QFile::copy(good, folder.filePath("en/LC_MESSAGES/default.mo")));
    QFile damaged(folder.filePath("de/LC_MESSAGES/default.mo"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(64, '\x7f'));
    damaged.close();
    gnugettext::GlobalEngine->BindDomain("default", folder.path());
}

TEST_F(TranslationTest, DamagedStartCatalogCostsOneBoxAndSwitchingStillWorks) {
    QTemporaryDir folder;
    BindDamagedGerman(folder);
    gnugettext::SelectLanguage("de");
    WriteSettings("[System]\nLanguage=de\n");

    StartShown();
    EXPECT_EQ(Dialogs.Exceptions.size(), 1);
    EXPECT_EQ(MenuTitle(), "Datei");
    EXPECT_EQ(Window->windowTitle(), "Unbenannt - Brisquell") << "start-up went on";
    Choose("LanguageEnglish");
    EXPECT_EQ(MenuTitle(), "File");
    Choose("LanguageGerman");
    EXPECT_EQ(MenuTitle(), "Datei");
    EXPECT_EQ(Dialogs.Exceptions.size(), 1) << Dialogs.Exceptions.join("\n").toStdString();
}

// Only the saved language's catalog is damaged: the first show's switch
// fails, and the start is finished all the same.
TEST_F(TranslationTest, DamagedSavedCatalogStillFinishesTheStart) {
    QTemporaryDir folder;
    BindDamagedGerman(folder);
    gnugettext::SelectLanguage("en");
    const TTestManager module;
    const TPtyPort gauge{5};
    ASSERT_FALSE(gauge.Path.isEmpty());
    WriteSettings("[Config]\nAutoConnect=0\nPort=5\n[System]\nLanguage=de\n");
    const QString journals = testing_support::StateHome() + "/Brisquell";
    QDir(journals).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(journals));
    QFile orphan(journals + "/capture-crashed.brqj");
    ASSERT_TRUE(orphan.open(QIODevice::WriteOnly));
    orphan.write(journal::EncodeHeader(1) +
                 journal::EncodeRecord(journal::TRecordKind::Snapshot, 1, u"1,5\n"));
    orphan.close();

    Dialogs.Answers = {platform::IDYES};
    StartShown();
    EXPECT_EQ(Dialogs.Exceptions.size(), 1) << Dialogs.Exceptions.join("\n").toStdString();
    EXPECT_EQ(Dialogs.Messages.size(), 1) << "the journal is offered";
    EXPECT_EQ(Find<QPlainTextEdit>("Editor")->toPlainText(), "1,5\n");
    auto* serial = Find<TSerial>("Serial1");
    EXPECT_FALSE(serial->Active());
    Choose("Profile3"); // after the start, a profile choice connects
    EXPECT_TRUE(serial->Active());
    EXPECT_EQ(serial->Baudrate(), 9600);
    Find<QPlainTextEdit>("Editor")->document()->setModified(false);
    Window.reset();
    QDir(journals).removeRecursively();
}

// What the start says before the first show (the port scan's box: no port
// here) speaks the saved language, whatever the environment's; a language
// without a catalog leaves the environment's.
TEST_F(TranslationTest, StartUpBoxSpeaksTheSavedLanguage) {
    struct Case {
        const char* Saved;
        const char* Environment;
        const char* Box;
    };
    const Case cases[] = {
        {"en", "de", "All data ports occupied / no data port available !!!"},
        {"fr", "en", "Pas de port libre / port non disponibles !!!"},
        {"de", "en", "Keine Schnittstelle frei / vorhanden !!!"},
        {"es", "en", "All data ports occupied / no data port available !!!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Saved);
        WriteSettings(QByteArray("[System]\nLanguage=") + c.Saved + "\n");
        gnugettext::SelectLanguage(c.Environment);
        Dialogs.Messages.clear();
        Start();
        EXPECT_EQ(Dialogs.Messages.join('|').toStdString(), c.Box);
        Window.reset();
    }
    EXPECT_TRUE(Dialogs.Exceptions.isEmpty());
}

// The untitled name follows the language, and the document stays untitled:
// Save still asks for a name.
TEST_F(TranslationTest, UntitledDocumentStaysUntitledAcrossASwitch) {
    StartShown();
    TFakeFileDialogs files;
    Window->SetFileDialogs(&files);
    Find<QPlainTextEdit>("Editor")->insertPlainText("12,5 mm");
    Choose("LanguageFrench");
    EXPECT_EQ(Window->windowTitle(), "Sans nom - Brisquell");
    Find<QAction>("act_file_save")->trigger();
    EXPECT_EQ(files.Shown, QStringList({"Save"}));
    EXPECT_FALSE(QFile::exists("Unnamed") || QFile::exists("Sans nom"));
    Find<QPlainTextEdit>("Editor")->document()->setModified(false);
}

} // namespace
