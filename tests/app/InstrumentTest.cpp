// Instruments end to end: the gauge simulator on a pseudo-terminal, the
// real main window offscreen, the port manager over the test's own ports
// folder (no real port of the machine is ever seen).
#include "app/document/DocumentFile.h"
#include "app/window/TMainScreen.h"
#include "serial/PortsFolder.h"
#include "serial/TCOMManager.h"
#include "serial/TSerial.h"
#include "serial_dialog/TSerialDialog.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/FakeFileDialogs.h"
#include "tests/app/FakeSerialDialog.h"
#include "tests/app/GaugeProcess.h"
#include "tests/app/WindowProbe.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/Pty.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QThreadPool>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

// termios2 comes from the kernel's headers, which clash with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace {

class InstrumentTest : public TWindowTest {
protected:
    // A program start: the serial module finds the ports there are now.
    void Start(const QByteArray& ini) {
        Stop();
        Module.emplace(testing_support::PortsFolder());
        WriteSettingsFile(ini);
        Window = std::make_unique<TMainScreen>(Dialogs);
        Window->SetDecimalSeparatorSource([] { return QString(","); });
        Window->show();
    }
    QStringList ComItems() const {
        QStringList names;
        for (const QAction* item : Find<QMenu>("Schnittstelle1")->actions())
            if (item->objectName().startsWith("COM"))
                names << item->objectName();
        return names;
    }
    bool WaitForPanel(const QString& text, int timeoutMs = 20000) const {
        return testing_support::WaitFor([&] { return Panel(0) == text; }, timeoutMs);
    }
    void TearDown() override {
        TWindowTest::TearDown();
        for (const QString& entry : FPlugged)
            QFile::remove(entry);
    }
    // A gauge of the test's own on a pseudo-terminal, plugged in as COMn
    // until the test ends: it sends raw bytes, with no line protocol.
    std::unique_ptr<TPty> PlugPty(int port) {
        auto pty = std::make_unique<TPty>();
        const QString entry = testing_support::PortsFolder() + "/COM" + QString::number(port);
        QFile::remove(entry);
        EXPECT_TRUE(QFile::link(pty->Path, entry));
        FPlugged << entry;
        return pty;
    }
    // Whether the window has taken every byte the gauge sent: none waits on
    // the line or in the port's receive queue.
    bool AllTaken(const TPty& pty) const {
        int waiting = 0;
        return ::ioctl(pty.Slave(), FIONREAD, &waiting) == 0 && waiting == 0 &&
               Find<TSerial>("Serial1")->RecCount() == 0;
    }
    // The document as Save As writes it.
    QByteArray Saved() {
        Window->SetFileDialogs(&Files);
        const QString name = FSaved.filePath("saved.txt");
        QFile::remove(name);
        Files.Answers = {name};
        Action("act_file_saveas")->trigger();
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<not saved>");
    }

    TFakeFileDialogs Files;

private:
    QTemporaryDir FSaved;
    QStringList FPlugged;
};

TEST_F(InstrumentTest, FirstStartConnectsTheFirstUsablePortAndReadingsArrive) {
    TGauge first(4), second(6);
    ASSERT_TRUE(first.Ready && second.Ready);
    Start({});
    EXPECT_EQ(ComItems(), QStringList({"COM4", "COM6"}));
    EXPECT_TRUE(Action("COM4")->isChecked());
    EXPECT_EQ(Panel(0), "Verbunden...");
    EXPECT_EQ(Panel(1), "Com4");
    EXPECT_FALSE(Action("act_interface_conneced")->isEnabled());
    EXPECT_TRUE(Action("act_interface_disconneced")->isEnabled());

    DeviceItem(3)->trigger();
    first.Send("  12.5 um");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Text().endsWith('\n'); }))
        << Text().toStdString();
    EXPECT_EQ(Text(), QString::fromUtf8("  12,5 µm\n"));

    Action("COM6")->trigger(); // another port: disconnect, change, connect
    EXPECT_EQ(Panel(1), "Com6");
    second.Send("7.5 mm");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Text().endsWith("7,5 mm\n"); }));
    Window.reset();
    QFile ini(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray saved = ini.readAll();
    EXPECT_TRUE(saved.contains("Port=6\n"));
    EXPECT_TRUE(saved.contains("Device=3\n"));
}

TEST_F(InstrumentTest, AnAnsweringGaugeStaysConnectedAndASilentOneIsSearchedFor) {
    {
        TGauge gauge(3);
        ASSERT_TRUE(gauge.Ready);
        Start("[Config]\nDevice=3\nPort=3\n");
        ASSERT_EQ(Panel(0), "Verbunden...");
        // A request goes out about every second and each answer is filtered.
        ASSERT_TRUE(testing_support::WaitFor(
            [&] { return gauge.Count("prompt request, answered") >= 3; }, 30000));
        EXPECT_EQ(Panel(0), "Verbunden...");
        EXPECT_EQ(Text(), "") << "no prompt text in the document";
        Window.reset();
    }
    TGauge silent(3, {"--no-answer"});
    ASSERT_TRUE(silent.Ready);
    Start("[Config]\nDevice=3\nPort=3\n");
    ASSERT_TRUE(WaitForPanel("Suche Gerät..."));
    ASSERT_TRUE(WaitForPanel("")) << "the search text blinks";
    ASSERT_TRUE(WaitForPanel("Suche Gerät..."));
    silent.Send("1.0");
    ASSERT_TRUE(WaitForPanel("Verbunden..."));
    EXPECT_EQ(Find<QTimer>("PromptTime")->interval(), 1000);
}

TEST_F(InstrumentTest, ProfilesChangeTheLinkWhileConnected) {
    TGauge gauge(5);
    ASSERT_TRUE(gauge.Ready);
    Start("[Config]\nDevice=6\nPort=5\n");
    gauge.Send("7.25");
    ASSERT_TRUE(testing_support::WaitFor([&] { return gauge.Count("received byte") >= 6; }))
        << "profile 6 echoes every byte";
    ASSERT_TRUE(testing_support::WaitFor([&] { return Text() == "7,25\n"; }));

    DeviceItem(3)->trigger();
    auto* serial = Find<TSerial>("Serial1");
    EXPECT_TRUE(serial->Active());
    EXPECT_TRUE(Find<QTimer>("PromptTime")->isActive());
    DeviceItem(8)->trigger(); // reconnects at 57600 without the prompt cycle
    EXPECT_TRUE(serial->Active());
    EXPECT_EQ(serial->Baudrate(), 57600);
    EXPECT_EQ(Panel(2), "57600 Baud");
    EXPECT_FALSE(Find<QTimer>("PromptTime")->isActive());
    EXPECT_EQ(Panel(0), "Verbunden...");

    Action("act_interface_conneced")->trigger(); // disabled while connected
    EXPECT_TRUE(serial->Active());
    Action("act_interface_disconneced")->trigger();
    EXPECT_FALSE(serial->Active());
    EXPECT_EQ(Panel(0), "Getrennt");
    Action("act_interface_disconneced")->trigger(); // disabled while disconnected
    EXPECT_EQ(Panel(0), "Getrennt");
}

TEST_F(InstrumentTest, UnpluggingTheConnectedPortDisconnects) {
    TGauge gauge(7);
    ASSERT_TRUE(gauge.Ready);
    Start("[Config]\nDevice=8\nPort=7\n");
    ASSERT_EQ(Panel(0), "Verbunden...");
    gauge.Unplug();
    ASSERT_TRUE(WaitForPanel("Getrennt"));
    EXPECT_FALSE(Find<TSerial>("Serial1")->Active());
    EXPECT_TRUE(Action("act_interface_conneced")->isEnabled());
    // Connecting again fails silently; panel 0's tooltip says why.
    Action("act_interface_conneced")->trigger();
    EXPECT_EQ(Panel(0), "Getrennt");
    EXPECT_TRUE(Dialogs.Messages.isEmpty());
    const QString note = Find<QLabel>("StatusPanel0")->toolTip();
    EXPECT_TRUE(note.contains("COM7: kein solches Gerät")) << note.toStdString();
}

// A gauge's port that vanishes in the middle of a line ends that line: the
// bytes after the reconnect begin another reading, so the fragment goes
// into the document as a line of its own, converted as one, and is no
// reading of the series. After a pause or the user's disconnect, the gauge
// goes on with its line.
TEST_F(InstrumentTest, AVanishedPortEndsItsLinePausesAndDisconnectsDoNot) {
    std::unique_ptr<TPty> gauge = PlugPty(9);
    Start("[Config]\nDevice=8\nPort=9\n");
    ASSERT_EQ(Panel(0), "Verbunden...");
    Window->SetFileDialogs(&Files);
    struct TCase {
        const char* Name;
        std::function<void()> Interrupt;
        QString Shown; // the fragment "  12.3" and what follows, "5 mm"
        int SeriesReadings;
    };
    const TCase cases[] = {
        {"the port vanished",
         [&] {
             gauge->CloseMaster();
             QFile::remove(testing_support::PortsFolder() + "/COM9");
             ASSERT_TRUE(WaitForPanel("Getrennt"));
             gauge = PlugPty(9); // reconnected by itself
             ASSERT_TRUE(WaitForPanel("Verbunden..."));
         },
         "  12,3\n5 mm\n", 1},
        {"a pause (a dialog cancelled)",
         [&] {
             Files.Answers = {QString()};
             Action("act_file_saveas")->trigger();
         },
         "  12,35 mm\n", 1},
        {"the user's disconnect",
         [&] {
             Action("act_interface_disconneced")->trigger();
             Action("act_interface_conneced")->trigger();
         },
         "  12,35 mm\n", 1},
    };
    QString expected;
    qsizetype readings = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        gauge->Send("7.5 mm\r\n  12.3");
        expected += "7,5 mm\n";
        ASSERT_TRUE(testing_support::WaitFor([&] {
            return Text() == expected && AllTaken(*gauge);
        })) << Text().toStdString();
        c.Interrupt();
        ASSERT_EQ(Panel(0), "Verbunden...");
        gauge->Send("5 mm\r\n");
        expected += c.Shown;
        ASSERT_TRUE(testing_support::WaitFor([&] { return Text() == expected; }))
            << Text().toStdString();
        readings += 1 + c.SeriesReadings;
        EXPECT_EQ(Window->Series().Size(), readings);
    }
}

// A gauge that sends a megabyte without a line end: the window goes on
// answering, the reading after it shows, and the file holds every byte as
// it came, with no line end the gauge did not send.
TEST_F(InstrumentTest, ALineOfAMegabyteWithoutEndIsKeptWholeAndWhatFollowsShows) {
    const std::unique_ptr<TPty> gauge = PlugPty(9);
    Start("[Config]\nDevice=8\nPort=9\n");
    ASSERT_EQ(Panel(0), "Verbunden...");
    const std::string digits = QByteArray("0123456789").repeated(100'000).toStdString();
    std::thread writer([&] {
        gauge->Send(digits);
        gauge->Send("  12.5 um\r\n");
    });
    const QTextDocument* doc = Find<QPlainTextEdit>("Editor")->document();
    const bool shown = testing_support::WaitFor(
        [&] { return doc->lastBlock().previous().text().endsWith(QString::fromUtf8("  12,5 µm")); },
        120000);
    writer.join();
    ASSERT_TRUE(shown);
    // Each insertion lays out one paragraph: none may grow with the line.
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        ASSERT_LE(block.length(), ParagraphLength + 2) << block.blockNumber();
    EXPECT_EQ(Saved(), QByteArray::fromStdString(digits) + "  12,5 \xB5m\r\n");
}

// The scan connects before the saved profile is applied; the port must then
// run at the profile's rate, not at the one it was first opened with.
TEST_F(InstrumentTest, TheStartUpPortRunsAtTheProfilesRate) {
    TPty gauge;
    ASSERT_FALSE(gauge.Path.isEmpty());
    ASSERT_TRUE(QFile::link(gauge.Path, testing_support::PortsFolder() + "/COM9"));
    Start("[Config]\nDevice=8\n");
    ASSERT_EQ(Panel(0), "Verbunden...");
    EXPECT_EQ(Panel(2), "57600 Baud");
    struct termios2 line {};
    // The master side reports the settings the program gave the line.
    ASSERT_EQ(::ioctl(gauge.Master(), TCGETS2, &line), 0);
    EXPECT_EQ(line.c_ospeed, 57600u);
    Window.reset();
    QFile::remove(testing_support::PortsFolder() + "/COM9");
}

// "Manuell" shows the port settings dialog each time it is chosen; the link
// reconnects with what the user chose there, and that rate is saved.
TEST_F(InstrumentTest, ManualProfileTakesTheDialogsSettings) {
    TPty gauge;
    ASSERT_FALSE(gauge.Path.isEmpty());
    ASSERT_TRUE(QFile::link(gauge.Path, testing_support::PortsFolder() + "/COM8"));
    Start("[Config]\nDevice=3\nPort=8\n");
    ASSERT_EQ(Panel(0), "Verbunden...");
    TSerialDialog dialog(Find<TSerial>("Serial1"));
    TScriptedSerialDialog shown;
    Window->SetSerialDialog(&dialog, &shown);
    QStringList seen; // what each showing offered the user
    auto choose = [&](const QString& rate) {
        shown.Script = [&seen, rate](QDialog& d) {
            auto* port = d.findChild<QComboBox*>("SerPortComboBox1");
            auto* baud = d.findChild<QComboBox*>("SerBaudComboBox1");
            seen << port->currentText() + " " + baud->currentText();
            const int index = baud->findText(rate);
            baud->setCurrentIndex(index);
            emit baud->activated(index);
        };
    };
    const auto lineSpeed = [&] {
        struct termios2 line {};
        // The master side reports the settings the program gave the line.
        return ::ioctl(gauge.Master(), TCGETS2, &line) == 0 ? line.c_ospeed : 0u;
    };

    choose("19200 Baud");
    DeviceItem(0)->trigger();
    ASSERT_EQ(shown.Positions.size(), 1u);
    EXPECT_EQ(shown.Positions[0], Window->pos() + QPoint(40, 40));
    EXPECT_EQ(Panel(0), "Verbunden...");
    EXPECT_EQ(Panel(2), "19200 Baud");
    EXPECT_EQ(lineSpeed(), 19200u);
    EXPECT_FALSE(Find<QTimer>("PromptTime")->isActive());

    choose("4800 Baud"); // chosen again: shown again, reconnected again
    DeviceItem(0)->trigger();
    EXPECT_EQ(seen, QStringList({"COM8 9600 Baud", "COM8 19200 Baud"}));
    EXPECT_EQ(Panel(2), "4800 Baud");
    EXPECT_EQ(lineSpeed(), 4800u);
    EXPECT_TRUE(Action("COM8")->isChecked());
    Window.reset();
    QFile ini(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray saved = ini.readAll();
    EXPECT_TRUE(saved.contains("Baud=4800\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("Device=0\n"));
    EXPECT_TRUE(saved.contains("Port=8\n"));
    QFile::remove(testing_support::PortsFolder() + "/COM8");
}

TEST_F(InstrumentTest, MaxPortBoundsTheScan) {
    TGauge low(44), high(45);
    ASSERT_TRUE(low.Ready && high.Ready);
    Start("[Config]\nMaxPort=300\nAutoConnect=0\nPort=44\n");
    // The manager lists up to 99; the scan tries the low byte of 300, 44.
    EXPECT_EQ(ComItems(), QStringList({"COM44"}));
    EXPECT_TRUE(Dialogs.Messages.isEmpty());
    EXPECT_EQ(Panel(0), "Getrennt") << "AutoConnect off";
    Window.reset();

    Start("[Config]\nMaxPort=0\nPort=44\n");
    EXPECT_TRUE(ComItems().isEmpty());
    EXPECT_EQ(Dialogs.Messages, QStringList({"Keine Schnittstelle frei / vorhanden !!!"}));
    EXPECT_EQ(Panel(1), "Com--");
}

// Handles and threads of this process, to see that nothing is left behind.
int OpenFiles() {
    return static_cast<int>(QDir("/proc/self/fd")
                                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
                                .size());
}
int Threads() {
    return static_cast<int>(
        QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// A gauge pulled out and plugged in again, over and over during a stream:
// each time the link comes back by itself, with what was sent while it was
// plugged in, and nothing is left behind by the many opens and closes.
TEST_F(InstrumentTest, AReplugedGaugeIsConnectedAgainByItself) {
    TGauge gauge(11);
    ASSERT_TRUE(gauge.Ready);
    Start("[Config]\nMaxPort=20\nDevice=8\nPort=11\n");
    ASSERT_EQ(Panel(0), "Verbunden...");
    int files = 0;
    int threads = 0;
    QString expected;
    for (int i = 0; i < 50; ++i) {
        if (i == 10) { // what Qt starts lazily has started by now
            files = OpenFiles();
            threads = Threads();
        }
        gauge.Send(QByteArray::number(i) + ".5");
        expected += QString::number(i) + ",5\n";
        ASSERT_TRUE(testing_support::WaitFor([&] { return Text() == expected; }, 20000))
            << i << ": " << Text().toStdString();
        gauge.Unplug();
        ASSERT_TRUE(WaitForPanel("Getrennt")) << i;
        EXPECT_EQ(Panel(1), "Com11");
        gauge.Plug();
        gauge.Send(QByteArray::number(i) + ".25"); // plugged in, perhaps not yet connected
        expected += QString::number(i) + ",25\n";
        ASSERT_TRUE(WaitForPanel("Verbunden...")) << i;
        ASSERT_TRUE(testing_support::WaitFor([&] { return Text() == expected; }, 20000))
            << i << ": " << Text().toStdString();
    }
    EXPECT_TRUE(Dialogs.Messages.isEmpty());
    EXPECT_TRUE(Dialogs.Exceptions.isEmpty());
    const QString note = Find<QLabel>("StatusPanel0")->toolTip();
    EXPECT_TRUE(note.contains("Verbindung wiederhergestellt")) << note.toStdString();
    // A serial event thread ends by itself after its port closed, and sets
    // up its own descriptor a moment after the port opened. Qt's thread pool
    // may start its threads at any time, each with an event descriptor. A
    // leak would be one per cycle.
    const int pool = QThreadPool::globalInstance()->maxThreadCount();
    EXPECT_TRUE(testing_support::WaitFor(
        [&] { return OpenFiles() <= files + pool + 1 && Threads() <= threads + pool; }, 20000))
        << OpenFiles() << " files (were " << files << "), " << Threads() << " threads (were "
        << threads << ")";
    Window.reset();
    QFile ini(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("AutoReconnect=1\n"));
}

// What ends the wait for a vanished port: the settings key, and the user's
// choice of a port or a profile while it is gone. Once the port is listed
// again, a waiting reconnect would have armed its timer or tried already.
TEST_F(InstrumentTest, AChoiceOrTheSettingMeansNoReconnect) {
    struct TCase {
        const char* Name;
        QByteArray Ini;
        std::function<void()> Gesture;
    };
    const TCase cases[] = {
        {"AutoReconnect=0", "AutoReconnect=0\n", [] {}},
        {"port chosen", "", [this] { Action("COM12")->trigger(); }},
        {"profile chosen", "", [this] { DeviceItem(3)->trigger(); }},
        {"connected by hand", "", [this] { Action("act_interface_conneced")->trigger(); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TGauge gauge(12);
        ASSERT_TRUE(gauge.Ready);
        Start("[Config]\nMaxPort=20\nDevice=8\nPort=12\n" + c.Ini);
        ASSERT_EQ(Panel(0), "Verbunden...");
        gauge.Unplug();
        ASSERT_TRUE(WaitForPanel("Getrennt"));
        c.Gesture();
        EXPECT_EQ(Panel(0), "Getrennt");
        gauge.Plug();
        ASSERT_TRUE(testing_support::WaitFor([] { return COMManager->HasPort(12); }, 20000));
        auto* timer = Find<QTimer>("ReconnectTime");
        EXPECT_FALSE(timer->isActive());
        EXPECT_EQ(timer->property("Attempts").toInt(), 0);
        EXPECT_EQ(Panel(0), "Getrennt");
        Window.reset();
        QFile ini(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        EXPECT_EQ(ini.readAll().contains("AutoReconnect=0\n"), !c.Ini.isEmpty());
    }
}

// A loose connector: the port comes and goes every 10 ms for 5 s. The link
// is tried a few times at growing intervals, no box appears, and once the
// port stays the link is back.
TEST_F(InstrumentTest, AFlappingPortIsTriedAFewTimesWithoutABox) {
    TPty line;
    ASSERT_FALSE(line.Path.isEmpty());
    const QString entry = testing_support::PortsFolder() + "/COM13";
    ASSERT_TRUE(QFile::link(line.Path, entry));
    Start("[Config]\nMaxPort=20\nDevice=8\nPort=13\n");
    ASSERT_EQ(Panel(0), "Verbunden...");
    std::atomic<bool> done = false;
    std::thread connector([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end) {
            QFile::remove(entry);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            QFile::link(line.Path, entry);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        done = true;
    });
    const bool flapped = testing_support::WaitFor([&] { return done.load(); }, 60000);
    connector.join();
    ASSERT_TRUE(flapped);
    ASSERT_TRUE(WaitForPanel("Verbunden...", 30000)) << "the port stayed: back by itself";
    const int attempts = Find<QTimer>("ReconnectTime")->property("Attempts").toInt();
    EXPECT_GE(attempts, 1);
    EXPECT_LE(attempts, 10) << "growing intervals, never a storm";
    EXPECT_TRUE(Dialogs.Messages.isEmpty());
    EXPECT_TRUE(Dialogs.Exceptions.isEmpty());
    Window.reset();
    QFile::remove(entry);
}

} // namespace
