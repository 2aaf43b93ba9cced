// The main window in another language: translated at creation from the
// catalogs carried by this test program, retranslated on a switch, with the
// texts set at run time left alone.
#include "app/TMainScreen.h"
#include "i18n/gnugettext.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/FakeFileDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class TranslationTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName("Brisquell");
        QFile::remove(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
        ::setenv("LANG", "en_GB.UTF-8", 1);
        GnuGettextModuleStart();
        Window = std::make_unique<TMainScreen>(Dialogs);
    }
    void TearDown() override {
        Window.reset();
        GnuGettextModuleEnd();
        ::unsetenv("LANG");
    }
    template <typename T> T* Find(const char* name) const {
        return Window->findChild<T*>(QString::fromLatin1(name));
    }
    QString MenuTitle() const { return Find<QMenu>("Datei1")->title(); }

    TFakeDialogs Dialogs;
    std::unique_ptr<TMainScreen> Window;
};

TEST_F(TranslationTest, WindowComesUpInTheEnvironmentsLanguage) {
    EXPECT_EQ(MenuTitle(), "File");
    EXPECT_EQ(Find<QAction>("act_file_new")->text(), "New");
    EXPECT_EQ(Find<QAction>("act_file_new")->toolTip(), "New");
    EXPECT_EQ(Window->windowTitle(), "Unnamed - Brisquell");
    Window->RefreshStatusBar();
    EXPECT_EQ(Find<QLabel>("StatusPanel0")->text(), "Disconnected");
    Window.reset();
    QFile file(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Language=en\n"))
        << "the language defaults to the engine's";
}

TEST_F(TranslationTest, SwitchRenewsDesignTextsOnly) {
    Window->SetFileName("/m/probe.txt", true);
    Window->AddReceivedText("Datei\r\n");
    gnugettext::SelectLanguage("fr");
    gnugettext::RetranslateComponent(Window.get());
    EXPECT_EQ(MenuTitle(), "Fichier");
    EXPECT_EQ(Window->windowTitle(), "probe.txt - Brisquell");
    EXPECT_EQ(Find<QAction>("File1")->text(), "0:   /m/probe.txt");
    EXPECT_EQ(Find<QPlainTextEdit>("Editor")->toPlainText(), "Datei\n")
        << "readings are never translated";
    gnugettext::SelectLanguage("de");
    gnugettext::RetranslateComponent(Window.get());
    EXPECT_EQ(MenuTitle(), "Datei");
    EXPECT_EQ(Find<QAction>("act_file_new")->text(), "Neu");
    EXPECT_EQ(Window->windowTitle(), "probe.txt - Brisquell");
}

TEST_F(TranslationTest, UntitledDocumentStaysUntitledAcrossASwitch) {
    TFakeFileDialogs files;
    Window->SetFileDialogs(&files);
    Find<QPlainTextEdit>("Editor")->insertPlainText("12,5 mm");
    gnugettext::SelectLanguage("fr");
    gnugettext::RetranslateComponent(Window.get());
    // Still untitled, though its name was given in English: Save asks for one.
    Find<QAction>("act_file_save")->trigger();
    EXPECT_EQ(files.Shown, QStringList({"Save"}));
    EXPECT_FALSE(QFile::exists("Unnamed"));
    Find<QPlainTextEdit>("Editor")->document()->setModified(false);
    gnugettext::SelectLanguage("en");
}

} // namespace
