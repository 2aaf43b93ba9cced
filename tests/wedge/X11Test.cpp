// The XTEST typer on a real X server with a window manager
// (run-under-window-manager.sh): readings typed into another program's
// window arrive there, characters the keyboard map lacks included, and
// the map is the same afterwards.
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestEnvironment.h"
#include "tests/wedge/WedgeProbe.h"
#include "tests/wedge/XtermTarget.h"
#include "wedge/KeyboardWedge.h"
#include "wedge/X11Typer.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

using namespace wedge;

namespace {

TEST(X11Test, ReadingsArriveInTheFocusedProgramAndTheKeyboardMapIsKept) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X server (run-under-window-manager.sh)";
    TScopedEnv session("XDG_SESSION_TYPE", nullptr);
    TScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    const QByteArray mapBefore = TXtermTarget::KeyboardMap();
    ASSERT_FALSE(mapBefore.isEmpty());
    ASSERT_FALSE(mapBefore.contains(" mu ")) << "the map has the micro sign: nothing to borrow";
    TXtermTarget target;
    ASSERT_EQ(target.Failure(), "");

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
    QByteArray expected = "12,5 µm\nIR K7X: +4.210 mm\n";
    // More characters the map lacks than it has free key codes: the ones
    // lent longest ago are lent again, and no reading is lost.
    const int freeCodes = static_cast<int>(
        std::count_if(mapBefore.begin(), mapBefore.end(), [](char c) { return c == '\n'; }) -
        QString(mapBefore).count(QRegularExpression("= *[a-zA-Z0-9]")));
    ASSERT_GT(freeCodes, 0);
    for (int i = 0; i <= freeCodes; ++i) {
        const QString reading = "Nr " + QString(QChar(0x4E00 + i));
        wedge.Submit(reading);
        expected += reading.toUtf8() + '\n';
    }
    QByteArray arrived;
    EXPECT_TRUE(testing_support::WaitFor(
        [&] {
            arrived = target.Typed();
            return arrived.size() >= expected.size();
        },
        60000));
    EXPECT_EQ(arrived, expected);
    EXPECT_EQ(probe.Typed.mid(0, 2), QStringList({"12,5 µm", "IR K7X: +4.210 mm"}));

    // The borrowed key is put back once no reading has needed it for a
    // while...
    QByteArray mapAfter;
    const auto mapKept = [&] { return (mapAfter = TXtermTarget::KeyboardMap()) == mapBefore; };
    EXPECT_TRUE(testing_support::WaitFor(mapKept, 60000));
    EXPECT_EQ(mapAfter, mapBefore);
    EXPECT_TRUE(probe.Reports.isEmpty());
    wedge.Stop();

    // ... and when typing ends, however long it would keep it.
    TKeyboardWedge keeping([] { return true; },
                           [] { return std::make_unique<TX11Typer>(3600000); });
    TWedgeProbe keepingProbe(keeping);
    keeping.Start();
    keeping.Submit("13 µm");
    ASSERT_TRUE(
        testing_support::WaitFor([&] { return target.Typed().endsWith("13 µm\n"); }, 60000));
    EXPECT_TRUE(TXtermTarget::KeyboardMap().contains(" mu mu")) << "no key was borrowed";
    keeping.Stop();
    EXPECT_TRUE(testing_support::WaitFor(mapKept, 60000));
    EXPECT_EQ(mapAfter, mapBefore);
}

} // namespace
