// The portal's typer against a stand-in portal on a private session bus:
// the session it asks for once, the key events it sends, and how it turns
// off. The stand-in is not a desktop's portal: a compositor's own handling
// of keysyms is not tested here.
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestEnvironment.h"
#include "tests/wedge/StandInPortal.h"
#include "tests/wedge/WedgeProbe.h"
#include "wedge/KeyboardWedge.h"

#include <gtest/gtest.h>

using namespace wedge;
using TKey = TStandInPortal::TKey;

namespace {

// The key events of Latin-1 text (its keysyms are its code points), then
// of the key.
std::vector<TKey> KeysOf(const QString& text, qint32 key = 0xFF0D) {
    std::vector<TKey> keys;
    for (const QChar c : text)
        for (const uint state : {1u, 0u})
            keys.push_back({c.unicode(), state});
    if (key != 0)
        for (const uint state : {1u, 0u})
            keys.push_back({key, state});
    return keys;
}

std::vector<TKey> operator+(std::vector<TKey> a, const std::vector<TKey>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Typing off, and the portal told so. The stand-in answers on this thread:
// the queue's destructor, which waits for the typing thread, would leave a
// session still open to a time-out.
void StopAndWait(TKeyboardWedge& wedge, const TStandInPortal& portal, int closed) {
    wedge.Stop();
    EXPECT_TRUE(testing_support::WaitFor([&] { return portal.ClosedByClient.size() == closed; }));
}

class PortalTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Bus = new TPrivateBus; }
    static void TearDownTestSuite() {
        delete Bus;
        Bus = nullptr;
    }
    void SetUp() override {
        ASSERT_FALSE(Bus->Address().isEmpty()) << Bus->Errors().toStdString();
        Address.emplace("DBUS_SESSION_BUS_ADDRESS", Bus->Address().toUtf8().constData());
    }

    static TPrivateBus* Bus;
    std::optional<TScopedEnv> Address;
    // A Wayland session's programs see a display of XWayland too.
    TScopedEnv Display{"DISPLAY", ":79"};
};
TPrivateBus* PortalTest::Bus = nullptr;

TEST_F(PortalTest, TypesEachReadingThroughOneSessionTheUserAllowedOnce) {
    TScopedEnv session("XDG_SESSION_TYPE", "wayland");
    TScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    TStandInPortal portal(Bus->Address());
    ASSERT_TRUE(portal.Registered());
    TKeyboardWedge wedge([] { return true; });
    TWedgeProbe probe(wedge);
    wedge.Start();
    wedge.Submit("  12,5 µm\r\n"); // waits until the user has answered
    ASSERT_TRUE(probe.WaitForState(TWedgeState::On));
    ASSERT_TRUE(probe.WaitForTyped("12,5 µm"));
    wedge.SetOptions({TWedgeWhat::WholeLine, TWedgeKey::Tab, u','});
    wedge.Submit("IR K7X: +4.210 mm");
    wedge.SetOptions({TWedgeWhat::WholeLine, TWedgeKey::None, u','});
    wedge.Submit("USB K65: 0.1657 in");
    ASSERT_TRUE(probe.WaitForTyped("USB K65: 0.1657 in"));

    EXPECT_EQ(portal.Calls, QStringList({"CreateSession", "SelectDevices", "Start"}));
    EXPECT_EQ(portal.Options.value(1).value("types"), QVariant(1u)) << "the keyboard only";
    EXPECT_EQ(portal.Keys, KeysOf("12,5 µm") + KeysOf("IR K7X: +4.210 mm", 0xFF09) +
                               KeysOf("USB K65: 0.1657 in", 0));
    EXPECT_EQ(portal.Keys[10], (TKey{0xB5, 1})) << "the micro sign's own keysym";
    EXPECT_TRUE(probe.Reports.isEmpty());

    // Switched off, the session ends; switched on again, the user is asked again.
    const QString token = portal.Options.value(0).value("session_handle_token").toString();
    StopAndWait(wedge, portal, 1);
    EXPECT_TRUE(portal.ClosedByClient[0].endsWith("/" + token));
    wedge.Start();
    ASSERT_TRUE(probe.WaitForState(TWedgeState::On));
    EXPECT_EQ(portal.Calls.count("Start"), 2);
    StopAndWait(wedge, portal, 2);
}

TEST_F(PortalTest, ACharacterTheLayoutLacksIsNamedAndTheValueAloneAvoidsIt) {
    TScopedEnv session("XDG_SESSION_TYPE", nullptr);
    TScopedEnv wayland("WAYLAND_DISPLAY", "wayland-stand-in");
    TStandInPortal portal(Bus->Address());
    ASSERT_TRUE(portal.Registered());
    portal.Refused = {0xB5};
    TKeyboardWedge wedge([] { return true; });
    TWedgeProbe probe(wedge);
    wedge.Start();
    ASSERT_TRUE(probe.WaitForState(TWedgeState::On));
    // The first stops at the micro sign; the third is not begun at all.
    for (const char* line : {"12,5 µm", "7 mm", "13,0 µm"})
        wedge.Submit(line);
    wedge.SetOptions({TWedgeWhat::ValueOnly, TWedgeKey::Enter, u','});
    wedge.Submit("13,0 µm");
    ASSERT_TRUE(probe.WaitForTyped("13,0"));

    const TWedgeReport untypable{TWedgeReason::UntypableCharacter, "µ"};
    EXPECT_EQ(probe.Reports, QList<TWedgeReport>({untypable, untypable}));
    EXPECT_EQ(probe.Typed, QStringList({"7 mm", "13,0"}));
    EXPECT_EQ(portal.Keys, KeysOf("12,5 ", 0) + KeysOf("7 mm") + KeysOf("13,0"));
    EXPECT_EQ(wedge.State(), TWedgeState::On);
    StopAndWait(wedge, portal, 1);
}

TEST_F(PortalTest, TypingTurnsOffWithTheReasonWhenThePortalCannotOrWillNot) {
    TScopedEnv session("XDG_SESSION_TYPE", "wayland");
    struct TCase {
        const char* Name;
        bool Portal;
        bool Declines;
        bool DesktopCloses;
        bool NoBus;
        TWedgeReason Reason;
    };
    const TCase cases[] = {
        {"the user declines", true, true, false, false, TWedgeReason::PermissionDenied},
        {"no portal on the bus", false, false, false, false, TWedgeReason::Unavailable},
        {"the desktop ends the session", true, false, true, false, TWedgeReason::SessionEnded},
        {"no session bus", true, false, false, true, TWedgeReason::Unavailable},
    };
    for (const TCase& row : cases) {
        SCOPED_TRACE(row.Name);
        std::optional<TStandInPortal> portal;
        if (row.Portal) {
            portal.emplace(Bus->Address());
            ASSERT_TRUE(portal->Registered());
            portal->StartResponse = row.Declines ? 1 : 0;
        }
        std::optional<TScopedEnv> noBus;
        if (row.NoBus)
            noBus.emplace("DBUS_SESSION_BUS_ADDRESS", nullptr);
        TKeyboardWedge wedge([] { return true; });
        TWedgeProbe probe(wedge);
        wedge.Start();
        wedge.Submit("1 mm");
        if (row.DesktopCloses) {
            ASSERT_TRUE(probe.WaitForState(TWedgeState::On));
            ASSERT_TRUE(probe.WaitForTyped("1 mm"));
            portal->CloseSession();
        }
        ASSERT_TRUE(probe.WaitForState(TWedgeState::Off));
        ASSERT_FALSE(probe.Reports.isEmpty());
        EXPECT_EQ(probe.Reports.back().Reason, row.Reason)
            << probe.Reports.back().Detail.toStdString();
        EXPECT_FALSE(probe.States.contains(TWedgeState::On) && !row.DesktopCloses);
        if (portal) {
            EXPECT_EQ(portal->Keys.size(), row.DesktopCloses ? KeysOf("1 mm").size() : 0u);
        }
    }
}

} // namespace
