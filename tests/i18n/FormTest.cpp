#include "tests/i18n/FormTestObjects.h"
#include "tests/i18n/I18nTestSupport.h"

#include "i18n/FormTranslation.h"
#include "i18n/TGnuGettextInstance.h"
#include "i18n/gnugettext.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace gnugettext;
using namespace i18n_test;

namespace {

// A small window built like the main window: menus, actions, tool bar,
// status panel, editor, and texts that the window sets at run time.
struct TWindow {
    TWindow() {
        Window.setObjectName(QStringLiteral("MainScreen"));
        Window.setWindowTitle(QStringLiteral("Brisquell"));
        Window.setProperty("gnugettextIgnore", QStringList{QStringLiteral("windowTitle")});
        Datei = Window.menuBar()->addMenu(QStringLiteral("Datei"));
        Datei->setObjectName(QStringLiteral("Datei1"));
        Save = new QAction(QStringLiteral("Speichern"), &Window);
        Save->setObjectName(QStringLiteral("act_file_save"));
        Save->setToolTip(QStringLiteral("Speichern"));
        SaveAs = new QAction(QStringLiteral("Speichern unter..."), &Window);
        SaveAs->setObjectName(QStringLiteral("act_file_saveas"));
        Recent = new QAction(QStringLiteral("1:   Datei"), &Window);
        Recent->setProperty("gnugettextIgnore", QStringList{QStringLiteral("*")});
        Datei->addActions({Save, SaveAs, Recent});
        Bar = Window.addToolBar(QStringLiteral("Bearbeiten"));
        Bar->addAction(Save);
        SaveButton = qobject_cast<QToolButton*>(Bar->widgetForAction(Save));
        Panel = new QLabel(QStringLiteral("Getrennt"));
        Panel->setProperty("gnugettextIgnore", QStringList{QStringLiteral("*")});
        Window.statusBar()->addWidget(Panel);
        Editor = new QPlainTextEdit(&Window);
        Editor->setObjectName(QStringLiteral("Editor"));
        Editor->setPlainText(QStringLiteral("Datei"));
        Editor->setStyleSheet(QStringLiteral("Datei"));
        Window.setCentralWidget(Editor);
        Counter = new TCountingObject(&Window);
        Counter->setObjectName(QStringLiteral("Datei")); // a name, never a text
        Counter->SetCaption(QStringLiteral("Bearbeiten"));
        Counter->SetLines({QStringLiteral("Datei"), QString(), QStringLiteral("Hilfe")});
        Counter->Writes = 0;
    }
    QMainWindow Window;
    QMenu* Datei;
    QAction* Save;
    QAction* SaveAs;
    QAction* Recent;
    QToolBar* Bar;
    QToolButton* SaveButton;
    QLabel* Panel;
    QPlainTextEdit* Editor;
    TCountingObject* Counter;
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        GnuGettextModuleStart();
        GlobalEngine->SetDialogs(&Dialogs);
        SelectLanguage(QStringLiteral("en"));
    }
    void TearDown() override { GnuGettextModuleEnd(); }

    const TTP_Retranslator& RetranslatorOf(QObject* form) {
        return dynamic_cast<const TTP_Retranslator&>(*FindMarker(form)->FormRetranslator);
    }
    QString DerivedToolTip(const QString& text) {
        QAction probe;
        probe.setText(text);
        return probe.toolTip();
    }

    const TScopedEnv Lang{"LANG", "de_DE.UTF-8"};
    TFakeDialogs Dialogs;
};

} // namespace

TEST_F(FormTest, TranslatesRetranslatesAndRestoresDesignTexts) {
    TWindow w;
    TranslateComponent(&w.Window);
    EXPECT_EQ(w.Datei->title(), QStringLiteral("File"));
    EXPECT_EQ(w.Save->text(), QStringLiteral("Save"));
    EXPECT_EQ(w.Counter->Caption(), QStringLiteral("Edit"));
    EXPECT_EQ(w.Counter->Lines(), QStringList({"File", "", "Help"}));
    ASSERT_NE(FindMarker(&w.Window), nullptr);
    EXPECT_EQ(FindMarker(&w.Window)->TranslatedLanguage, QStringLiteral("en"));

    // Texts the window sets at run time.
    w.Window.setWindowTitle(QStringLiteral("messung.txt - Brisquell"));
    w.Recent->setText(QStringLiteral("1:   messung.txt"));
    w.Panel->setText(QStringLiteral("Verbunden..."));
    w.Editor->setPlainText(QStringLiteral("12,5 µm\r\nDatei"));

    SelectLanguage(QStringLiteral("fr"));
    RetranslateComponent(&w.Window);
    EXPECT_EQ(w.Datei->title(), QStringLiteral("Fichier"));
    EXPECT_EQ(w.Datei->menuAction()->text(), QStringLiteral("Fichier"));
    EXPECT_EQ(w.Save->text(), QStringLiteral("Enregistrer"));
    EXPECT_EQ(w.Save->toolTip(), QStringLiteral("Enregistrer"));
    EXPECT_EQ(w.SaveButton->toolTip(), QStringLiteral("Enregistrer"));
    EXPECT_EQ(w.SaveAs->toolTip(), DerivedToolTip(QStringLiteral("Enregistrer sous...")));
    EXPECT_EQ(w.Counter->Lines(), QStringList({"Fichier", "", "Aide"}));
    EXPECT_EQ(w.Bar->toggleViewAction()->text(), QStringLiteral("Edition"));

    SelectLanguage(QStringLiteral("de"));
    RetranslateComponent(&w.Window);
    EXPECT_EQ(w.Datei->title(), QStringLiteral("Datei"));
    EXPECT_EQ(w.SaveAs->text(), QStringLiteral("Speichern unter..."));
    EXPECT_EQ(w.Counter->Caption(), QStringLiteral("Bearbeiten"));
    EXPECT_EQ(w.Counter->Lines(), QStringList({"Datei", "", "Hilfe"}));

    EXPECT_EQ(w.Window.windowTitle(), QStringLiteral("messung.txt - Brisquell"));
    EXPECT_EQ(w.Recent->text(), QStringLiteral("1:   messung.txt"));
    EXPECT_EQ(w.Panel->text(), QStringLiteral("Verbunden..."));
    EXPECT_EQ(w.Editor->toPlainText(), QStringLiteral("12,5 µm\nDatei"));
    EXPECT_EQ(w.Editor->styleSheet(), QStringLiteral("Datei"));
    EXPECT_EQ(w.Counter->objectName(), QStringLiteral("Datei"));
    EXPECT_TRUE(Dialogs.Boxes.empty());
}

TEST_F(FormTest, RetranslateWithoutLanguageChangeWritesNothing) {
    TWindow w;
    TranslateComponent(&w.Window);
    const int writes = w.Counter->Writes;
    EXPECT_EQ(writes, 2); // caption and lines
    RetranslateComponent(&w.Window);
    EXPECT_EQ(w.Counter->Writes, writes);
    SelectLanguage(QStringLiteral("fr"));
    RetranslateComponent(&w.Window);
    EXPECT_EQ(w.Counter->Writes, writes + 2);
}

TEST_F(FormTest, SecondTranslateInAnotherLanguageShowsTheErrorBox) {
    TWindow w;
    TranslateComponent(&w.Window);
    TranslateComponent(&w.Window); // same language: nothing
    EXPECT_TRUE(Dialogs.Boxes.empty());
    SelectLanguage(QStringLiteral("fr"));
    TranslateComponent(&w.Window);
    ASSERT_EQ(Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Dialogs.Boxes[0].Caption, QStringLiteral("Error"));
    EXPECT_EQ(Dialogs.Boxes[0].Text,
              QStringLiteral("This application tried to switch the language, but in an incorrect "
                             "way. The programmer needs to replace a call to TranslateComponent "
                             "with a call to RetranslateComponent(). The programmer should see "
                             "the changelog of gnugettext for more information."));
    EXPECT_EQ(Dialogs.Boxes[0].Flags, platform::MB_OK);
    EXPECT_EQ(w.Datei->title(), QStringLiteral("File"));
    EXPECT_EQ(FindMarker(&w.Window)->TranslatedLanguage, QStringLiteral("fr"));
}

TEST_F(FormTest, NoComponentIsNothingToTranslate) {
    TranslateComponent(nullptr); // the sanitizer build checks that no marker is left behind
    EXPECT_THROW(RetranslateComponent(nullptr), EGGProgrammingError);
}

TEST_F(FormTest, RetranslateBeforeTranslateIsAProgrammingError) {
    QObject form;
    EXPECT_EQ(MessageOf<EGGProgrammingError>([&] { RetranslateComponent(&form); }),
              QStringLiteral("Retranslate was called on an object that has not been "
                             "translated before. Please use TranslateComponent() before "
                             "RetranslateComponent()."));
}

TEST_F(FormTest, ObjectReachedTwiceIsWalkedOnceAndEmptyTextsAreSkipped) {
    QObject form;
    auto* holder = new TCountingObject(&form);
    TCountingObject shared; // not owned by the form: reached through properties
    shared.SetCaption(QStringLiteral("Datei"));
    shared.Writes = 0;
    holder->SetFirst(&shared);
    holder->SetSecond(&shared);
    TranslateComponent(&form);
    EXPECT_EQ(shared.Caption(), QStringLiteral("File"));
    EXPECT_EQ(shared.Writes, 1);
    EXPECT_EQ(holder->Writes, 0); // empty caption and lines: not translated
    const auto& items = RetranslatorOf(&form).Items;
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Target, &shared);
    EXPECT_EQ(items[0].PropertyName, QStringLiteral("Caption"));
    EXPECT_EQ(items[0].UntranslatedText, QStringLiteral("Datei"));
}

TEST_F(FormTest, FormWithItsOwnMarkerIsLeftToItself) {
    QObject main;
    auto* about = new TCountingObject(&main);
    about->SetCaption(QStringLiteral("Datei"));
    TranslateComponent(about);
    EXPECT_EQ(about->Caption(), QStringLiteral("File"));
    about->SetCaption(QStringLiteral("Bearbeiten"));
    auto* viaProperty = new TCountingObject(&main);
    viaProperty->SetFirst(about);
    TranslateComponent(&main);
    EXPECT_EQ(about->Caption(), QStringLiteral("Bearbeiten"));
    EXPECT_TRUE(RetranslatorOf(&main).Items.empty());
}

TEST_F(FormTest, FailingPropertyEndsTheWalkWithComponentError) {
    QObject form;
    new TStubborn(&form);
    EXPECT_EQ(MessageOf<EGGComponentError>([&] { TranslateComponent(&form); }),
              QStringLiteral("Property cannot be translated.\r\nAdd "
                             "TP_GlobalIgnoreClassProperty(TStubborn,'Stubborn') to your "
                             "source code or use\r\nTP_Ignore (self,'.Stubborn') to prevent "
                             "this message.\r\nReason: refused"));
    EXPECT_EQ(FindMarker(&form), nullptr);
    EXPECT_EQ(GlobalEngine->ActiveRetranslator, nullptr);
}

TEST_F(FormTest, ClassRulesAndOneShotIgnores) {
    TCountingObject form;
    form.SetCaption(QStringLiteral("Datei"));
    auto* child = new TCountingObject(&form);
    child->setObjectName(QStringLiteral("child"));
    child->SetCaption(QStringLiteral("Datei"));
    GlobalEngine->TP_Ignore(QStringLiteral(".caption"));
    GlobalEngine->TP_Ignore(QStringLiteral("Child"));
    GlobalEngine->TranslateObjectTree(&form, QString());
    EXPECT_EQ(form.Caption(), QStringLiteral("Datei"));
    EXPECT_EQ(child->Caption(), QStringLiteral("Datei"));
    GlobalEngine->TranslateObjectTree(&form, QString()); // the keys were for one walk
    EXPECT_EQ(form.Caption(), QStringLiteral("File"));
    EXPECT_EQ(child->Caption(), QStringLiteral("File"));

    // A handler rule comes before the rules of its ancestors.
    GlobalEngine->ClassRulesGlobal.insert(
        GlobalEngine->ClassRulesGlobal.begin(),
        TClassMode{&TStubborn::staticMetaObject, [](QObject*) {}, {}});
    EXPECT_THROW(GlobalEngine->TP_GlobalIgnoreClassProperty(&TStubborn::staticMetaObject,
                                                            QStringLiteral("x")),
                 EGGProgrammingError);
    QObject holder;
    new TStubborn(&holder); // handled by the rule, never written
    EXPECT_NO_THROW(GlobalEngine->TranslateObjectTree(&holder, QString()));

    // A class skipped whole stays skipped when one of its properties is
    // named as well.
    GlobalEngine->TP_GlobalIgnoreClass(&TCountingObject::staticMetaObject);
    GlobalEngine->TP_GlobalIgnoreClassProperty(&TCountingObject::staticMetaObject,
                                               QStringLiteral("Lines"));
    TCountingObject skipped;
    skipped.SetCaption(QStringLiteral("Datei"));
    GlobalEngine->TranslateObjectTree(&skipped, QString());
    EXPECT_EQ(skipped.Caption(), QStringLiteral("Datei"));
}
