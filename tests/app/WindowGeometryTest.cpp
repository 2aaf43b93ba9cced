// The main window's saved outer rectangle under a real window manager, whose
// frame arrives only after the window is mapped. Run by
// run-under-window-manager.sh, which provides the X server and the manager.
#include "app/window/TMainScreen.h"
#include "tests/app/FakeDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSettings>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Rectangles read in failure messages as the settings file holds them.
void PrintTo(const QRect& rect, std::ostream* out) {
    *out << rect.width() << "x" << rect.height() << " at " << rect.x() << "," << rect.y();
}

namespace {

QString IniFile() {
    return testing_support::ConfigHome() + "/Brisquell/BSave.ini";
}

void WriteIni(const QRect& outer) {
    QDir().mkpath(QFileInfo(IniFile()).absolutePath());
    QFile file(IniFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QStringLiteral("[Window]\nLeft=%1\nTop=%2\nHeight=%3\nWidth=%4\n")
                   .arg(outer.x())
                   .arg(outer.y())
                   .arg(outer.height())
                   .arg(outer.width())
                   .toLatin1());
}

QRect SavedOuter() {
    QSettings ini(IniFile(), QSettings::IniFormat);
    return {ini.value("Window/Left").toInt(), ini.value("Window/Top").toInt(),
            ini.value("Window/Width").toInt(), ini.value("Window/Height").toInt()};
}

QMargins Frame(const QWidget& window) {
    return window.windowHandle() != nullptr ? window.windowHandle()->frameMargins() : QMargins();
}

// One program run: show the window, let the window manager frame it, close
// it as the user does; returns the outer rectangle seen while it was shown.
QRect RunOnce(const QRect& expected) {
    TFakeDialogs dialogs;
    auto window = std::make_unique<TMainScreen>(dialogs);
    window->show();
    testing_support::WaitFor(
        [&] { return !Frame(*window).isNull() && window->frameGeometry() == expected; }, 60000);
    const QRect shown = window->frameGeometry();
    EXPECT_FALSE(Frame(*window).isNull()) << "the window manager framed no window";
    window->close();
    // The manager takes its frame back once the window is withdrawn; the
    // rectangle written at exit is still the framed one.
    EXPECT_TRUE(testing_support::WaitFor([&] { return Frame(*window).isNull(); }, 60000));
    window.reset();
    EXPECT_TRUE(dialogs.Exceptions.isEmpty()) << dialogs.Exceptions.join('\n').toStdString();
    return shown;
}

TEST(WindowGeometryTest, SavedOuterRectangleHoldsAcrossRunsUnderAWindowManager) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server with a window manager";
    QCoreApplication::setApplicationName("Brisquell");
    struct Case {
        QRect Saved;
        QRect Outer; // the window's outer rectangle, on screen and saved
    };
    const Case cases[] = {
        {{100, 100, 500, 450}, {100, 100, 500, 450}},
        {{60, 80, 300, 100}, {60, 80, 430, 220}}, // the minimum is an outer size
        // Off the 1280 by 1024 screen: onto it, and only that is kept.
        {{-100000, -100000, 500, 450}, {0, 0, 500, 450}},
        {{5000, 300, 500, 450}, {780, 300, 500, 450}},
    };
    for (const Case& c : cases) {
        WriteIni(c.Saved);
        for (int run = 1; run <= 3; ++run) {
            SCOPED_TRACE(testing::Message() << "saved " << c.Saved.width() << "x"
                                            << c.Saved.height() << ", run " << run);
            const QRect shown = RunOnce(c.Outer);
            EXPECT_EQ(shown, c.Outer);
            EXPECT_EQ(SavedOuter(), c.Outer);
            if (HasFailure())
                break; // each further run would only wait out its time-outs
        }
    }
}

} // namespace
