#include "app/capture/EditorInserter.h"
#include "app/capture/Profiles.h"
#include "app/window/ElidedLabel.h"
#include "app/window/ImageList.h"
#include "app/window/TMainScreen.h"
#include "serial/TSerial.h"
#include "tests/app/FakeByteSource.h"
#include "tests/app/FakeDialogs.h"
#include "tests/serial/PtyPort.h"
#include "tests/support/TestEnvironment.h"

#include <QAccessible>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
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
        // The first show checks the saved profile's item.
        ASSERT_TRUE(testing_support::WaitFor(
            [&] { return Find<QActionGroup>("DeviceGroup")->checkedAction() != nullptr; }));
    }
    // The window's parts, found by name as a user's tool would.
    template <typename T> T* Find(const char* name) const {
        T* child = Window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QPlainTextEdit* Editor() const { return Find<QPlainTextEdit>("Editor"); }
    // The document once the readings received so far are in.
    QString Text() const {
        Window->Inserter().Flush();
        return Editor()->toPlainText();
    }
    QAction* Action(const char* name) const { return Find<QAction>(name); }
    QMenu* Menu(const char* name) const { return Find<QMenu>(name); }
    QString Panel(int i) const {
        return Find<QLabel>(QStringLiteral("StatusPanel%1").arg(i).toLatin1().constData())->text();
    }
    QAction* DeviceItem(int tag) const {
        for (QAction* item : Menu("Device1")->actions())
            if (!item->isSeparator() && item->property("Tag").toInt() == tag)
                return item;
        ADD_FAILURE() << "no Device item " << tag;
        return nullptr;
    }
    QString IniText() const {
        QFile file(IniFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

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
    EXPECT_EQ(Find<TImageList>("ImageList1")->Count(), 12);
    EXPECT_EQ(Find<TImageList>("StatusImageList")->Count(), 3);
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
    for (const QAction* action : Find<QMenuBar>("MainMenu1")->actions())
        titles << action->text();
    EXPECT_EQ(titles, QStringList({"Datei", "Bearbeiten", "Ansicht", "Gerät", "Schnittstelle",
                                   "Extras", "Hilfe"}));
    EXPECT_EQ(Captions(Menu("Ansicht1")), QStringList({"Messreihe"}));
    EXPECT_EQ(Captions(Menu("Extras1")),
              QStringList({"In aktives Fenster tippen", "-", "Nach dem Wert", "Was"}));
    EXPECT_EQ(Captions(Menu("Datei1")),
              QStringList({"Neu", "Öffnen", "Speichern", "Speichern unter...", "-",
                           "Drucker einstellen", "Drucken", "-", "Beenden"}));
    EXPECT_EQ(Captions(Menu("Bearbeiten1")),
              QStringList({"Rückgängig", "-", "Ausschneiden", "Kopieren", "Einfügen", "-",
                           "Alles markieren", "Anzeige löschen"}));
    // The Device menu is the profile table: its captions in tag order, a
    // separator after the rows that ask for one.
    EXPECT_EQ(Captions(Menu("Device1")),
              QStringList({"Manuell", "-", "Velmarod (K10...K70)", "Velmarod K65 (USB)",
                           "Velmarod (K101...K410)", "-", "Velmarod PX (K200...K410)", "-",
                           "Zelvar (Kabel)", "Zelvar (Infrarotadapter an COM)", "-",
                           "Quintarion (Q40, Q41)", "-", "Velmarod K7X (Kabel)",
                           "Velmarod K7 / K7X (Infrarot)"}));
    for (const TProfile& profile : Profiles()) {
        QAction* item = DeviceItem(profile.Tag);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), QString::fromUtf8(profile.Caption));
        EXPECT_TRUE(item->isCheckable());
    }
    EXPECT_EQ(DeviceItem(0)->objectName(), "Manuell");
    EXPECT_EQ(Captions(Menu("Schnittstelle1")),
              QStringList({"Verbinden", "Trennen", "-", "Infrarot", "USB"}));
    EXPECT_FALSE(Action("Infrarot1")->isEnabled());
    EXPECT_FALSE(Action("USB1")->isEnabled());
    EXPECT_EQ(Captions(Menu("Hilfe1")),
              QStringList({"Hilfe zu Brisquell", "-", "Sprache", "Info"}));
    EXPECT_EQ(Captions(Menu("Lanuage")), QStringList({"Deutsch", "Englisch", "Französisch"}));
    EXPECT_EQ(Action("LanguageFrench")->property("Tag").toInt(), 2);
    EXPECT_EQ(Captions(Menu("PopupMenu")), QStringList({"Ausschneiden", "Kopieren", "Einfügen",
                                                        "Alles markieren", "-", "Drucken"}));
    ASSERT_EQ(Menu("PopupOpen")->actions().size(), 5);
    for (int i = 0; i < 5; ++i) {
        QAction* item = Menu("PopupOpen")->actions()[i];
        EXPECT_EQ(item->objectName(), QString("File%1").arg(i + 1));
        EXPECT_EQ(item->property("Tag").toInt(), i);
        EXPECT_FALSE(item->isVisible());
    }
}

TEST_F(MainScreenTest, WindowToolBarStatusBarAndTimerAsDesigned) {
    Create();
    EXPECT_EQ(Window->windowTitle(), "Unbenannt - Brisquell");
    EXPECT_EQ(Window->minimumSize(), QSize(430, 220));
    auto* toolBar = Find<QToolBar>("ToolBar1");
    const QList<QAction*> buttons = toolBar->actions();
    QStringList order;
    for (const QAction* action : buttons)
        order << (action->isSeparator()            ? "-"
                  : action->objectName().isEmpty() ? "gap"
                                                   : action->objectName());
    EXPECT_EQ(order.join(' '),
              "act_file_new act_file_open - act_file_save act_file_saveas - act_file_print - "
              "act_edit_cut act_edit_copy act_edit_paste act_edit_undo - act_edit_clear gap "
              "act_interface_conneced act_interface_disconneced");
    auto* open = qobject_cast<QToolButton*>(toolBar->widgetForAction(Action("act_file_open")));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->menu(), Menu("PopupOpen"));
    EXPECT_EQ(Find<QWidget>("ToolButtonGap")->width(), 26);
    EXPECT_EQ(Find<QLabel>("StatusPanel1")->maximumWidth(), 50);
    EXPECT_EQ(Find<QLabel>("StatusPanel2")->maximumWidth(), 80);
    EXPECT_EQ(Find<QLabel>("StatusPanel3")->minimumWidth(), 50);
    EXPECT_EQ(Find<QWidget>("StatusPanel0Frame")->maximumWidth(), 170);
    EXPECT_FALSE(Find<QTimer>("PromptTime")->isActive());
    EXPECT_EQ(Find<QTimer>("PromptTime")->interval(), 500);
    EXPECT_TRUE(Editor()->font().fixedPitch());
    EXPECT_EQ(Editor()->font().pointSize(), 10);
    EXPECT_EQ(Editor()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(Find<TFileDialogInfo>("OpenDialog")->Filter,
              "Text (*:TXT)|*.TXT|Alle Dateien (*.*)|*.*");
    EXPECT_EQ(Find<TFileDialogInfo>("SaveDialog")->Filter,
              "Text (*.TXT)|*.TXT|Alle Dateien (*.*)|*.*");
}

// The first three panels keep their widths; the last one takes the rest of
// the bar, and a caption too long for it is cut short, whole in its tooltip
// and for a screen reader.
TEST_F(MainScreenTest, LastStatusPanelReachesTheRightEdge) {
    Create("[Config]\nDevice=6\n");
    Show();
    auto* last = Find<TElidedLabel>("StatusPanel3");
    const QString caption = "Zelvar (Infrarotadapter an COM)";
    ASSERT_EQ(last->text(), caption);
    const int captionWidth = last->fontMetrics().horizontalAdvance(caption);
    for (const int width : {900, 500}) {
        SCOPED_TRACE(width);
        Window->resize(width, 450);
        ASSERT_TRUE(testing_support::WaitFor([&] {
            return Window->width() == width && Find<QStatusBar>("StatusBar")->width() == width &&
                   last->geometry().right() > Window->width() - 10;
        })) << last->geometry().right();
        EXPECT_EQ(Find<QWidget>("StatusPanel0Frame")->width(), 170);
        EXPECT_EQ(Find<QLabel>("StatusPanel1")->width(), 50);
        EXPECT_EQ(Find<QLabel>("StatusPanel2")->width(), 80);
        // QStatusBar keeps two pixels free at its right end.
        EXPECT_GE(last->mapTo(Window.get(), last->rect().topRight()).x(), width - 3);
        const bool fits = captionWidth <= last->contentsRect().width();
        ASSERT_EQ(fits, width == 900) << "the caption is " << captionWidth << " px wide";
        // The tooltip follows once the panel has been laid out and drawn.
        EXPECT_TRUE(testing_support::WaitFor(
            [&] { return last->toolTip() == (fits ? QString() : caption); }));
        EXPECT_EQ(last->ShownText().endsWith(QChar(0x2026)), !fits)
            << last->ShownText().toStdString();
        EXPECT_EQ(last->text(), caption);
        EXPECT_TRUE(last->accessibleName().isEmpty()) << "no fixed name over the text";
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(last);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->text(QAccessible::Name), caption);
        EXPECT_EQ(reader->text(QAccessible::Description), "Gerät");
    }
    // A caption that fits after one that did not: the tooltip goes.
    DeviceItem(1)->trigger();
    EXPECT_EQ(last->text(), "Velmarod (K10...K70)");
    EXPECT_TRUE(testing_support::WaitFor([&] { return last->toolTip().isEmpty(); }));
}

// The port menu's link items are radio items: a click on the checked one
// leaves it checked, and with a serial profile exactly the chosen port's
// item is checked.
TEST_F(MainScreenTest, LinkItemsKeepTheirCheckMark) {
    const TPtyPort com3{3}, com5{5};
    ASSERT_FALSE(com3.Path.isEmpty() || com5.Path.isEmpty());
    const TTestManager module; // sees both at its start
    Create("[Config]\nDevice=3\nPort=5\nAutoConnect=0\n");
    Show();
    const auto checked = [&] {
        QStringList names;
        for (const QAction* item : Menu("Schnittstelle1")->actions())
            if (item->isChecked())
                names << item->objectName();
        return names.join(' ').toStdString();
    };
    struct Step {
        const char* Gesture;
        std::function<void()> Do;
        const char* Checked;
    };
    const Step steps[] = {
        {"start", [] {}, "COM5"},
        {"COM5 again", [&] { Action("COM5")->trigger(); }, "COM5"},
        {"COM3", [&] { Action("COM3")->trigger(); }, "COM3"},
        {"infrared", [&] { Window->EnableComMenu(TLinkKind::Infrared); }, "Infrarot1"},
        {"Infrarot1 clicked", [&] { Action("Infrarot1")->trigger(); }, "Infrarot1"},
        {"USB", [&] { Window->EnableComMenu(TLinkKind::Usb); }, "USB1"},
        {"USB1 clicked", [&] { Action("USB1")->trigger(); }, "USB1"},
        {"serial", [&] { Window->EnableComMenu(TLinkKind::Serial); }, "COM3"},
        {"COM3 again", [&] { Action("COM3")->trigger(); }, "COM3"},
        {"profile 8", [&] { DeviceItem(8)->trigger(); }, "COM3"},
    };
    for (const Step& step : steps) {
        step.Do();
        EXPECT_EQ(checked(), step.Checked) << step.Gesture;
    }
    EXPECT_TRUE(Find<TSerial>("Serial1")->Active()) << "the chosen port is connected";
    EXPECT_EQ(Find<TSerial>("Serial1")->COMPort(), 3);
    Window.reset();
}

// Ports plugged in and pulled out while the program runs: a port that opens
// and lies within MaxPort's low byte gets its item, in ascending order; a
// port that goes loses its item, the chosen one only once another is chosen.
TEST_F(MainScreenTest, ComItemsFollowThePortsWhileRunning) {
    auto com5 = std::make_unique<TPtyPort>(5);
    const TTestManager module;
    Create("[Config]\nDevice=3\nPort=5\nAutoConnect=0\nMaxPort=300\n");
    Show();
    const auto items = [&] {
        QStringList names;
        for (const QAction* item : Menu("Schnittstelle1")->actions())
            if (item->objectName().startsWith("COM"))
                names << item->objectName() + (item->isChecked() ? "*" : "");
        return names.join(' ').toStdString();
    };
    ASSERT_EQ(items(), "COM5*");

    // Held by another program (its lock), and beyond the low byte of 300: no item.
    const TPtyPort com6{6}, com45{45};
    const int held = ::open(QFile::encodeName(com6.Path).constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    auto com7 = std::make_unique<TPtyPort>(7);
    const TPtyPort com3{3};
    ASSERT_TRUE(testing_support::WaitFor([&] { return items() == "COM3 COM5* COM7"; }, 20000))
        << items();
    EXPECT_TRUE(COMManager->HasPort(6) && COMManager->HasPort(45));

    com7.reset();
    com5.reset(); // the chosen port: its item stays while it is away
    ASSERT_TRUE(testing_support::WaitFor([&] { return items() == "COM3 COM5*"; }, 20000))
        << items();
    EXPECT_FALSE(COMManager->HasPort(5));
    Action("COM3")->trigger();
    EXPECT_EQ(items(), "COM3*");
    ::close(held); // free again: it gets its item at the next change
    const TPtyPort com8{8};
    ASSERT_TRUE(testing_support::WaitFor([&] { return items() == "COM3* COM6 COM8"; }, 20000))
        << items();
    Window.reset();
}

TEST_F(MainScreenTest, FirstRunUsesDefaultsAndClosingWritesEveryKey) {
    Create();
    Show();
    EXPECT_EQ(Window->frameGeometry().topLeft(), QPoint(100, 100));
    EXPECT_EQ(Window->frameGeometry().size(), QSize(500, 450));
    EXPECT_TRUE(DeviceItem(0)->isChecked());
    EXPECT_EQ(Find<TFileDialogInfo>("OpenDialog")->InitialDir,
              QCoreApplication::applicationDirPath() + "/");
    EXPECT_EQ(Panel(3), "Manuell");
    Window.reset();
    const QString text = IniText();
    for (const char* key : {"Left=100", "Top=100", "Height=450", "Width=500", "Baud=9600",
                            "Device=0", "Port=0", "MaxPort=10", "AutoConnect=1", "Debug=0",
                            "LeftSpace=10", "Language=", "WorkDir=\n", "File0=", "File4="})
        EXPECT_TRUE(text.contains(key)) << key;
}

TEST_F(MainScreenTest, BaudIsWrittenFromTheSerialComponent) {
    Create("[Config]\nBaud=4800\n");
    Find<TSerial>("Serial1")->SetBaudrate(57600);
    Window.reset();
    EXPECT_TRUE(IniText().contains("Baud=57600"));
}

TEST_F(MainScreenTest, UnknownProfileSelectsManuellAndLeftInHex) {
    Create("[Window]\nLeft=0x20\n[Config]\nDevice=42\n");
    Show();
    EXPECT_EQ(Window->frameGeometry().x(), 32);
    EXPECT_TRUE(DeviceItem(0)->isChecked());
    EXPECT_EQ(Panel(3), "Manuell");
    Window.reset();
    EXPECT_TRUE(IniText().contains("Device=0\n"));
}

TEST_F(MainScreenTest, SavedProfileIsCheckedAndShown) {
    Create("[Config]\nDevice=6\n");
    Show();
    EXPECT_TRUE(DeviceItem(6)->isChecked());
    // The panel shows the item at the chosen position, separators counted.
    EXPECT_EQ(Panel(3), "Zelvar (Infrarotadapter an COM)");
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
    auto* promptTime = Find<QTimer>("PromptTime");
    EXPECT_TRUE(promptTime->isActive()) << "a prompt-using profile restarts the cycle";
    EXPECT_EQ(promptTime->interval(), 1000);
    EXPECT_TRUE(Editor()->document()->isModified());
    EXPECT_TRUE(port.Written.isEmpty()) << "profile 3 does not echo";
}

// What each profile makes of the window: the link panels, the echo and the
// prompt timer after serial data.
TEST_F(MainScreenTest, EveryProfileRuleFollowsItsRow) {
    struct Row {
        int Tag;
        const char* Link;
        const char* Baud;
        bool Echo;
        bool DataRestartsPromptTimer;
    };
    const Row rows[] = {
        {0, "Com--", "9600 Baud", false, false},
        {1, "Com--", "1200 Baud", false, true},
        {2, "USB", "", false, false},
        {3, "Com--", "9600 Baud", false, true},
        {4, "Com--", "9600 Baud", false, true},
        {5, "Com--", "1200 Baud", false, true},
        {6, "Com--", "9600 Baud", true, true},
        {7, "Com--", "9600 Baud", false, true},
        {8, "Com--", "57600 Baud", false, false},
        {9, "IrDA", "", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Tag);
        Create("[Config]\nDevice=" + QByteArray::number(row.Tag) + "\n");
        Show();
        EXPECT_TRUE(DeviceItem(row.Tag)->isChecked());
        EXPECT_EQ(Panel(1), row.Link);
        EXPECT_EQ(Panel(2), row.Baud);
        TFakeByteSource port;
        Window->SetReceptionSource(&port);
        auto* promptTime = Find<QTimer>("PromptTime");
        promptTime->start(500);
        port.Feed("1.5\r\n");
        Window->Serial1RxChar(nullptr);
        EXPECT_EQ(port.Written, row.Echo ? "1.5\r\n" : "");
        EXPECT_EQ(promptTime->isActive(), row.DataRestartsPromptTimer);
        Window.reset();
    }
}

TEST_F(MainScreenTest, ReadingsAreNotUndoable) {
    Create();
    Editor()->insertPlainText("typed ");
    Window->AddReceivedText("1,5\r\n");
    Action("act_edit_undo")->trigger();
    EXPECT_TRUE(Text().contains("1,5")) << "undo never removes a reading";
    EXPECT_FALSE(Editor()->document()->isUndoAvailable());
}

TEST_F(MainScreenTest, CarriageReturnAndLineFeedInTwoChunksMakeOneBreak) {
    Create();
    Window->AddReceivedText("1,5\r");
    Window->AddReceivedText("\n2,5\r\n");
    EXPECT_EQ(Text(), "1,5\n2,5\n");
}

TEST_F(MainScreenTest, InsertionReplacesSelectionAndLeavesCaretBehind) {
    Create();
    Editor()->setPlainText("abc XYZ def");
    QTextCursor cursor = Editor()->textCursor();
    cursor.setPosition(4);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    Editor()->setTextCursor(cursor);
    Window->AddReceivedText("12");
    EXPECT_EQ(Text(), "abc 12 def");
    EXPECT_EQ(Editor()->textCursor().position(), 6);
    Window->AddReceivedText("3");
    EXPECT_EQ(Text(), "abc 123 def");
}

TEST_F(MainScreenTest, ChunksDropNulButKeepTheRest) {
    Create();
    Window->AddReceivedText(QByteArray("ab\0cd\xB5", 6));
    EXPECT_EQ(Text(), QString::fromUtf8("abcdµ"));
    Window->InsertInfraredChunk("lost");
    EXPECT_EQ(Text(), QString::fromUtf8("abcdµ")) << "infrared shows only while connected";
}

// Readings wait for their batch, but every command acts on all received.
TEST_F(MainScreenTest, CommandsSeeEveryReadingReceived) {
    Create();
    Window->AddReceivedText("1,5\r\n");
    EXPECT_TRUE(Window->Inserter().Pending());
    Action("act_edit_markall")->trigger();
    EXPECT_EQ(Editor()->textCursor().selectedText(), QString("1,5") + QChar::ParagraphSeparator);
    // A lone reading goes in by itself, replacing the selection.
    Window->AddReceivedText("2\r\n");
    ASSERT_TRUE(testing_support::WaitFor([&] { return !Window->Inserter().Pending(); }));
    EXPECT_EQ(Editor()->toPlainText(), "2\n");
}

TEST_F(MainScreenTest, RecentFilesShiftAndShowInTheDropDown) {
    Create();
    for (const char* name : {"/m/A.txt", "/m/B.txt", "/m/A.txt", "/m/A.txt"})
        Window->SetFileName(name, true);
    EXPECT_EQ(Window->windowTitle(), "A.txt - Brisquell");
    const auto item = [&](int i) { return Menu("PopupOpen")->actions()[i]; };
    EXPECT_EQ(item(0)->text(), "0:   /m/A.txt");
    EXPECT_EQ(item(1)->text(), "1:   /m/B.txt");
    EXPECT_EQ(item(2)->text(), "2:   /m/A.txt");
    EXPECT_TRUE(item(2)->isVisible());
    EXPECT_FALSE(item(3)->isVisible());
    Window->SetFileName("Unbenannt", true);
    EXPECT_EQ(item(0)->text(), "0:   /m/A.txt") << "the untitled name is never listed";
    for (const char* name : {"/1", "/2", "/3", "/4", "/R&D.txt"})
        Window->SetFileName(name, true);
    EXPECT_EQ(item(4)->text(), "4:   /1") << "a sixth name drops the oldest";
    EXPECT_EQ(item(0)->text(), "0:   /R&&D.txt");
    Window.reset();
    EXPECT_TRUE(IniText().contains("File0=/R&D.txt\n"));
}

// A settings file that is a pipe or a folder: the start neither blocks nor
// fails (a deadline ends the test program should it block), the defaults
// apply, and the end says once why the settings could not be written.
TEST_F(MainScreenTest, ASettingsFileThatIsNoFileNeitherBlocksNorIsReplaced) {
    for (const auto& [kind, reason] : {std::pair{"pipe", "Das Ziel ist eine benannte Pipe."},
                                       std::pair{"folder", "Das Ziel ist ein Ordner."}}) {
        SCOPED_TRACE(kind);
        const bool pipe = QString(kind) == "pipe";
        ASSERT_TRUE(pipe ? ::mkfifo(IniFile().toUtf8().constData(), 0600) == 0
                         : QDir().mkpath(IniFile()));
        ::alarm(120);
        Window = std::make_unique<TMainScreen>(Dialogs);
        Show();
        ::alarm(0);
        EXPECT_EQ(Window->frameGeometry(), QRect(100, 100, 500, 450));
        Window.reset();
        EXPECT_EQ(Dialogs.Exceptions,
                  QStringList({"In " + IniFile() + " kann nicht geschrieben werden\n" + reason}));
        struct stat info {};
        ASSERT_EQ(::lstat(IniFile().toUtf8().constData(), &info), 0);
        EXPECT_TRUE(pipe ? S_ISFIFO(info.st_mode) : S_ISDIR(info.st_mode));
        ::rmdir(IniFile().toUtf8().constData());
        ::unlink(IniFile().toUtf8().constData());
        Dialogs.Exceptions.clear();
    }
}

// Saved geometry from a hand-edited file goes where the user can reach it,
// at a size the screens can show (the offscreen screen is 800 by 800), and
// only that is written back.
TEST_F(MainScreenTest, SavedGeometryIsFittedToTheScreens) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(screen, QRect(0, 0, 800, 800));
    struct TCase {
        QByteArray Saved; // Left, Top, Width, Height
        QRect Outer;
    };
    for (const TCase& c : {
             TCase{"2147483647,2147483647,2147483647,2147483647", {0, 0, 800, 800}},
             TCase{"-100000,-100000,500,450", {0, 0, 500, 450}},
             TCase{"5000,300,500,450", {300, 300, 500, 450}},
             TCase{"-2147483648,20,-5,0", {0, 20, 430, 220}},
             TCase{"-200,790,500,450", {0, 350, 500, 450}},  // title bar below the screen
             TCase{"-300,40,500,450", {-300, 40, 500, 450}}, // 200 pixels on the screen
         }) {
        SCOPED_TRACE(c.Saved.constData());
        const QList<QByteArray> v = c.Saved.split(',');
        ::alarm(120);
        Create("[Window]\nLeft=" + v[0] + "\nTop=" + v[1] + "\nWidth=" + v[2] + "\nHeight=" + v[3] +
               "\n");
        Show();
        ::alarm(0);
        EXPECT_EQ(Window->frameGeometry(), c.Outer);
        Window.reset();
        for (const QString& key :
             {"Left=" + QString::number(c.Outer.x()), "Top=" + QString::number(c.Outer.y()),
              "Width=" + QString::number(c.Outer.width()),
              "Height=" + QString::number(c.Outer.height())})
            EXPECT_TRUE(IniText().contains(key + "\n")) << key.toStdString();
    }
    // Two screens side by side: a window may span both, and one off both is
    // brought onto the nearer one.
    const QList<QRect> two{{0, 0, 1000, 800}, {1000, 0, 1280, 1024}};
    EXPECT_EQ(FitToScreens(600, 100, 1000, 500, two, {430, 220}), QRect(600, 100, 1000, 500));
    EXPECT_EQ(FitToScreens(9000, 2000, 500, 400, two, {430, 220}), QRect(1780, 624, 500, 400));
    EXPECT_EQ(FitToScreens(100, 100, 99999, 99999, two, {430, 220}), QRect(100, 100, 2280, 1024));
}

TEST_F(MainScreenTest, ErrorsOfCommandsAreShownAndTheProgramGoesOn) {
    Create();
    Window->RunGuarded([] { throw std::runtime_error("Disk full"); });
    EXPECT_EQ(Dialogs.Exceptions, QStringList({"Disk full"}));
}

} // namespace
