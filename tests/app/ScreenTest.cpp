// What the user sees of the readings: the main window on a real X server,
// its pixels read back from the server (never the window's own rendering);
// the manual opened through the desktop; the program's start, quiet on its
// standard error. Run by run-under-window-manager.sh, which provides the
// server and a window manager.
#include "app/capture/EditorInserter.h"
#include "app/demo/Snapshot.h"
#include "app/dialogs/HelpManual.h"
#include "app/window/ElidedLabel.h"
#include "app/window/TMainScreen.h"
#include "app/window/WedgeView.h"
#include "tests/app/FakeDialogs.h"
#include "tests/serial/PtyPort.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestEnvironment.h"
#include "tests/wedge/XtermTarget.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QUrl>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Readings of different lengths, so that a line showing a stale picture of
// its neighbour's text shows ink where none belongs, or none where some does.
QByteArray Reading(int i) {
    static const char* const texts[] = {"  12.5 um", "+10.000 mm", "7 mm", "IR K7X: +4.210 mm",
                                        "USB K65: 0.1657 in"};
    return QByteArray(texts[i % 5]) + " #" + QByteArray::number(i) + "\r\n";
}

// Runs the event loop for ms milliseconds.
void Pause(int ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    testing_support::WaitFor([&] { return elapsed.hasExpired(ms); }, ms + 1000);
}

// Ink: a pixel far darker than the editor's background.
bool IsInk(QRgb pixel, int background) {
    return background - qGray(pixel) > 100;
}

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server";
        QCoreApplication::setApplicationName("Brisquell");
        // A place well inside the screen: the pixels read back are the window's.
        QDir().mkpath(testing_support::ConfigHome() + "/Brisquell");
        QFile ini(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[Window]\nLeft=100\nTop=100\nHeight=420\nWidth=560\n");
        ini.close();
        Window = std::make_unique<TMainScreen>(Dialogs);
        Window->show();
        Editor = Window->findChild<QPlainTextEdit*>("Editor");
        ASSERT_NE(Editor, nullptr);
        ASSERT_TRUE(testing_support::WaitFor(
            [&] {
                const QWindow* handle = Window->windowHandle();
                return handle != nullptr && handle->isExposed() &&
                       !handle->frameMargins().isNull() && Editor->viewport()->height() > 200;
            },
            60000))
            << "the window was not shown and framed";
    }
    void TearDown() override {
        if (Window) {
            Editor->document()->setModified(false);
            Window.reset();
        }
        EXPECT_TRUE(Dialogs.Exceptions.isEmpty()) << Dialogs.Exceptions.join('\n').toStdString();
    }

    // The editor's viewport as the X server has it on screen.
    QImage Screen() const {
        const QWidget* viewport = Editor->viewport();
        const QPoint at = viewport->mapTo(Window.get(), QPoint(0, 0));
        return Window->screen()
            ->grabWindow(Window->winId(), at.x(), at.y(), viewport->width(), viewport->height())
            .toImage();
    }
    int CaretX(int position) const {
        QTextCursor cursor(Editor->document());
        cursor.setPosition(position);
        return Editor->cursorRect(cursor).x();
    }

    // Compares each text line wholly in view with the screen: the rightmost
    // ink of its rows lies in its last character, and a blank line has none
    // past its start (where a caret may blink). Rows below the text are
    // blank. Returns the first mismatch, empty when the screen shows the text.
    std::string Mismatch(int* readingsShown = nullptr) const {
        const QImage screen = Screen();
        if (screen.isNull())
            return "no picture from the X server";
        const int background = qGray(Editor->palette().color(QPalette::Base).rgb());
        const auto rightmostInk = [&](int top, int bottom) {
            for (int x = screen.width() - 1; x >= 0; --x)
                for (int y = std::max(top, 0); y <= std::min(bottom, screen.height() - 1); ++y)
                    if (IsInk(screen.pixel(x, y), background))
                        return x;
            return -1;
        };
        const QStringList lines = Editor->toPlainText().split('\n');
        // Lines above the view are skipped: the editor places only the lines
        // near the view.
        const int firstInView = Editor->cursorForPosition(QPoint(0, 0)).position();
        int shown = 0;
        int position = 0;
        int textBottom = -1;
        for (const QString& line : lines) {
            const int start = position;
            const int end = start + static_cast<int>(line.size());
            position = end + 1;
            if (end < firstInView)
                continue;
            QTextCursor cursor(Editor->document());
            cursor.setPosition(start);
            const QRect row = Editor->cursorRect(cursor);
            textBottom = std::max(textBottom, row.bottom());
            if (row.top() < 0 || row.bottom() >= screen.height())
                continue;
            const int ink = rightmostInk(row.top() + 1, row.bottom() - 1);
            const int from = line.isEmpty() ? -1 : CaretX(end - 1) - 1;
            const int to = CaretX(end) + 2;
            if (ink < from || ink > to)
                return QStringLiteral(
                           "line \"%1\" at y %2: rightmost ink at x %3, expected %4 to %5")
                    .arg(line)
                    .arg(row.top())
                    .arg(ink)
                    .arg(from)
                    .arg(to)
                    .toStdString();
            shown += line.isEmpty() ? 0 : 1;
        }
        if (const int ink = rightmostInk(textBottom + 1, screen.height() - 1); ink >= 0)
            return "ink below the text, at x " + std::to_string(ink);
        if (readingsShown != nullptr)
            *readingsShown = shown;
        return {};
    }
    // Polls the screen until it shows the text; the last mismatch otherwise.
    std::string WaitForScreen() const {
        std::string mismatch;
        testing_support::WaitFor(
            [&] {
                mismatch = Window->Inserter().Pending() ? "readings still wait" : Mismatch();
                return mismatch.empty();
            },
            20000);
        return mismatch;
    }

    TFakeDialogs Dialogs;
    std::unique_ptr<TMainScreen> Window;
    QPlainTextEdit* Editor = nullptr;
};

// Readings a gauge sends now and then: each shows on its own line as it
// comes, not only the first.
TEST_F(ScreenTest, LoneReadingsEachShowAsTheyArrive) {
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(testing::Message() << "reading " << i);
        Window->Inserter().InsertAnsi(Reading(i));
        ASSERT_EQ(WaitForScreen(), "");
    }
    EXPECT_EQ(Editor->toPlainText().count('\n'), 5);
}

// A stream of more readings than fit scrolls: the rows at the bottom show
// the newest readings, one per line, the caret's blank line below them.
TEST_F(ScreenTest, AStreamThatScrollsShowsTheNewestReadings) {
    // 10 ms apart, as the serial thread hands a stream over: batches of a
    // few lines, each scrolling the view by less than its height.
    constexpr int readings = 60;
    for (int i = 0; i < readings; ++i) {
        Window->Inserter().InsertAnsi(Reading(i));
        Pause(10);
    }
    ASSERT_EQ(WaitForScreen(), "");
    const QScrollBar* bar = Editor->verticalScrollBar();
    EXPECT_GT(bar->value(), 0) << "the stream did not scroll";
    // The range keeps one partly shown line beyond where the caret scrolls.
    EXPECT_LE(bar->maximum() - bar->value(), 1);
    int shown = 0;
    ASSERT_EQ(Mismatch(&shown), "");
    QTextCursor last(Editor->document());
    last.movePosition(QTextCursor::End);
    const int lineHeight = Editor->cursorRect(last).height();
    // Every full row but the caret's holds one of the newest readings.
    EXPECT_GE(shown, Editor->viewport()->height() / lineHeight - 2);
    EXPECT_LT(shown, readings);
    last.movePosition(QTextCursor::Up);
    EXPECT_LT(Editor->cursorRect(last).bottom(), Editor->viewport()->height())
        << "the newest reading is in view";
}

// Readings at a caret in the middle of the document push the lines below
// down; the screen shows each line where it now is.
TEST_F(ScreenTest, ReadingsAtACaretMidDocumentShowWithTheLinesMoved) {
    for (int i = 0; i < 8; ++i)
        Window->Inserter().InsertAnsi(Reading(i));
    ASSERT_EQ(WaitForScreen(), "");
    QTextCursor caret(Editor->document());
    caret.movePosition(QTextCursor::Down, QTextCursor::MoveAnchor, 3);
    Editor->setTextCursor(caret);
    for (int i = 20; i < 23; ++i) {
        SCOPED_TRACE(testing::Message() << "lone reading " << i);
        Window->Inserter().InsertAnsi(Reading(i));
        ASSERT_EQ(WaitForScreen(), "");
    }
    // Several at once, into the middle of a line.
    caret = Editor->textCursor();
    caret.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 2);
    Editor->setTextCursor(caret);
    for (int i = 30; i < 34; ++i)
        Window->Inserter().InsertAnsi(Reading(i));
    ASSERT_EQ(WaitForScreen(), "");
    const QString text = Editor->toPlainText();
    EXPECT_EQ(text.count('\n'), 15);
    EXPECT_TRUE(text.contains("\n7 mm #22\nIR  12.5 um #30\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\n K7X: +4.210 mm #3\n")) << text.toStdString();
}

// The instrument's panel reaches the window's right edge on screen: a long
// caption is drawn whole in a wide window, and cut short to the edge in a
// narrow one, the whole caption then in its tooltip.
TEST_F(ScreenTest, InstrumentPanelIsDrawnUpToTheRightEdge) {
    for (QAction* item : Window->findChild<QMenu*>("Device1")->actions())
        if (item->property("Tag").toInt() == 6)
            item->trigger(); // "Zelvar (Infrarotadapter an COM)"
    const auto* panel = Window->findChild<TElidedLabel*>("StatusPanel3");
    ASSERT_NE(panel, nullptr);
    const QString caption = panel->text();
    ASSERT_EQ(caption, "Zelvar (Infrarotadapter an COM)");
    const int background = qGray(panel->palette().color(QPalette::Window).rgb());
    const QFontMetrics metrics = panel->fontMetrics();
    for (const int width : {900, 500}) {
        SCOPED_TRACE(testing::Message() << "width " << width);
        Window->resize(width, Window->height());
        // The pixels from the panel's left end to the window's right edge,
        // as the X server holds them; x counts from the panel's left end.
        int ink = -1;
        int shownWidth = 0;
        const auto rightmostInk = [&] {
            const QPoint at = panel->mapTo(Window.get(), QPoint(0, 0));
            const QImage strip = Window->screen()
                                     ->grabWindow(Window->winId(), at.x(), at.y(),
                                                  Window->width() - at.x(), panel->height())
                                     .toImage();
            for (int x = strip.width() - 1; x >= 0; --x)
                for (int y = 0; y < strip.height(); ++y)
                    if (IsInk(strip.pixel(x, y), background))
                        return x;
            return -1;
        };
        // The caption's ink ends where the text shown ends, a pixel or two
        // inside its last glyph.
        const bool shown = testing_support::WaitFor(
            [&] {
                ink = rightmostInk();
                shownWidth = metrics.horizontalAdvance(panel->ShownText());
                return Window->width() == width &&
                       std::abs(ink - (panel->contentsRect().left() + shownWidth)) <= 4;
            },
            20000);
        EXPECT_TRUE(shown) << "ink to x " << ink << ", the text shown is " << shownWidth
                           << " px wide: \"" << panel->ShownText().toStdString() << "\"";
        const int edge = Window->width() - panel->mapTo(Window.get(), QPoint(0, 0)).x();
        if (width == 900) {
            EXPECT_EQ(panel->ShownText().toStdString(), caption.toStdString());
            EXPECT_GT(ink, 50) << "wider than the panel once was";
            EXPECT_TRUE(panel->toolTip().isEmpty());
        } else {
            EXPECT_NE(panel->ShownText().toStdString(), caption.toStdString());
            EXPECT_TRUE(panel->ShownText().endsWith(QChar(0x2026)));
            // Cut short at the edge: less than a letter or two of room left.
            EXPECT_GT(ink, edge - 2 * metrics.averageCharWidth() - 6) << "edge at " << edge;
            EXPECT_EQ(panel->toolTip(), caption);
        }
    }
}

// The demonstration's picture is the screen's: a window in front of the
// main window shows in it, as it does to the user.
TEST_F(ScreenTest, SnapshotIsWhatTheScreenShows) {
    QWidget cover(nullptr, Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
    QPalette red;
    red.setColor(QPalette::Window, Qt::red);
    cover.setPalette(red);
    cover.setAutoFillBackground(true);
    const QPoint corner = Window->mapToGlobal(QPoint(0, 0));
    cover.setGeometry(corner.x(), corner.y(), 60, 40);
    cover.show();
    cover.raise();
    const auto redAtCorner = [&](const QImage& picture) {
        return !picture.isNull() && picture.pixel(20, 20) == qRgb(255, 0, 0);
    };
    ASSERT_TRUE(testing_support::WaitFor(
        [&] { return redAtCorner(Window->screen()->grabWindow(Window->winId()).toImage()); },
        20000))
        << "the cover did not reach the screen";
    QTemporaryDir folder;
    TSnapshot snapshot(*Window, folder.filePath("snapshot"), 3600);
    ASSERT_TRUE(snapshot.Take());
    const QImage picture(folder.filePath("snapshot.png"));
    EXPECT_EQ(picture.size(), Window->size());
    EXPECT_TRUE(redAtCorner(picture)) << "the picture is not the screen's";
}

// The series panel as the X server shows it, at the window's first size
// (500 x 450): the window widens so the document keeps 40 characters a
// line, and narrows again without the panel (the settings keep its own
// width); each group's limits judge its newest value (green or red on
// screen); deleting takes the shown group's newest reading and its line;
// the chart shows points. A document font too large for the screen leaves
// the panel what is left, scrolled.
TEST_F(ScreenTest, SeriesPanelBesideAReadableDocument) {
    const QMargins frame = Window->windowHandle()->frameMargins();
    Window->resize(500 - frame.left() - frame.right(), 450 - frame.top() - frame.bottom());
    ASSERT_TRUE(testing_support::WaitFor(
        [&] { return Window->frameGeometry().size() == QSize(500, 450); }, 20000));
    const QString wide = "Probe 1 0123456789 0123456789 0123456789"; // 40 characters
    Window->AddReceivedText(wide.toLatin1() + "\r\n");
    for (int i = 0; i < 6; ++i)
        Window->AddReceivedText("Dia: " + QByteArray::number(10 + i % 3) + ".5 mm\r\nBore: 0.5" +
                                QByteArray::number(i) + " in\r\n");
    Window->findChild<QAction*>("Messreihe1")->trigger();
    const QFontMetricsF metrics(Editor->font());
    const double fortyColumns =
        metrics.horizontalAdvance(wide) + 2 * Editor->document()->documentMargin();
    ASSERT_TRUE(testing_support::WaitFor(
        [&] { return Editor->viewport()->width() >= fortyColumns; }, 20000))
        << Editor->viewport()->width() << " < " << fortyColumns;
    EXPECT_GT(Window->frameGeometry().width(), 500);
    EXPECT_EQ(WaitForScreen(), "") << "a line wrapped or shows stale";

    const auto onScreen = [&](const QWidget* widget) {
        const QPoint at = widget->mapTo(Window.get(), QPoint(0, 0));
        return Window->screen()
            ->grabWindow(Window->winId(), at.x(), at.y(), widget->width(), widget->height())
            .toImage();
    };
    const auto count = [](const QImage& picture, const auto& matches) {
        int found = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                found += matches(picture.pixel(x, y)) ? 1 : 0;
        return found;
    };
    const auto green = [](QRgb p) { return qGreen(p) > qRed(p) + 60 && qGreen(p) > qBlue(p) + 60; };
    const auto red = [](QRgb p) { return qRed(p) > qGreen(p) + 80 && qRed(p) > qBlue(p) + 80; };
    const auto type = [&](const char* name, const QString& text) {
        auto* field = Window->findChild<QLineEdit*>(name);
        field->setText(text);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(field, &enter);
    };
    auto* newest = Window->findChild<QLabel*>("SeriesNewest");
    auto* chart = Window->findChild<QWidget*>("SeriesChart");
    auto* groups = Window->findChild<QComboBox*>("SeriesGroup");
    ASSERT_TRUE(newest != nullptr && chart != nullptr && groups != nullptr);
    // The shown group follows the newest reading: Bore, within its limits.
    ASSERT_TRUE(testing_support::WaitFor([&] { return newest->text() == "0.55 in"; }, 20000));
    type("SeriesLower", "0.4");
    type("SeriesUpper", "0.6");
    // Dia's own limits: its newest value (12.5 mm) is above them.
    groups->setCurrentIndex(0);
    emit groups->activated(0);
    type("SeriesLower", "10");
    type("SeriesUpper", "0.48 in"); // 12.192 mm
    // The newest value as the screen shows it: its text in the colour.
    const auto shows = [&](const QString& text, const auto& colour) {
        int dots = 0;
        const bool shown = testing_support::WaitFor(
            [&] {
                dots = count(onScreen(newest), colour);
                return newest->text() == text && dots > 40;
            },
            20000);
        EXPECT_TRUE(shown) << newest->text().toStdString() << ": " << dots << " pixels";
    };
    shows("12.5 mm", red);
    // The short window scrolls the panel: the chart is below the fields.
    Window->findChild<QScrollArea*>("SeriesScroll")->ensureWidgetVisible(chart);
    EXPECT_TRUE(testing_support::WaitFor([&] { return count(onScreen(chart), red) > 20; }, 20000))
        << "the points above the limit";
    groups->setCurrentIndex(1);
    emit groups->activated(1);
    Window->findChild<QScrollArea*>("SeriesScroll")->ensureWidgetVisible(newest);
    shows("0.55 in", green);

    // Deleting in the shown group: Bore's newest reading and its line.
    Window->findChild<QPushButton*>("SeriesRemoveNewest")->click();
    EXPECT_FALSE(Editor->toPlainText().contains("0.55 in"));
    EXPECT_TRUE(Editor->toPlainText().endsWith("Bore: 0.54 in\nDia: 12.5 mm\n"));
    EXPECT_EQ(Window->Series().Size(), 11);
    EXPECT_EQ(WaitForScreen(), "");

    // Hidden, the window gives the width back; the settings keep it.
    Window->findChild<QAction*>("Messreihe1")->trigger();
    EXPECT_TRUE(
        testing_support::WaitFor([&] { return Window->frameGeometry().width() == 500; }, 20000))
        << Window->frameGeometry().width();
    Window->findChild<QAction*>("Messreihe1")->trigger();
    ASSERT_TRUE(
        testing_support::WaitFor([&] { return Window->frameGeometry().width() > 500; }, 20000));
    Editor->document()->setModified(false);
    Window.reset();
    QFile ini(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("Width=500\n"));

    // A font so large that 40 characters take most of the screen.
    Window = std::make_unique<TMainScreen>(Dialogs);
    Window->show();
    Editor = Window->findChild<QPlainTextEdit*>("Editor");
    const double screenWidth = Window->screen()->availableGeometry().width();
    QFont large = Editor->font();
    large.setPointSizeF(large.pointSizeF() * screenWidth * 0.75 /
                        QFontMetricsF(large).horizontalAdvance(wide));
    Editor->setFont(large);
    // The panel, shown again from the settings, is shown anew beside it.
    Window->findChild<QAction*>("Messreihe1")->trigger();
    Window->findChild<QAction*>("Messreihe1")->trigger();
    const double largeColumns =
        QFontMetricsF(large).horizontalAdvance(wide) + 2 * Editor->document()->documentMargin();
    ASSERT_LT(largeColumns, screenWidth - 200);
    ASSERT_GT(largeColumns, screenWidth - 600);
    auto* scroll = Window->findChild<QScrollArea*>("SeriesScroll");
    EXPECT_TRUE(testing_support::WaitFor(
        [&] {
            scroll = Window->findChild<QScrollArea*>("SeriesScroll");
            return scroll != nullptr && scroll->isVisible() &&
                   Editor->viewport()->width() >= largeColumns &&
                   scroll->horizontalScrollBar()->isVisible();
        },
        20000))
        << Editor->viewport()->width() << " for " << largeColumns << ", editor " << Editor->width()
        << ", dock " << Window->findChild<QWidget*>("SeriesDock")->width() << " (least "
        << Window->findChild<QWidget*>("SeriesDock")->minimumSizeHint().width() << "), window "
        << Window->width();
    EXPECT_LE(Window->frameGeometry().width(), Window->screen()->availableGeometry().width());
}

// Help opens the manual of the window's language with the desktop's
// browser: here a stand-in xdg-open on PATH, which the desktop services
// find first, writes down what it was given.
TEST_F(ScreenTest, HelpOpensTheManualWithTheDesktopsBrowser) {
    QTemporaryDir bin;
    const QString opened = bin.filePath("opened");
    QFile opener(bin.filePath("xdg-open"));
    ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >\"$0.part\" && mv \"$0.part\" \"" +
                 QFile::encodeName(opened) + "\"\n");
    opener.close();
    opener.setPermissions(opener.permissions() | QFile::ExeOwner);
    const TScopedEnv path("PATH",
                          QFile::encodeName(bin.path() + ":" + qEnvironmentVariable("PATH")));
    const QStringList folders = HelpManualFolders(QFileInfo(BRISQUELL_PROGRAM).absolutePath());
    Window->SetHelpFolders(folders);
    Window->findChild<QAction*>("LanguageFrench")->trigger();
    Window->findChild<QAction*>("HelpAbout1")->trigger();
    QFile result(opened);
    ASSERT_TRUE(testing_support::WaitFor([&] { return result.exists(); }, 60000))
        << "the stand-in browser was not started";
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    const QString manual = FindHelpManual(folders, "fr");
    ASSERT_FALSE(manual.isEmpty());
    EXPECT_EQ(result.readAll().trimmed().toStdString(),
              QUrl::fromLocalFile(manual).toEncoded().toStdString());
}

// Readings typed into another program: a gauge on COM5 sends, an xterm
// with the focus writes what it is typed to a file. Nothing is typed while
// our window or a modal dialog of ours is up, the keyboard map is the same
// afterwards, and the item is off at the next start whatever the file says.
TEST(WedgeScreenTest, ReadingsAreTypedIntoTheFocusedProgramOnly) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server";
    const TScopedEnv session("XDG_SESSION_TYPE", nullptr);
    const TScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    const TPtyPort gauge{5};
    ASSERT_FALSE(gauge.Path.isEmpty());
    const TTestManager serial; // sees the gauge at its start
    const QString iniPath = testing_support::ConfigHome() + "/Brisquell/BSave.ini";
    QDir().mkpath(QFileInfo(iniPath).path());
    QFile ini(iniPath);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[Window]\nLeft=680\nTop=560\nHeight=400\nWidth=560\n"
              "[Config]\nDevice=3\nPort=5\nAutoConnect=1\n[Wedge]\nAfter=Enter\nWhat=Line\n");
    ini.close();
    const QByteArray mapBefore = TXtermTarget::KeyboardMap();
    ASSERT_FALSE(mapBefore.contains(" mu ")) << "the map has the micro sign: nothing to borrow";
    TXtermTarget target;
    ASSERT_EQ(target.Failure(), "");

    TFakeDialogs dialogs;
    auto window = std::make_unique<TMainScreen>(dialogs);
    window->SetDecimalSeparatorSource([] { return QString(","); });
    window->show();
    TWedgeView& view = window->WedgeView();
    QStringList heldBack;
    QObject::connect(&view.Wedge(), &wedge::TKeyboardWedge::HeldBack, window.get(),
                     [&](const QString& text) { heldBack << text; });
    QAction* item = window->findChild<QAction*>("TypeIntoWindow1");
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isChecked());
    window->activateWindow();
    ASSERT_TRUE(testing_support::WaitFor([&] { return !view.MayType(); }, 60000));
    item->trigger();
    ASSERT_TRUE(testing_support::WaitFor(
        [&] { return view.Wedge().State() == wedge::TWedgeState::On; }, 60000));

    // Our window has the focus: the reading stays in our document only.
    gauge.Send("  12.5 um\r\n");
    ASSERT_TRUE(testing_support::WaitFor([&] { return heldBack.contains("12,5 µm"); }, 60000));
    // The xterm has it: typed, µ included, and Enter.
    ASSERT_TRUE(target.Focus());
    ASSERT_TRUE(testing_support::WaitFor([&] { return view.MayType(); }, 60000));
    gauge.Send("  7.5 um\r\n");
    ASSERT_TRUE(testing_support::WaitFor([&] { return target.TypedSize() > 0; }, 60000));
    // A modal dialog of ours, the xterm given the focus again.
    {
        QDialog question(window.get());
        question.setModal(true);
        question.show();
        ASSERT_TRUE(testing_support::WaitFor(
            [&] { return QGuiApplication::focusWindow() == question.windowHandle(); }, 60000));
        ASSERT_TRUE(target.Focus());
        ASSERT_TRUE(testing_support::WaitFor(
            [&] { return QGuiApplication::focusWindow() == nullptr; }, 60000));
        EXPECT_FALSE(view.MayType());
        gauge.Send("  8.5 um\r\n");
        ASSERT_TRUE(testing_support::WaitFor([&] { return heldBack.contains("8,5 µm"); }, 60000));
    }
    // Closed, the xterm keeps the focus (our window lies away from the
    // pointer, which the window manager's focus follows).
    ASSERT_TRUE(target.Focus());
    ASSERT_TRUE(testing_support::WaitFor([&] { return view.MayType(); }, 60000));
    gauge.Send("+10.000 mm\r\n");
    const QByteArray expected = "7,5 µm\n+10,000 mm\n";
    EXPECT_TRUE(
        testing_support::WaitFor([&] { return target.TypedSize() >= expected.size(); }, 60000));
    EXPECT_EQ(target.Typed(), expected);
    // Held back or typed, every reading is in our document.
    const auto* editor = window->findChild<QPlainTextEdit*>("Editor");
    EXPECT_TRUE(
        testing_support::WaitFor([&] { return editor->toPlainText().count(" µm\n") == 3; }, 60000))
        << editor->toPlainText().toStdString();

    // The map is the user's again once the borrowed key has rested.
    QByteArray mapAfter;
    EXPECT_TRUE(testing_support::WaitFor(
        [&] { return (mapAfter = TXtermTarget::KeyboardMap()) == mapBefore; }, 60000));
    EXPECT_EQ(mapAfter, mapBefore);

    // A restart: the choices come back, the switch does not.
    window->findChild<QAction*>("AfterTab1")->trigger();
    window->findChild<QPlainTextEdit*>("Editor")->document()->setModified(false);
    window.reset();
    window = std::make_unique<TMainScreen>(dialogs);
    EXPECT_FALSE(window->findChild<QAction*>("TypeIntoWindow1")->isChecked());
    EXPECT_TRUE(window->findChild<QAction*>("AfterTab1")->isChecked());
    window->findChild<QPlainTextEdit*>("Editor")->document()->setModified(false);
    window.reset();
    EXPECT_TRUE(dialogs.Exceptions.isEmpty()) << dialogs.Exceptions.join('\n').toStdString();
}

// The program itself, started as a user starts it: nothing on its standard
// error, unless its diagnostics are asked for.
TEST(ProgramStartTest, PrintsNothingUnlessDiagnosticsAreAskedFor) {
    const TPtyPort gauge{5}; // a port, so that no box waits for an answer
    ASSERT_FALSE(gauge.Path.isEmpty());
    QTemporaryDir folder;
    const QStringList arguments{"--snapshot", folder.filePath("start"), "--snapshot-after", "1"};
    {
        TChildProcess program(BRISQUELL_PROGRAM, arguments);
        ASSERT_TRUE(program.Started());
        ASSERT_TRUE(program.WaitForExit(120000));
        EXPECT_EQ(program.Errors().toStdString(), "");
    }
    const TScopedEnv rules("QT_LOGGING_RULES", "brisquell.irda.debug=true");
    TChildProcess program(BRISQUELL_PROGRAM, arguments);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitForExit(120000));
    EXPECT_TRUE(program.Errors().contains("brisquell.irda: ")) << program.Errors().toStdString();
}

} // namespace
