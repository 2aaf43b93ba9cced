// Typing into other programs, as the window offers it: the menu and its
// settings, the gate, and what the status bar says, with a typer that
// records (the real typers have tests of their own under tests/wedge).
#include "app/window/WedgeView.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <mutex>

using wedge::TKeystrokes;
using wedge::TWedgeKey;
using wedge::TWedgeReport;
using wedge::TWedgeWhat;

namespace {

// What the recording typer was given; a reading "fail" ends its session.
struct TRecord {
    std::mutex Mutex;
    std::vector<TKeystrokes> Typed;
    std::vector<TKeystrokes> Copy() {
        const std::lock_guard lock(Mutex);
        return Typed;
    }
};

class TRecordingTyper : public wedge::TKeyTyper {
public:
    explicit TRecordingTyper(std::shared_ptr<TRecord> record) : FRecord(std::move(record)) {}
    void Open() override { Opened(std::nullopt); }
    std::optional<TWedgeReport> Type(const TKeystrokes& keystrokes) override {
        if (keystrokes.Text == QLatin1String("fail"))
            return TWedgeReport{wedge::TWedgeReason::SessionEnded, QStringLiteral("X server")};
        const std::lock_guard lock(FRecord->Mutex);
        FRecord->Typed.push_back(keystrokes);
        return std::nullopt;
    }

private:
    std::shared_ptr<TRecord> FRecord;
};

// A window with the menus the view is placed among.
struct TWindow {
    explicit TWindow(wedge::TTyperFactory typer,
                     wedge::TSessionKind session = wedge::TSessionKind::X11) {
        Window.menuBar()->addMenu(QStringLiteral("Datei"));
        QMenu* help = Window.menuBar()->addMenu(QStringLiteral("Hilfe"));
        View = std::make_unique<TWedgeView>(
            Window, *help,
            TWedgeView::TSeams{.DecimalSeparator = [] { return QChar(u','); },
                               .Typer = std::move(typer),
                               .Session = session});
    }
    QAction* Item(const char* name) const {
        return Window.findChild<QAction*>(QString::fromLatin1(name));
    }
    QLabel* Panel() const { return Window.statusBar()->findChild<QLabel*>("WedgePanel"); }
    void Line(const QString& line) { View->LineFinished({++Id, TLinkKind::Serial, 0, line}); }

    QMainWindow Window;
    std::unique_ptr<TWedgeView> View;
    uint64_t Id = 0;
};

wedge::TTyperFactory Recording(const std::shared_ptr<TRecord>& record) {
    return [record] { return std::make_unique<TRecordingTyper>(record); };
}

bool WaitForState(TWedgeView& view, wedge::TWedgeState state) {
    return testing_support::WaitFor([&] { return view.Wedge().State() == state; }, 60000);
}

TEST(WedgeViewTest, MenuBeforeHelpAndChoicesKeptInTheSettingsFileButNeverTheSwitch) {
    TWindow w(Recording(std::make_shared<TRecord>()));
    QStringList titles;
    for (QAction* menu : w.Window.menuBar()->actions())
        titles << menu->text();
    EXPECT_EQ(titles, QStringList({"Datei", "Extras", "Hilfe"}));
    const QStringList texts = {"In aktives Fenster tippen",
                               "Nach dem Wert",
                               "Eingabetaste",
                               "Tabulator",
                               "Nichts",
                               "Was",
                               "Ganze Zeile",
                               "Nur Zahlenwert"};
    const char* const names[] = {"TypeIntoWindow1", "AfterValue1", "AfterEnter1", "AfterTab1",
                                 "AfterNothing1",   "WhatTyped1",  "WhatLine1",   "WhatValue1"};
    for (int i = 0; i < texts.size(); ++i) {
        const auto* menu = w.Window.findChild<QMenu*>(names[i]);
        const QAction* item = menu ? menu->menuAction() : w.Item(names[i]);
        ASSERT_NE(item, nullptr) << names[i];
        EXPECT_EQ(item->text(), texts[i]);
        EXPECT_TRUE(item->isEnabled()) << names[i];
    }

    struct TCase {
        const char* File;
        TWedgeSettings Read;
        const char* Written; // the section as written back; "" none
    } const cases[] = {
        {"", {}, ""},
        {"[Wedge]\nAfter=Tab\nWhat=Value\n",
         {TWedgeKey::Tab, TWedgeWhat::ValueOnly},
         "[Wedge]\nAfter=Tab\nWhat=Value\n"},
        {"[wedge]\nafter = none\nWHAT=line\n",
         {TWedgeKey::None, TWedgeWhat::WholeLine},
         "[wedge]\nafter=None\nWHAT=Line\n"},
        // Words it does not know give the defaults; typing stays off whatever
        // a key says.
        {"[Wedge]\nAfter=Return\nWhat=\nOn=1\n", {}, "[Wedge]\nAfter=Enter\nWhat=Line\nOn=1\n"},
    };
    const QTemporaryDir folder;
    const QString ini = folder.filePath("BSave.ini");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File);
        QFile::remove(ini);
        if (*c.File) {
            QFile file(ini);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.File);
        }
        TWindow loaded(Recording(std::make_shared<TRecord>()));
        loaded.View->LoadSettings(ini);
        EXPECT_EQ(loaded.View->Chosen(), c.Read);
        EXPECT_FALSE(loaded.Item("TypeIntoWindow1")->isChecked());
        loaded.View->SaveSettings(ini);
        QFile file(ini);
        const QByteArray written = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        EXPECT_EQ(QString::fromUtf8(written).remove('\r'), QString::fromUtf8(c.Written));
    }

    // The user's choice goes into the file and comes back from it.
    QFile::remove(ini);
    w.Item("AfterTab1")->trigger();
    w.Item("WhatValue1")->trigger();
    EXPECT_FALSE(w.Item("AfterEnter1")->isChecked());
    w.View->SaveSettings(ini);
    TWindow again(Recording(std::make_shared<TRecord>()));
    again.View->LoadSettings(ini);
    EXPECT_EQ(again.View->Chosen(), TWedgeSettings({TWedgeKey::Tab, TWedgeWhat::ValueOnly}));
}

TEST(WedgeViewTest, TypesFinishedLinesOnlyWhileAnotherProgramIsActive) {
    const auto record = std::make_shared<TRecord>();
    TWindow w(Recording(record));
    QStringList heldBack;
    QObject::connect(&w.View->Wedge(), &wedge::TKeyboardWedge::HeldBack, &w.Window,
                     [&](const QString& text) { heldBack << text; });
    w.Line("1 mm"); // the item is off
    w.Item("AfterTab1")->trigger();
    w.Item("WhatValue1")->trigger();
    w.Item("TypeIntoWindow1")->trigger();
    ASSERT_TRUE(WaitForState(*w.View, wedge::TWedgeState::On));
    ASSERT_TRUE(w.View->MayType()); // no window of ours is active
    w.Line("  12,5 µm\r");
    w.Line("IR K7X: +4.210 mm");
    ASSERT_TRUE(testing_support::WaitFor([&] { return record->Copy().size() == 2; }, 60000));
    EXPECT_EQ(record->Copy(),
              std::vector<TKeystrokes>({{"12,5", TWedgeKey::Tab}, {"+4,210", TWedgeKey::Tab}}));

    // Our own window active: held back. (A modal dialog of ours while
    // another program is active is the window test's, on a real X server.)
    w.Window.show();
    w.Window.activateWindow();
    ASSERT_TRUE(testing_support::WaitFor([&] { return !w.View->MayType(); }, 60000));
    w.Line("8 mm");
    ASSERT_TRUE(testing_support::WaitFor([&] { return heldBack.contains("8"); }, 60000));
    EXPECT_EQ(record->Copy().size(), 2u);
}

TEST(WedgeViewTest, StatusBarSaysWhyAndTheItemFollowsTheQueue) {
    const auto record = std::make_shared<TRecord>();
    TWindow w(Recording(record));
    QAction* item = w.Item("TypeIntoWindow1");
    item->trigger();
    ASSERT_TRUE(WaitForState(*w.View, wedge::TWedgeState::On));
    EXPECT_FALSE(w.Panel()->isVisibleTo(&w.Window));
    // Left out: typing goes on.
    w.Line(QString(65, u'1'));
    EXPECT_TRUE(w.Panel()->isVisibleTo(&w.Window));
    EXPECT_EQ(w.Panel()->text(), "Nicht getippt: ein Messwert mit 65 Zeichen (höchstens 64)");
    EXPECT_TRUE(item->isChecked());
    // The session ends: the item goes off and the panel says why.
    w.Line("fail");
    ASSERT_TRUE(WaitForState(*w.View, wedge::TWedgeState::Off));
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(w.Panel()->text(), "Tippen aus: Die Sitzung ist beendet (X server)");
    // Switched on again, the old word goes.
    item->trigger();
    EXPECT_FALSE(w.Panel()->isVisibleTo(&w.Window));
    ASSERT_TRUE(WaitForState(*w.View, wedge::TWedgeState::On));

    // Neither XTEST nor the portal: disabled, and the tooltip says why,
    // at once without a session, at the first switch-on without a typer.
    TWindow none(Recording(record), wedge::TSessionKind::None);
    EXPECT_FALSE(none.Item("TypeIntoWindow1")->isEnabled());
    EXPECT_EQ(none.Item("TypeIntoWindow1")->toolTip(),
              "Weder XTEST noch das Portal ist da (neither an X11 nor a Wayland session)");
    TWindow missing([] { return nullptr; });
    missing.Item("TypeIntoWindow1")->trigger();
    ASSERT_TRUE(testing_support::WaitFor(
        [&] { return !missing.Item("TypeIntoWindow1")->isEnabled(); }, 60000));
    EXPECT_FALSE(missing.Item("TypeIntoWindow1")->isChecked());
    EXPECT_TRUE(missing.Item("TypeIntoWindow1")->toolTip().startsWith("Weder XTEST"));
    EXPECT_TRUE(missing.Panel()->text().startsWith("Tippen aus: Weder XTEST"));
}

} // namespace
