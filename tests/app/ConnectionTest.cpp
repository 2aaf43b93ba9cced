// The prompt cycle, the status state it shows, and the connection control,
// without a window: ticks are calls, links are fakes.
#include "app/capture/ConnectFailure.h"
#include "app/capture/ConnectionControl.h"
#include "app/window/ConnectionStatus.h"
#include "app/capture/Links.h"
#include "app/capture/PromptCycle.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

class TCountingSink : public TPromptCycleSink {
public:
    void SendPromptRequest() override { ++Requests; }
    void PromptStateChanged() override { ++Changes; }
    int Requests = 0;
    int Changes = 0;
};

class TFakeLink : public TLink {
public:
    bool Connect() override { return Open = Opens; }
    void Disconnect() override { Open = false; }
    void Pause() override { Open = false; }
    bool Resume() override { return Open = Opens; }
    bool Opens = true; // the device is there
    bool Open = false;
};

class PromptCycleTest : public ::testing::Test {
protected:
    QString Shown() const {
        const TConnectionStatus status = ConnectionStatus({.Connected = true,
                                                           .PromptCount = Cycle.PromptCount(),
                                                           .Searching = Cycle.Searching()});
        return QString::fromUtf8(status.Text.data(), static_cast<qsizetype>(status.Text.size()));
    }
    QTimer Timer;
    TCountingSink Sink;
    TPromptCycle Cycle{Timer, Sink};
};

TEST_F(PromptCycleTest, ASilentInstrumentIsSearchedForWithABlinkingText) {
    Timer.setInterval(500);
    Cycle.Start();
    EXPECT_TRUE(Timer.isActive());
    EXPECT_EQ(Timer.interval(), 500) << "connect keeps the interval it finds";
    // Each tick sends a request; from the second unanswered one the text blinks.
    const char* expected[] = {"Verbunden...", "Suche Gerät...", "", "Suche Gerät...", ""};
    for (int tick = 0; tick < 5; ++tick) {
        Cycle.Tick(true);
        EXPECT_EQ(Shown(), QString::fromUtf8(expected[tick])) << "tick " << tick;
    }
    EXPECT_EQ(Sink.Requests, 5);
    EXPECT_EQ(Timer.interval(), 500);
    Cycle.Restart(); // a byte arrived
    EXPECT_EQ(Shown(), "Verbunden...");
    EXPECT_EQ(Timer.interval(), 1000);
    EXPECT_TRUE(Timer.isActive());
    const int changes = Sink.Changes;
    Cycle.Restart();
    EXPECT_EQ(Sink.Changes, changes) << "quiet data changes nothing on screen";
    Cycle.Tick(false);
    EXPECT_EQ(Sink.Requests, 5) << "no request while disconnected";
    Cycle.Tick(true);
    Cycle.Tick(true);
    Cycle.Stop();
    EXPECT_FALSE(Timer.isActive());
    EXPECT_EQ(Shown(), "Verbunden...");
}

TEST(ConnectionStatus, FirstRowThatAppliesWins) {
    using L = TLinkKind;
    struct Row {
        TConnectionFacts Facts;
        const char* Text;
        int Icon;
    };
    const Row rows[] = {
        {{.Connected = false, .Link = L::Infrared, .PeerConnected = true}, "Getrennt", 0},
        {{.Connected = true, .Link = L::Infrared, .PeerConnected = true}, "Verbunden...", 1},
        {{.Connected = true, .Link = L::Infrared, .PromptCount = 2}, "Warte...", 2},
        {{.Connected = true, .PromptCount = 2, .Searching = true}, "Suche Gerät...", 2},
        {{.Connected = true, .Link = L::Usb, .PromptCount = 1}, "Verbunden...", 1},
        {{.Connected = true, .PromptCount = 1, .Searching = true}, "", 2},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ConnectionStatus(row.Facts), (TConnectionStatus{row.Text, row.Icon})) << row.Text;
}

class ConnectionControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        Control.SetLink(TLinkKind::Serial, &Serial);
        Timer.setInterval(500);
    }
    QTimer Timer;
    TCountingSink Sink;
    TPromptCycle Cycle{Timer, Sink};
    TConnectionControl Control{Cycle};
    TFakeLink Serial;
};

TEST_F(ConnectionControlTest, ThePromptCycleRunsOnlyForAConnectedPromptUsingProfile) {
    for (const TProfile& profile : Profiles()) {
        SCOPED_TRACE(profile.Tag);
        const bool serial = profile.Link == TLinkKind::Serial;
        EXPECT_EQ(Control.Connect(profile), serial) << "a link without a handler stays off";
        EXPECT_EQ(Timer.isActive(), serial && profile.PromptCycle);
        EXPECT_EQ(Serial.Open, serial);
        Control.Disconnect(profile);
        EXPECT_FALSE(Control.Connected());
        EXPECT_FALSE(Timer.isActive());
        EXPECT_FALSE(Serial.Open);
    }
    Serial.Opens = false;
    EXPECT_FALSE(Control.Connect(ProfileFor(3)));
    EXPECT_FALSE(Timer.isActive());
}

TEST_F(ConnectionControlTest, PauseAndResumeAroundModalWork) {
    const TProfile& prompting = ProfileFor(3);
    const TProfile& quiet = ProfileFor(8);
    EXPECT_TRUE(Control.Halt(true, prompting, true)) << "nothing to pause while disconnected";
    ASSERT_TRUE(Control.Connect(prompting));
    EXPECT_TRUE(Control.Halt(true, prompting, false));
    EXPECT_TRUE(Serial.Open) << "never paused without a usable COM port";
    EXPECT_TRUE(Control.Halt(true, prompting, true));
    EXPECT_FALSE(Serial.Open);
    EXPECT_FALSE(Timer.isActive());
    EXPECT_TRUE(Control.Halt(false, prompting, true));
    EXPECT_TRUE(Serial.Open);
    EXPECT_TRUE(Timer.isActive());
    EXPECT_TRUE(Control.Connected());

    Control.Disconnect(prompting);
    ASSERT_TRUE(Control.Connect(quiet));
    Control.Halt(true, quiet, true);
    EXPECT_TRUE(Control.Halt(false, quiet, true));
    EXPECT_FALSE(Timer.isActive()) << "a profile without a cycle is not made to search";

    Control.Halt(true, quiet, true);
    Serial.Opens = false; // the port vanished meanwhile
    EXPECT_FALSE(Control.Halt(false, quiet, true));
}

// Why a connect failed, as panel 0's tooltip says it: the device missing,
// held, or refused, with the group to join and the command that does it.
TEST(ConnectFailureTest, ReasonsInPlainWords) {
    const TDeviceAccess access{"uucp", "ilse"};
    const auto text = [&](int error) {
        return ConnectFailureText(error, "COM3", "/dev/ttyUSB0", access).toStdString();
    };
    EXPECT_EQ(text(ENOENT), "COM3: kein solches Gerät (/dev/ttyUSB0).");
    EXPECT_EQ(text(EBUSY), "COM3 wird von einem anderen Programm benutzt (/dev/ttyUSB0).");
    EXPECT_EQ(text(EACCES), "COM3: keine Berechtigung für /dev/ttyUSB0. Das Gerät gehört der "
                            "Gruppe uucp; aufnehmen mit: sudo usermod -a -G uucp ilse (danach "
                            "neu anmelden).");
    EXPECT_NE(text(EIO).find("COM3: Verbindung fehlgeschlagen ("), std::string::npos);
    // The group of a real device file is found.
    EXPECT_EQ(DeviceAccess("/dev/null").Group, "root");
}

} // namespace
