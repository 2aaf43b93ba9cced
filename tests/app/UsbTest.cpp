// The USB converter profile in the real window, against the simulated
// converter library found through LD_LIBRARY_PATH.
#include "app/window/TMainScreen.h"
#include "platform/TThread.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/WindowProbe.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/Pty.h"
#include "tests/support/TestEnvironment.h"
#include "tests/usb/SimLibrary.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

using testing_support::WaitFor;

namespace {

// What a USB connect asks of the converter, in this order.
const std::string kConnectCalls = "FT_OpenEx(Velmarod K65,2)\n"
                                  "FT_SetLatencyTimer(10)\n"
                                  "FT_SetUSBParameters(32,32)\n"
                                  "FT_SetBaudRate(1200)\n"
                                  "FT_SetDataCharacteristics(8,0,0)\n"
                                  "FT_SetFlowControl(0,17,19)\n"
                                  "FT_SetTimeouts(50,50)\n"
                                  "FT_SetEventNotification(1)\n";
const std::string kDisconnectCalls = "FT_SetEventNotification(0)\nFT_Close\n";

class UsbTest : public TWindowTest {
protected:
    void SetUp() override {
        TWindowTest::SetUp();
        ASSERT_TRUE(Sim.Loaded());
    }
    void Start(const QByteArray& ini, const std::string& library = TD2xxUnit::LibraryName) {
        Stop();
        Module.emplace(testing_support::PortsFolder());
        WriteSettingsFile(ini);
        Window = std::make_unique<TMainScreen>(Dialogs, library);
        Window->show();
    }
    // The messages shown, without the port scan's on a machine without ports.
    QStringList Boxes() const {
        QStringList boxes = Dialogs.Messages;
        boxes.removeAll("Keine Schnittstelle frei / vorhanden !!!");
        return boxes;
    }
    bool JournalIs(const std::string& expected) {
        return WaitFor([&] { return Sim.Journal() == expected; });
    }

    TSimLibrary Sim;
};

TEST_F(UsbTest, ProfileTwoConfiguresTheConverterAndInsertsWhatArrives) {
    Sim.FailNext("FT_SetBaudRate", 4); // a refused setting is not checked
    Start("[Config]\nDevice=2\n");
    ASSERT_TRUE(JournalIs(kConnectCalls)) << Sim.Journal();
    EXPECT_EQ(Panel(0), "Verbunden...");
    EXPECT_EQ(Panel(1), "USB");
    EXPECT_TRUE(Action("USB1")->isChecked());
    EXPECT_TRUE(Boxes().isEmpty()) << "reports are off from the first connect";

    // Chunks go in unchanged: no line assembly, no micro sign, no separator.
    Sim.Feed("  12.5 um\r\n");
    ASSERT_TRUE(WaitFor([&] { return Text() == "  12.5 um\n"; })) << Text().toStdString();
    const QByteArray chunk = QByteArray("0123456789").repeated(7).left(63) + "\r\n";
    Sim.Feed(chunk);
    ASSERT_TRUE(WaitFor([&] { return Text().size() == 10 + 64; }));
    EXPECT_TRUE(Text().endsWith(QString::fromLatin1(chunk.left(63)) + "\n"));
    Sim.Feed(QByteArray("7\0008 mm\r\n", 8));
    ASSERT_TRUE(WaitFor([&] { return Text().endsWith("78 mm\n"); })) << "only the NUL is dropped";
    EXPECT_FALSE(Find<QTimer>("PromptTime")->isActive());

    Action("act_interface_disconneced")->trigger();
    EXPECT_EQ(Sim.Journal(), kConnectCalls + kDisconnectCalls);
    EXPECT_EQ(Panel(0), "Getrennt");
    Action("act_interface_conneced")->trigger();
    ASSERT_TRUE(JournalIs(kConnectCalls + kDisconnectCalls + kConnectCalls));
    Window.reset(); // the end disconnects and closes
    EXPECT_EQ(Sim.Journal(), kConnectCalls + kDisconnectCalls + kConnectCalls + kDisconnectCalls);
}

TEST_F(UsbTest, WithoutAConverterConnectStaysDisconnectedWithoutABox) {
    Sim.Unplug();
    Start("[Config]\nDevice=2\n");
    EXPECT_EQ(Panel(0), "Getrennt");
    EXPECT_TRUE(Action("act_interface_conneced")->isEnabled());
    EXPECT_TRUE(Boxes().isEmpty()) << Boxes().join('|').toStdString();
    EXPECT_EQ(Sim.Journal(), "FT_OpenEx(Velmarod K65,2)\n");
    Sim.Plug();
    Action("act_interface_conneced")->trigger();
    EXPECT_EQ(Panel(0), "Verbunden...");
}

TEST_F(UsbTest, WithoutTheLibraryProfileTwoSaysUsbError) {
    Start("[Config]\nDevice=2\n", "libftd2xx-absent.so");
    EXPECT_EQ(Boxes(), QStringList("USB Error"));
    EXPECT_FALSE(Action("USB1")->isChecked());
    EXPECT_EQ(Panel(0), "Getrennt");
    EXPECT_TRUE(Sim.Journal().empty());

    // A library that lacks names is not ready either, but what it has works.
    Dialogs.Messages.clear();
    Start("[Config]\nDevice=2\n", "libftd2xx_reduced.so");
    EXPECT_EQ(Boxes(), QStringList("USB Error"));
}

// Pausing a USB link only stops the prompt timer, and resuming leaves it
// off; both act only on a computer with a usable COM port.
TEST_F(UsbTest, PauseAndResumeKeepTheConverterOpen) {
    TPty port;
    ASSERT_FALSE(port.Path.isEmpty());
    ASSERT_TRUE(QFile::link(port.Path, testing_support::PortsFolder() + "/COM9"));
    Start("[Config]\nDevice=2\nPort=9\n");
    ASSERT_TRUE(JournalIs(kConnectCalls));
    auto* promptTime = Find<QTimer>("PromptTime");
    promptTime->start();
    Window->ConnectHalt(true);
    EXPECT_FALSE(promptTime->isActive());
    Window->ConnectHalt(false);
    EXPECT_FALSE(promptTime->isActive()) << "profile 2 has no prompt cycle to take up";
    EXPECT_EQ(Panel(0), "Verbunden...");
    Sim.Feed("1.5 mm\r\n");
    ASSERT_TRUE(WaitFor([&] { return Text() == "1.5 mm\n"; }));
    EXPECT_EQ(Sim.Journal(), kConnectCalls) << "the converter stayed open";
    Stop();
    QFile::remove(testing_support::PortsFolder() + "/COM9");

    Sim.Reset();
    Start("[Config]\nDevice=2\n"); // no usable COM port
    ASSERT_TRUE(JournalIs(kConnectCalls));
    promptTime = Find<QTimer>("PromptTime");
    promptTime->start();
    Window->ConnectHalt(true);
    EXPECT_TRUE(promptTime->isActive()) << "nothing is paused without a COM port";
}

// A library that leaves a handle behind a failed open: the link stays
// disconnected with the handle closed and no receive thread, and the
// converter is free for the next connect. At the end the library sees its
// last call before it is unloaded: a thread left running would have its close
// go nowhere.
TEST_F(UsbTest, AFailedOpenThatLeavesAHandleClosesItAndStartsNoThread) {
    const std::string failedOpen = "FT_OpenEx(Velmarod K65,2)\nFT_Close\n";
    for (const bool connectAgain : {false, true}) {
        SCOPED_TRACE(connectAgain ? "then connected" : "then ended");
        Stop();
        Sim.Reset();
        Sim.FailNextOpenLeavingHandle(4);
        Start("[Config]\nDevice=2\n");
        EXPECT_EQ(Panel(0), "Getrennt");
        EXPECT_TRUE(Boxes().isEmpty());
        EXPECT_EQ(Sim.Journal(), failedOpen) << "neither configured nor read";
        EXPECT_EQ(Sim.Feed("1.5\r\n"), 0u) << "the converter was closed";
        std::string expected = failedOpen;
        if (connectAgain) {
            Action("act_interface_conneced")->trigger();
            EXPECT_EQ(Panel(0), "Verbunden...");
            expected += kConnectCalls + kDisconnectCalls;
            ASSERT_TRUE(JournalIs(failedOpen + kConnectCalls)) << Sim.Journal();
            Sim.Feed("2.5\r\n");
            ASSERT_TRUE(WaitFor([&] { return Text() == "2.5\n"; })) << Text().toStdString();
        }
        Stop();
        const std::string journal = Sim.Journal();
        EXPECT_TRUE(journal.ends_with("FT_Close\n")) << journal;
        EXPECT_EQ(journal, expected);
    }
}

// A converter pulled out and connected again before the notice of its loss
// came through: the notice belongs to the earlier connection and leaves the
// new one alone.
TEST_F(UsbTest, ANoticeOfALostConverterNeverEndsALaterConnection) {
    Start("[Config]\nDevice=2\nAutoReconnect=0\n");
    ASSERT_TRUE(JournalIs(kConnectCalls)) << Sim.Journal();
    Sim.Unplug();
    // The receive thread hands its notice over; the window's events, among
    // them the notice it queued, wait.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool handedOver = false;
    while (!(handedOver = platform::CheckSynchronize()) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(handedOver);
    EXPECT_EQ(Panel(0), "Verbunden...");

    Sim.Plug();
    Action("act_interface_disconneced")->trigger();
    Action("act_interface_conneced")->trigger();
    ASSERT_EQ(Panel(0), "Verbunden...");
    QCoreApplication::sendPostedEvents(); // the notice of the earlier connection
    QCoreApplication::processEvents();
    EXPECT_EQ(Panel(0), "Verbunden...");
    Sim.Feed("3.5\r\n");
    EXPECT_TRUE(WaitFor([&] { return Text() == "3.5\n"; })) << Text().toStdString();
    EXPECT_EQ(Sim.Journal(), kConnectCalls + kDisconnectCalls + kConnectCalls);
}

// The gauge simulator drives the simulated converter through its channel.
TEST_F(UsbTest, ReadingsFromTheGaugeSimulatorArrive) {
    Start("[Config]\nDevice=2\n");
    ASSERT_TRUE(JournalIs(kConnectCalls));
    TChildProcess gauge(QStringLiteral(BRISQUELL_GAUGE), {"--usb", "--verbose"});
    ASSERT_TRUE(gauge.Started());
    gauge.Write("+12.345 mm\n-0.012 mm\n");
    ASSERT_TRUE(WaitFor([&] { return Text() == "+12.345 mm\n-0.012 mm\n"; }, 30000))
        << Text().toStdString() << gauge.Errors().toStdString();
    gauge.Write("!quit\n");
    EXPECT_TRUE(gauge.WaitForExit(30000));
}

// A converter pulled out while connected: "Getrennt", and once it is back it
// is opened again by itself, with nothing but looks at the library's device
// list in between. Switched off, nothing looks for it.
TEST_F(UsbTest, APulledConverterIsConnectedAgainWhenItReturns) {
    for (const bool enabled : {true, false}) {
        SCOPED_TRACE(enabled ? "AutoReconnect=1" : "AutoReconnect=0");
        Stop();
        Sim.Reset();
        Start(enabled ? "[Config]\nDevice=2\n" : "[Config]\nDevice=2\nAutoReconnect=0\n");
        ASSERT_TRUE(JournalIs(kConnectCalls)) << Sim.Journal();
        // Pulled out in the middle of a line: that line ends there, and the
        // next reading, perhaps of another gauge, begins one of its own in
        // the document and in the series, where the fragment is no reading.
        Sim.Feed("0.5 mm\r\n1.2");
        ASSERT_TRUE(WaitFor([&] { return Text() == "0.5 mm\n1.2"; })) << Text().toStdString();
        Sim.Unplug();
        ASSERT_TRUE(WaitFor([&] { return Panel(0) == "Getrennt"; }));
        EXPECT_EQ(Text(), "0.5 mm\n1.2\n");
        auto* timer = Find<QTimer>("ReconnectTime");
        EXPECT_EQ(timer->isActive(), enabled);
        if (enabled) { // looked for in vain once at least
            ASSERT_TRUE(
                WaitFor([&] { return Sim.Journal().find("FT_ListDevices") != std::string::npos; }));
        }
        Sim.Plug();
        if (!enabled) {
            EXPECT_EQ(Sim.Journal(), kConnectCalls + kDisconnectCalls);
            continue;
        }
        ASSERT_TRUE(WaitFor([&] { return Panel(0) == "Verbunden..."; }, 20000));
        Sim.Feed("1.5\r\n");
        ASSERT_TRUE(WaitFor([&] { return Text() == "0.5 mm\n1.2\n1.5\n"; }))
            << Text().toStdString();
        ASSERT_EQ(Window->Series().Size(), 2);
        EXPECT_EQ(Window->Series().Text(1), "1.5");
        EXPECT_TRUE(Boxes().isEmpty());
        EXPECT_TRUE(
            Find<QLabel>("StatusPanel0")->toolTip().contains("Verbindung wiederhergestellt"));
        std::string journal = Sim.Journal();
        for (size_t at; (at = journal.find("FT_ListDevices(2147483648)\n")) != std::string::npos;)
            journal.erase(at, std::string("FT_ListDevices(2147483648)\n").size());
        EXPECT_EQ(journal, kConnectCalls + kDisconnectCalls + kConnectCalls);
    }
}

} // namespace
