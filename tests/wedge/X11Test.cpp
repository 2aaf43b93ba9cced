// The XTEST typer on a real X server with a window manager
// (run-under-window-manager.sh): readings typed into another program's
// window arrive there, characters the keyboard map lacks included, and
// the map is the same afterwards.
#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestEnvironment.h"
#include "tests/wedge/WedgeProbe.h"
#include "wedge/KeyboardWedge.h"
#include "wedge/Xlib.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace wedge;

namespace {

// What a program prints, through a file: the test's child processes keep
// only their standard error.
QByteArray Output(const QString& command) {
    QTemporaryDir folder;
    const QString file = folder.path() + "/out";
    TChildProcess shell("/bin/sh", {"-c", command + " >'" + file + "'"});
    if (!shell.WaitForExit(60000))
        return {};
    QFile out(file);
    return out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
}

QByteArray KeyboardMap() {
    return Output("xmodmap -pke");
}

// Gives the window named title the keyboard focus, as a click would.
bool Focus(const QString& title) {
    const QByteArray info = Output("xwininfo -name '" + title + "'");
    const auto match = QRegularExpression("Window id: (0x[0-9a-f]+)").match(QString(info));
    if (!match.hasMatch())
        return false;
    TXlib x;
    if (x.Load())
        return false;
    using SetFocus = int (*)(xlib::Display*, xlib::Window, int, unsigned long);
    const auto setFocus = reinterpret_cast<SetFocus>(x.Symbol("XSetInputFocus"));
    xlib::Display* display = x.XOpenDisplay(nullptr);
    if (display == nullptr || setFocus == nullptr)
        return false;
    constexpr int RevertToParent = 2;
    setFocus(display, match.captured(1).toULong(nullptr, 16), RevertToParent, 0);
    x.XSync(display, 0);
    x.XCloseDisplay(display);
    return true;
}

TEST(X11Test, ReadingsArriveInTheFocusedProgramAndTheKeyboardMapIsKept) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run-under-window-manager.sh)";
    const QString xterm = QStandardPaths::findExecutable("xterm");
    ASSERT_FALSE(xterm.isEmpty()) << "xterm is not installed";
    TScopedEnv session("XDG_SESSION_TYPE", nullptr);
    TScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    const QByteArray mapBefore = KeyboardMap();
    ASSERT_FALSE(mapBefore.isEmpty());
    ASSERT_FALSE(mapBefore.contains(" mu ")) << "the map has the micro sign: nothing to borrow";

    QTemporaryDir folder;
    const QString typed = folder.path() + "/typed";
    const QString title = "brisquell-typing-target";
    TChildProcess target(xterm, {"-title", title, "-geometry", "80x10+20+20", "-e", "/bin/sh", "-c",
                                 "exec cat >'" + typed + "'"});
    ASSERT_TRUE(testing_support::WaitFor([&] { return QFile::exists(typed); }, 60000))
        << target.Errors().toStdString();
    ASSERT_TRUE(Focus(title));

    std::atomic<bool> mayType = false;
    std::atomic<int> asked = 0;
    TKeyboardWedge wedge([&] {
        ++asked;
        return mayType.load();
    });
    TWedgeProbe probe(wedge);
    wedge.Start();
    ASSERT_TRUE(probe.WaitForState(TWedgeState::On))
        << (probe.Reports.isEmpty() ? "" : probe.Reports.back().Detail.toStdString());
    wedge.Submit("typed while the owner says no");
    ASSERT_TRUE(testing_support::WaitFor([&] { return asked == 1; }));
    mayType = true;
    wedge.Submit("  12,5 µm\r\n");
    wedge.Submit("IR K7X: +4.210 mm");
    const QByteArray expected = "12,5 µm\nIR K7X: +4.210 mm\n";
    QByteArray arrived;
    EXPECT_TRUE(testing_support::WaitFor(
        [&] {
            QFile file(typed);
            arrived = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            return arrived.size() >= expected.size();
        },
        60000));
    EXPECT_EQ(arrived, expected);
    EXPECT_EQ(probe.Typed, QStringList({"12,5 µm", "IR K7X: +4.210 mm"}));

    // The borrowed key is put back once no reading needs it, and for good
    // when typing ends.
    QByteArray mapAfter;
    EXPECT_TRUE(
        testing_support::WaitFor([&] { return (mapAfter = KeyboardMap()) == mapBefore; }, 60000));
    EXPECT_EQ(mapAfter, mapBefore);
    wedge.Submit("13 µm");
    ASSERT_TRUE(probe.WaitForTyped("13 µm"));
    wedge.Stop();
    EXPECT_TRUE(
        testing_support::WaitFor([&] { return (mapAfter = KeyboardMap()) == mapBefore; }, 60000));
    EXPECT_EQ(mapAfter, mapBefore);
    EXPECT_TRUE(probe.Reports.isEmpty());
    ::kill(target.Pid(), SIGTERM);
}

} // namespace
