#include "app/EditorInserter.h"
#include "app/ImageList.h"
#include "app/TMainScreen.h"
#include "serial/TSerial.h"
#include "tests/app/FakeByteSource.h"
#include "tests/app/FakeDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

QString IniFile() {
    return testing_support::ConfigHome() + "/Brisquell/BSave.ini";
}

void WriteIni(const QByteArray& text) {
    QFile::remove(IniFile());
    if (text.isEmpty())
        return;
    QFile file(IniFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

class MainScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName("Brisquell");
        WriteIni({});
    }
    void Create(const QByteArray& ini = {}) {
        WriteIni(ini);
        Window = std::make_unique<TMainScreen>(Dialogs);
    }
    void Show() {
        Window->show();
        ASSERT_TRUE(testing_support::WaitFor([&] { return !Window->State.Starting; }));
    }
    QString Text() const { return Window->Editor->toPlainText(); }
    QAction* Action(const char* name) const { return Window->findChild<QAction*>(name); }

    TFakeDialogs Dialogs;
    std::unique_ptr<TMainScreen> Window;
};

TEST_F(MainScreenTest, ActionsCarryCaptionHintShortcutAndImage) {
    Create();
    struct Row {
        const char* Name;
        const char* Caption;
        QKeySequence Shortcut;
        int Image;
    };
    const Row rows[] = {
        {"act_file_new", "Neu", QKeySequence("Ctrl+N"), 0},
        {"act_file_open", "Öffnen", QKeySequence("Ctrl+O"), 1},
        {"act_file_save", "Speichern", QKeySequence("Ctrl+S"), 2},
        {"act_file_saveas", "Speichern unter...", QKeySequence(), 3},
        {"act_file_printersetup", "Drucker einstellen", QKeySequence(), -1},
        {"act_file_print", "Drucken", QKeySequence("Ctrl+P"), 4},
        {"act_file_exit", "Beenden", QKeySequence("Alt+F4"), -1},
        {"act_edit_undo", "Rückgängig", QKeySequence("Ctrl+Z"), 8},
        {"act_edit_cut", "Ausschneiden", QKeySequence("Ctrl+X"), 5},
        {"act_edit_copy", "Kopieren", QKeySequence("Ctrl+C"), 6},
        {"act_edit_paste", "Einfügen", QKeySequence("Ctrl+V"), 7},
        {"act_edit_markall", "Alles markieren", QKeySequence("Ctrl+A"), -1},
        {"act_edit_clear", "Anzeige löschen", QKeySequence(), 9},
        {"act_interface_conneced", "Verbinden", QKeySequence(), 10},
        {"act_interface_disconneced", "Trennen", QKeySequence(), 11},
    };
    for (const Row& row : rows) {
        QAction* action = Action(row.Name);
        ASSERT_NE(action, nullptr) << row.Name;
        EXPECT_EQ(action->text(), QString::fromUtf8(row.Caption)) << row.Name;
        EXPECT_EQ(action->toolTip(), action->text()) << row.Name;
        EXPECT_EQ(action->shortcut(), row.Shortcut) << row.Name;
        EXPECT_EQ(action->property("ImageIndex").toInt(), row.Image) << row.Name;
        EXPECT_EQ(action->icon().isNull(), row.Image < 0) << row.Name;
    }
    EXPECT_EQ(Window->ImageList1->Count(), 12);
    EXPECT_EQ(Window->StatusImageList->Count(), 3);
}

QStringList Captions(const QMenu* menu) {
    QStringList captions;
    for (const QAction* action : menu->actions())
        captions << (action->isSeparator() ? "-" : action->text());
    return captions;
}

TEST_F(MainScreenTest, MenusHoldEveryItemInOrder) {
    Create();
    QStringList titles;
    for (const QAction* action : Window->MainMenu1->actions())
        titles << action->text();
    EXPECT_EQ(titles, QStringList({"Datei", "Bearbeiten", "Gerät", "Schnittstelle", "Hilfe"}));
    EXPECT_EQ(Captions(Window->Datei1),
              QStringList({"Neu", "Öffnen", "Speichern", "Speichern unter...", "-",
                           "Drucker einstellen", "Drucken", "-", "Beenden"}));
    EXPECT_EQ(Captions(Window->Bearbeiten1),
              QStringList({"Rückgängig", "-", "Ausschneiden", "Kopieren", "Einfügen", "-",
                           "Alles markieren", "Anzeige löschen"}));
    EXPECT_EQ(Captions(Window->Device1),
              QStringList({"Manuell", "-", "Velmarod (K10...K70)", "Velmarod K65 (USB)",
                           "Velmarod (K101...K410)", "-", "Velmarod PX (K200...K410)", "-",
                           "Zelvar (Kabel)", "Zelvar (Infrarotadapter an COM)", "-",
                           "Quintarion (Q40, Q41)", "-", "Velmarod K7X (Kabel)",
                           "Velmarod K7 / K7X (Infrarot)"}));
    for (int tag = 0; tag < 10; ++tag) {
        QAction* item = Window->DeviceItems[static_cast<size_t>(tag)];
        EXPECT_EQ(item->property("Tag").toInt(), tag);
        EXPECT_TRUE(item->isCheckable());
    }
    EXPECT_EQ(Window->DeviceItems[0]->objectName(), "Manuell");
    EXPECT_EQ(Captions(Window->Schnittstelle1),
              QStringList({"Verbinden", "Trennen", "-", "Infrarot", "USB"}));
    EXPECT_FALSE(Window->Infrarot1->isEnabled());
    EXPECT_FALSE(Window->USB1->isEnabled());
    EXPECT_EQ(Captions(Window->Hilfe1),
              QStringList({"Hilfe zu Brisquell", "-", "Sprache", "Info"}));
    EXPECT_EQ(Captions(Window->Lanuage), QStringList({"Deutsch", "Englisch", "Französisch"}));
    EXPECT_EQ(Window->LanguageFrench->property("Tag").toInt(), 2);
    EXPECT_EQ(Captions(Window->PopupMenu), QStringList({"Ausschneiden", "Kopieren", "Einfügen",
                                                        "Alles markieren", "-", "Drucken"}));
    ASSERT_EQ(Window->PopupOpen->actions().size(), 5);
    for (int i = 0; i < 5; ++i) {
        QAction* item = Window->PopupOpen->actions()[i];
        EXPECT_EQ(item->objectName(), QString("File%1").arg(i + 1));
        EXPECT_EQ(item->property("Tag").toInt(), i);
        EXPECT_FALSE(item->isVisible());
    }
}

TEST_F(MainScreenTest, WindowToolBarStatusBarAndTimerAsDesigned) {
    Create();
    EXPECT_EQ(Window->windowTitle(), "Unbenannt - Brisquell");
    EXPECT_EQ(Window->minimumSize(), QSize(430, 220));
    const QList<QAction*> buttons = Window->ToolBar1->actions();
    QStringList order;
    for (const QAction* action : buttons)
        order << (action->isSeparator()            ? "-"
                  : action->objectName().isEmpty() ? "gap"
                                                   : action->objectName());
    EXPECT_EQ(order.join(' '),
              "act_file_new act_file_open - act_file_save act_file_saveas - act_file_print - "
              "act_edit_cut act_edit_copy act_edit_paste act_edit_undo - act_edit_clear gap "
              "act_interface_conneced act_interface_disconneced");
    auto* open =
        qobject_cast<QToolButton*>(Window->ToolBar1->widgetForAction(Window->act_file_open));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->menu(), Window->PopupOpen);
    EXPECT_EQ(Window->findChild<QWidget*>("ToolButtonGap")->width(), 26);
    EXPECT_EQ(Window->StatusPanels[1]->maximumWidth(), 50);
    EXPECT_EQ(Window->StatusPanels[2]->maximumWidth(), 80);
    EXPECT_EQ(Window->StatusPanels[3]->maximumWidth(), 50);
    EXPECT_EQ(Window->findChild<QWidget*>("StatusPanel0Frame")->maximumWidth(), 170);
    EXPECT_FALSE(Window->PromptTime->isActive());
    EXPECT_EQ(Window->PromptTime->interval(), 500);
    EXPECT_TRUE(Window->Editor->font().fixedPitch());
    EXPECT_EQ(Window->Editor->font().pointSize(), 10);
    EXPECT_EQ(Window->Editor->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(Window->OpenDialog->Filter, "Text (*:TXT)|*.TXT|Alle Dateien (*.*)|*.*");
    EXPECT_EQ(Window->SaveDialog->Filter, "Text (*.TXT)|*.TXT|Alle Dateien (*.*)|*.*");
}

TEST_F(MainScreenTest, FirstRunUsesDefaultsAndClosingWritesEveryKey) {
    Create();
    Show();
    EXPECT_EQ(Window->frameGeometry().topLeft(), QPoint(100, 100));
    EXPECT_EQ(Window->frameGeometry().size(), QSize(500, 450));
    EXPECT_TRUE(Window->DeviceItems[0]->isChecked());
    EXPECT_EQ(Window->OpenDialog->InitialDir, QCoreApplication::applicationDirPath() + "/");
    EXPECT_EQ(Window->StatusPanels[3]->text(), "Manuell");
    Window.reset();
    QFile file(IniFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char* key : {"Left=100", "Top=100", "Height=450", "Width=500", "Baud=9600",
                            "Device=0", "Port=0", "MaxPort=10", "AutoConnect=1", "Debug=0",
                            "LeftSpace=10", "Language=", "WorkDir=\n", "File0=", "File4="})
        EXPECT_TRUE(text.contains(key)) << key;
}

TEST_F(MainScreenTest, BaudIsWrittenFromTheSerialComponent) {
    Create("[Config]\nBaud=4800\n");
    EXPECT_EQ(Window->Settings.Baud, 4800);
    Window->Serial1->SetBaudrate(57600);
    Window.reset();
    QFile file(IniFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Baud=57600"));
}

TEST_F(MainScreenTest, UnknownProfileSelectsManuellAndLeftInHex) {
    Create("[Window]\nLeft=0x20\n[Config]\nDevice=42\n");
    Show();
    EXPECT_EQ(Window->frameGeometry().x(), 32);
    EXPECT_TRUE(Window->DeviceItems[0]->isChecked());
    EXPECT_EQ(Window->Settings.Device, 0);
    EXPECT_EQ(Window->State.DeviceMenuIndex, 0);
}

TEST_F(MainScreenTest, SavedProfileIsCheckedAndShown) {
    Create("[Config]\nDevice=6\n");
    Show();
    EXPECT_TRUE(Window->DeviceItems[6]->isChecked());
    EXPECT_EQ(Window->State.DeviceMenuIndex, 9); // position, separators included
    EXPECT_TRUE(Window->State.EchoBack);
}

TEST_F(MainScreenTest, SerialReadingReachesTheEditorWithSeparator) {
    Create("[Config]\nDevice=3\n");
    Show();
    TFakeByteSource port;
    Window->SetReceptionSource(&port);
    Window->SetDecimalSeparatorSource([] { return QString(","); });
    port.Feed("  12.5 um\r\n");
    Window->Serial1RxChar(nullptr);
    EXPECT_EQ(Text(), QString::fromUtf8("  12,5 µm\n"));
    EXPECT_TRUE(Window->PromptTime->isActive()) << "a prompt-using profile restarts the cycle";
    EXPECT_EQ(Window->PromptTime->interval(), 1000);
    EXPECT_TRUE(Window->Editor->document()->isModified());
}

TEST_F(MainScreenTest, ReadingsAreNotUndoable) {
    Create();
    Window->Editor->insertPlainText("typed ");
    Window->AddReceivedText("1,5\r\n");
    Window->act_edit_undo->trigger();
    EXPECT_TRUE(Text().contains("1,5")) << "undo never removes a reading";
    EXPECT_FALSE(Window->Editor->document()->isUndoAvailable());
}

TEST_F(MainScreenTest, CarriageReturnAndLineFeedInTwoChunksMakeOneBreak) {
    Create();
    Window->AddReceivedText("1,5\r");
    Window->AddReceivedText("\n2,5\r\n");
    EXPECT_EQ(Window->Editor->document()->blockCount(), 3);
    EXPECT_EQ(Text(), "1,5\n2,5\n");
}

TEST_F(MainScreenTest, InsertionReplacesSelectionAndLeavesCaretBehind) {
    Create();
    Window->Editor->setPlainText("abc XYZ def");
    QTextCursor cursor = Window->Editor->textCursor();
    cursor.setPosition(4);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    Window->Editor->setTextCursor(cursor);
    Window->AddReceivedText("12");
    EXPECT_EQ(Text(), "abc 12 def");
    EXPECT_EQ(Window->Editor->textCursor().position(), 6);
    Window->AddReceivedText("3");
    EXPECT_EQ(Text(), "abc 123 def");
}

TEST_F(MainScreenTest, ChunksDropNulButKeepTheRest) {
    Create();
    Window->AddReceivedText(QByteArray("ab\0cd\xB5", 6));
    EXPECT_EQ(Text(), QString::fromUtf8("abcdµ"));
    Window->InsertInfraredChunk("lost");
    EXPECT_EQ(Text(), QString::fromUtf8("abcdµ")) << "infrared shows only while connected";
    Window->State.Connected = true;
    Window->InsertInfraredChunk(QByteArrayView("x\0y", 3));
    EXPECT_EQ(Text(), QString::fromUtf8("abcdµxy"));
}

TEST_F(MainScreenTest, DisplayIsBatchedPerFrame) {
    Create();
    Show();
    Window->AddReceivedText("1\r\n");
    EXPECT_FALSE(Window->Editor->updatesEnabled()) << "painting held within a frame";
    EXPECT_TRUE(testing_support::WaitFor([&] { return Window->Editor->updatesEnabled(); }));
}

TEST_F(MainScreenTest, RecentFilesShiftAndShowInTheDropDown) {
    Create();
    for (const char* name : {"/m/A.txt", "/m/B.txt", "/m/A.txt", "/m/A.txt"})
        Window->SetFileName(name, true);
    EXPECT_EQ(Window->windowTitle(), "A.txt - Brisquell");
    EXPECT_EQ(Window->Settings.Files[0], "/m/A.txt");
    EXPECT_EQ(Window->Settings.Files[1], "/m/B.txt");
    EXPECT_EQ(Window->Settings.Files[2], "/m/A.txt");
    EXPECT_EQ(Window->FileItems[0]->text(), "0:   /m/A.txt");
    EXPECT_TRUE(Window->FileItems[2]->isVisible());
    EXPECT_FALSE(Window->FileItems[3]->isVisible());
    Window->SetFileName("Unbenannt", true);
    EXPECT_EQ(Window->Settings.Files[0], "/m/A.txt") << "the untitled name is never listed";
    for (const char* name : {"/1", "/2", "/3", "/4", "/R&D.txt"})
        Window->SetFileName(name, true);
    EXPECT_EQ(Window->Settings.Files[4], "/1") << "a sixth name drops the oldest";
    EXPECT_EQ(Window->FileItems[0]->text(), "0:   /R&&D.txt");
}

TEST_F(MainScreenTest, ErrorsOfCommandsAreShownAndTheProgramGoesOn) {
    Create();
    Window->RunGuarded([] { throw std::runtime_error("Disk full"); });
    EXPECT_EQ(Dialogs.Exceptions, QStringList({"Disk full"}));
}

} // namespace
