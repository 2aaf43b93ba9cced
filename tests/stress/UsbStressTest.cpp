// The USB link under sustained load, against the simulated converter library
// (found through LD_LIBRARY_PATH): hundreds of connects, and a converter
// pulled out again and again in the middle of a line. Nothing may be lost,
// doubled or left running.
#include "tests/stress/StressFixture.h"
#include "tests/usb/SimLibrary.h"
#include "usb/USBReceiveThread.h"

#include <QAction>
#include <QString>

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace stress;
using testing_support::WaitFor;

// A reading as long as the receive thread's read.
QByteArray ChunkReading(int i) {
    constexpr int kDigits = static_cast<int>(TUSBReceiveThread::ChunkSize) - 2;
    return QByteArray::number(i).rightJustified(kDigits, '0') + "\r\n";
}

class UsbStressTest : public TStressFixture {
protected:
    void SetUp() override {
        TStressFixture::SetUp();
        ASSERT_TRUE(Sim.Loaded());
    }
    // Connected through the converter, with its receive thread running.
    void StartUsb() {
        Start("[Config]\nDevice=2\n");
        ASSERT_EQ(Panel0(), "Verbunden...");
        ASSERT_EQ(Panel(1), "USB");
    }
    // Waits until this process runs threads threads of its own: a receive
    // thread takes a moment to be gone from the system's list once joined.
    static bool ThreadsSettleAt(qsizetype threads) {
        return WaitFor([&] { return OwnThreads() == threads; }, 30000);
    }
    // How often the converter library was called so.
    int Calls(const std::string& call) const {
        const std::string journal = Sim.Journal();
        int calls = 0;
        for (size_t at = 0; (at = journal.find(call, at)) != std::string::npos; at += call.size())
            ++calls;
        return calls;
    }
    int Opens() const { return Calls("FT_OpenEx("); }
    // Waits until the receive thread of the connects-th connect has asked to
    // be woken when bytes arrive; bytes fed before would wait for its next
    // look, up to 100 ms later.
    bool Listening(int connects) const {
        return WaitFor([&] { return Calls("FT_SetEventNotification(1)") == connects; }, 30000);
    }
    // Feeds bytes to the converter and waits until the document ends with
    // everything fed so far.
    bool FeedAndShow(const QByteArray& bytes, QString& expected) {
        if (Sim.Feed(bytes) != static_cast<unsigned>(bytes.size()))
            return false;
        expected += Shown(bytes);
        return WaitFor([&] { return Length() == expected.size(); }, 30000);
    }

    TSimLibrary Sim;
};

// Disconnects and connects again and again, with a reading on each
// connection: each arrives, none twice; each disconnect ends its receive
// thread and each connect starts exactly one; memory does not grow. The
// reading fills the thread's read exactly, which then returns at once
// instead of after its 50 ms time-out, so the cycles are quick.
TEST_F(UsbStressTest, FiveHundredConnectCyclesWithDataOnEach) {
    StartUsb();
    QString expected;
    qint64 warmedUp = 0;
    qsizetype idleThreads = 0;
    for (int i = 0; i < 500; ++i) {
        Action("act_interface_disconneced")->trigger();
        ASSERT_EQ(Panel0(), "Getrennt") << "cycle " << i;
        if (i == 0)
            idleThreads = OwnThreads();
        if (i == 50)
            warmedUp = ResidentBytes();
        ASSERT_TRUE(ThreadsSettleAt(idleThreads)) << "cycle " << i << ": " << OwnThreads();
        Action("act_interface_conneced")->trigger();
        ASSERT_EQ(Panel0(), "Verbunden...") << "cycle " << i;
        ASSERT_TRUE(ThreadsSettleAt(idleThreads + 1)) << "cycle " << i << ": " << OwnThreads();
        ASSERT_TRUE(Listening(i + 2)) << "cycle " << i;
        ASSERT_TRUE(FeedAndShow(ChunkReading(i), expected))
            << "cycle " << i << ", ending " << Text().right(30).toStdString();
    }
    EXPECT_EQ(Text(), expected);
    EXPECT_EQ(Opens(), 501);
    if (kMemoryIsMeasurable) {
        EXPECT_LT(ResidentBytes() - warmedUp, kMemorySlack);
    }
}

// The converter is pulled out a hundred times in the middle of a line, and
// plugged in again: after the window said "Getrennt", or at once, before it
// noticed. Each time the reconnect opens it again by itself; every byte fed
// before a pull is shown once (a chunk goes in unchanged, and the broken
// line gets its line end, so the next reading begins a line of its own),
// with no box and no thread left.
TEST_F(UsbStressTest, HundredUnplugsMidLine) {
    StartUsb();
    const qsizetype connectedThreads = OwnThreads();
    QString expected;
    int next = 0;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(Listening(i + 1)) << "pull " << i;
        // A reading and half the next one, as one chunk.
        ASSERT_TRUE(FeedAndShow(Reading(next) + Reading(next + 1).left(5), expected))
            << "pull " << i;
        next += 2;
        Sim.Unplug();
        expected += "\n";
        if (i % 2 == 0) {
            ASSERT_TRUE(WaitFor([&] { return Panel0() == "Getrennt"; }, 30000)) << "pull " << i;
            ASSERT_TRUE(ThreadsSettleAt(connectedThreads - 1)) << "pull " << i;
        }
        Sim.Plug();
        ASSERT_TRUE(WaitFor([&] { return Opens() == i + 2 && Panel0() == "Verbunden..."; }, 30000))
            << "pull " << i << ": " << Panel0().toStdString() << ", " << Opens() << " opens";
        ASSERT_TRUE(ThreadsSettleAt(connectedThreads)) << "pull " << i;
    }
    EXPECT_TRUE(WaitFor([&] { return Text() == expected; }, 30000)) << Text().toStdString();
    QStringList boxes = Dialogs.Messages;
    boxes.removeAll("Keine Schnittstelle frei / vorhanden !!!"); // no port on this machine
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('|').toStdString();
}

} // namespace
