// The main window in another language: translated at creation from the
// catalogs carried by this test program, retranslated on a switch, with the
// texts set at run time left alone.
#include "app/TMainScreen.h"
#include "i18n/gnugettext.h"
#include "tests/app/FakeDialogs.h"
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
    TFakeDialogs Dialogs;
    std::unique_ptr<TMainScreen> Window;
};

TEST_F(TranslationTest, WindowComesUpInTheEnvironmentsLanguage) {
    EXPECT_EQ(Window->Settings.Language, "en");
    EXPECT_EQ(Window->Datei1->title(), "File");
    EXPECT_EQ(Window->act_file_new->text(), "New");
    EXPECT_EQ(Window->act_file_new->toolTip(), "New");
    EXPECT_EQ(Window->windowTitle(), "Unnamed - Brisquell");
    Window->RefreshStatusBar();
    EXPECT_EQ(Window->StatusPanels[0]->text(), "Disconnected");
}

TEST_F(TranslationTest, SwitchRenewsDesignTextsOnly) {
    Window->SetFileName("/m/probe.txt", true);
    Window->AddReceivedText("Datei\r\n");
    gnugettext::SelectLanguage("fr");
    gnugettext::RetranslateComponent(Window.get());
    EXPECT_EQ(Window->Datei1->title(), "Fichier");
    EXPECT_EQ(Window->windowTitle(), "probe.txt - Brisquell");
    EXPECT_EQ(Window->FileItems[0]->text(), "0:   /m/probe.txt");
    EXPECT_EQ(Window->Editor->toPlainText(), "Datei\n") << "readings are never translated";
    gnugettext::SelectLanguage("de");
    gnugettext::RetranslateComponent(Window.get());
    EXPECT_EQ(Window->Datei1->title(), "Datei");
    EXPECT_EQ(Window->act_file_new->text(), "Neu");
    EXPECT_EQ(Window->windowTitle(), "probe.txt - Brisquell");
}

} // namespace
