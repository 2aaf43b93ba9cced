// Infrared gauges end to end: the gauge simulator connecting to the IrCOMM
// service socket of the real main window (offscreen), in this test program's
// own runtime folder.
#include "app/document/DocumentFile.h"
#include "app/window/TMainScreen.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/FakeFileDialogs.h"
#include "tests/app/WindowProbe.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/Pty.h"
#include "tests/support/ServicePeer.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <thread>

namespace {

using testing_support::WaitFor;

// The simulator in its infrared mode, as a user starts it; standard input
// carries the readings, standard error (verbose) what happens to it.
class TIrGauge {
public:
    TIrGauge() : FProcess(QStringLiteral(BRISQUELL_GAUGE), {"--infrared", "--verbose"}) {
        // Its own report, not the ready file: a refused gauge's file goes at once.
        Ready =
            FProcess.Started() &&
            WaitFor([&] { return FProcess.Errors().contains("connected to the IrCOMM"); }, 30000);
    }
    ~TIrGauge() { FProcess.Write("!quit\n"); }
    TIrGauge(const TIrGauge&) = delete;
    TIrGauge& operator=(const TIrGauge&) = delete;

    void Send(const QByteArray& reading) { FProcess.Write(reading + "\n"); }
    void Leave() { FProcess.Write("!unplug\n"); }
    // Waits until the program has closed the connection (replaced, refused,
    // or ended).
    bool SentAway() {
        return WaitFor(
            [&] { return FProcess.Errors().contains("the program closed the connection"); }, 30000);
    }

    bool Ready = false;

private:
    TChildProcess FProcess;
};

class InfraredTest : public TWindowTest {
protected:
    std::unique_ptr<TMainScreen> Open(TFakeDialogs& dialogs, const QByteArray& ini) {
        WriteSettingsFile(ini);
        auto window = std::make_unique<TMainScreen>(dialogs);
        window->show();
        return window;
    }
    void Start(const QByteArray& ini) {
        Module.emplace(testing_support::PortsFolder());
        Window = Open(Dialogs, ini);
    }
    QObject* Listener() const { return Find<QObject>("IrDAListener"); }
    bool PeerConnected() const { return Listener()->property("IrDAPeerConnected").toBool(); }
    int PeerSocket() const { return Listener()->property("PeerSocket").toInt(); }
    bool WaitForPanel(const QString& text) const {
        return WaitFor([&] { return Panel(0) == text; }, 30000);
    }
    bool WaitForText(const QString& text) const {
        return WaitFor([&] { return Text() == text; }, 30000);
    }
    static QString SocketPath() { return testing_support::RuntimeDir() + "/Brisquell/IrCOMM"; }
};

TEST_F(InfraredTest, AGaugeDeliversWithTheInfraredProfileUntilItIsReplacedOrLeaves) {
    Start("[Config]\nDevice=9\n");
    EXPECT_EQ(Dialogs.Messages, QStringList({"Keine Schnittstelle frei / vorhanden !!!"}))
        << "the listener's set-up is silent";
    EXPECT_EQ(Panel(0), "Warte...");
    EXPECT_EQ(Panel(1), "IrDA");
    EXPECT_EQ(Panel(2), "");

    auto first = std::make_unique<TIrGauge>();
    ASSERT_TRUE(first->Ready);
    ASSERT_TRUE(WaitForPanel("Verbunden..."));
    // As sent: no line assembly, no micro sign, no separator; a NUL is dropped.
    first->Send("  12.5 um");
    ASSERT_TRUE(WaitForText("  12.5 um\n")) << Text().toStdString();
    first->Send(QByteArray("1\0"
                           "2",
                           3));
    ASSERT_TRUE(WaitForText("  12.5 um\n12\n")) << Text().toStdString();
    const QByteArray longReading(230, '7');
    first->Send(longReading);
    ASSERT_TRUE(WaitForText("  12.5 um\n12\n" + QString::fromLatin1(longReading) + "\n"));

    // A second gauge replaces the first; the status never says "Warte...".
    TIrGauge second;
    ASSERT_TRUE(second.Ready);
    EXPECT_TRUE(first->SentAway());
    EXPECT_EQ(Panel(0), "Verbunden...");
    second.Send("+0.4861 in");
    ASSERT_TRUE(WaitFor([&] { return Text().endsWith("+0.4861 in\n"); }, 30000));

    second.Leave();
    ASSERT_TRUE(WaitForPanel("Warte..."));
    EXPECT_EQ(PeerSocket(), 0);
    EXPECT_FALSE(PeerConnected());

    // Shut-down closes the service.
    TIrGauge third;
    ASSERT_TRUE(third.Ready);
    ASSERT_TRUE(WaitForPanel("Verbunden..."));
    Window.reset();
    EXPECT_TRUE(third.SentAway());
    EXPECT_FALSE(QFile::exists(SocketPath()));
}

// A gauge that sends a megabyte without a line end, in the link's chunks of
// 101 bytes: the window goes on answering, the reading after it shows, and
// the file holds every byte as it came, with no line end the gauge did not
// send.
TEST_F(InfraredTest, ALineOfAMegabyteWithoutEndIsKeptWholeAndWhatFollowsShows) {
    Start("[Config]\nDevice=9\n");
    ASSERT_EQ(Panel(0), "Warte...");
    const TServicePeer gauge; // a bridge's raw bytes, no line protocol
    ASSERT_TRUE(gauge.Connected);
    ASSERT_TRUE(WaitForPanel("Verbunden..."));
    const QByteArray sent = QByteArray("0123456789").repeated(100'000) + "  12.5 um\r\n";
    std::thread writer([&] { gauge.Send(sent.constData(), static_cast<size_t>(sent.size())); });
    const QTextDocument* doc = Find<QPlainTextEdit>("Editor")->document();
    const bool shown =
        WaitFor([&] { return doc->lastBlock().previous().text().endsWith("  12.5 um"); }, 120000);
    writer.join();
    ASSERT_TRUE(shown);
    // Each insertion lays out one paragraph: none may grow with the line.
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        ASSERT_LE(block.length(), ParagraphLength + 2) << block.blockNumber();
    TFakeFileDialogs files;
    Window->SetFileDialogs(&files);
    const QTemporaryDir folder;
    files.Answers = {folder.filePath("ir.txt")};
    Action("act_file_saveas")->trigger();
    QFile saved(folder.filePath("ir.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), sent);
    Window.reset(); // before the dialogs it was given
}

// The listener runs whatever the profile; the infrared profile only decides
// whether its text is shown, and pausing it refuses new gauges.
TEST_F(InfraredTest, TheListenerRunsWhateverTheProfile) {
    TPty port; // a usable COM port: pausing acts only where there is one
    ASSERT_FALSE(port.Path.isEmpty());
    ASSERT_TRUE(QFile::link(port.Path, testing_support::PortsFolder() + "/COM3"));
    Start("[Config]\nDevice=9\nPort=3\nAutoConnect=0\n");
    EXPECT_EQ(Panel(0), "Getrennt");

    {
        TIrGauge early;
        ASSERT_TRUE(early.Ready);
        ASSERT_TRUE(WaitFor([&] { return PeerConnected(); }, 30000));
        EXPECT_EQ(Panel(0), "Getrennt") << "after the accept's refresh";
        early.Send("lost");
        // Its close comes after its data: once it is seen, the reading was handled.
        early.Leave();
        ASSERT_TRUE(WaitFor([&] { return !PeerConnected(); }, 30000));
    }
    Action("act_interface_conneced")->trigger();
    EXPECT_EQ(Panel(0), "Warte...");
    TIrGauge gauge;
    ASSERT_TRUE(gauge.Ready);
    ASSERT_TRUE(WaitForPanel("Verbunden..."));
    gauge.Send("shown");
    ASSERT_TRUE(WaitForText("shown\n"))
        << "the reading sent while disconnected is dropped, " << Text().toStdString();

    DeviceItem(8)->trigger(); // a serial profile on COM3
    ASSERT_EQ(Panel(1), "Com3");
    ASSERT_EQ(Panel(0), "Verbunden...");
    gauge.Send("via serial");
    ASSERT_TRUE(WaitForText("shown\nvia serial\n"));

    DeviceItem(9)->trigger();
    ASSERT_EQ(Panel(0), "Verbunden...");
    Window->ConnectHalt(true);
    {
        TIrGauge refused;
        ASSERT_TRUE(refused.Ready);
        EXPECT_TRUE(refused.SentAway()) << "paused: new gauges are refused";
    }
    EXPECT_TRUE(PeerConnected());
    gauge.Send("while paused");
    ASSERT_TRUE(WaitForText("shown\nvia serial\nwhile paused\n")) << "the gauge there stays";
    Window->ConnectHalt(false);
    TIrGauge welcome;
    ASSERT_TRUE(welcome.Ready);
    EXPECT_TRUE(gauge.SentAway()) << "resumed: a new gauge is taken and replaces the old";
    welcome.Send("resumed");
    ASSERT_TRUE(WaitFor([&] { return Text().endsWith("resumed\n"); }, 30000));

    Window.reset();
    QFile::remove(testing_support::PortsFolder() + "/COM3");
}

// A second program instance finds the service taken: its set-up fails
// silently, and neither it nor its end disturbs the first one's gauge.
TEST_F(InfraredTest, ASecondInstanceDoesNotTakeOverTheService) {
    Start("[Config]\nDevice=9\n");
    TIrGauge gauge;
    ASSERT_TRUE(gauge.Ready);
    ASSERT_TRUE(WaitForPanel("Verbunden..."));

    TFakeDialogs otherDialogs;
    auto other = Open(otherDialogs, "[Config]\nDevice=9\n");
    EXPECT_EQ(otherDialogs.Messages,
              QStringList({"Keine Schnittstelle frei / vorhanden !!!", "IrDA Error"}))
        << "only choosing the profile tells";
    EXPECT_EQ(other->findChild<QLabel*>("StatusPanel0")->text(), "Getrennt");
    gauge.Send("first");
    ASSERT_TRUE(WaitForText("first\n"));
    other.reset();

    EXPECT_TRUE(QFile::exists(SocketPath()));
    gauge.Send("still first");
    ASSERT_TRUE(WaitForText("first\nstill first\n"));
    TIrGauge next;
    ASSERT_TRUE(next.Ready) << "the service is still offered";
    EXPECT_TRUE(gauge.SentAway());
}

} // namespace
