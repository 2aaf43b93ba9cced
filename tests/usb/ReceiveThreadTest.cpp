// The receive thread against the simulated converter: what it hands to the
// main thread, and how it stops.
#include "usb/D2XXUnit.h"
#include "usb/USBReceiveThread.h"

#include "platform/TThread.h"
#include "tests/app/FakeDialogs.h"
#include "tests/support/TestEnvironment.h"
#include "tests/usb/SimLibrary.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <memory>
#include <thread>

using namespace d2xx;
using testing_support::WaitFor;

namespace {

class ReceiveThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetMainThread();
        ASSERT_TRUE(Sim.Loaded());
        ASSERT_TRUE(Unit.D2xx_Load());
        Unit.D2xxReportErrors = false;
        ASSERT_EQ(Unit.Open_USB_Device_By_Device_Description(Handle, "Velmarod K65"), FT_OK);
        Unit.D2xx_SetTimeouts(Handle, 50, 50);
    }
    void TearDown() override {
        Thread.reset();
        Unit.D2xx_Close(Handle);
    }
    void Start() {
        Thread = std::make_unique<TUSBReceiveThread>(
            Unit, Handle,
            [this](const QByteArray& text) {
                EXPECT_TRUE(platform::IsMainThread());
                Chunks.push_back(text);
                Received += text;
            },
            [this] {
                EXPECT_TRUE(platform::IsMainThread());
                ++Lost;
            });
    }
    // Bytes still in the converter, asked from the main thread without
    // serving the thread's hand-over.
    DWORD Waiting() {
        DWORD waiting = 0;
        Unit.Entry<TFT_GetQueueStatus>(TD2xxEntry::FT_GetQueueStatus)(Handle, &waiting);
        return waiting;
    }
    void Stop() {
        Thread->Stop();
        Thread->WaitFor();
        Thread.reset();
    }

    TSimLibrary Sim;
    TFakeDialogs Dialogs;
    TD2xxUnit Unit{Dialogs};
    FT_HANDLE Handle = nullptr;
    std::unique_ptr<TUSBReceiveThread> Thread;
    std::vector<QByteArray> Chunks;
    QByteArray Received;
    int Lost = 0; // times the thread told that the converter went
};

} // namespace

TEST_F(ReceiveThreadTest, ChunksArriveWholeAndABurstToItsEnd) {
    Start();
    const QByteArray reading = QByteArray("+12.345 mm").repeated(7).left(63) + "\r\n";
    ASSERT_EQ(reading.size(), 65);
    Sim.Feed(reading);
    ASSERT_TRUE(WaitFor([&] { return Received.size() == 65; }));
    EXPECT_EQ(Chunks, std::vector<QByteArray>{reading}) << "65 bytes are one chunk";

    // 66 bytes: the 66th comes without the gauge sending again.
    Received.clear();
    Sim.Feed(reading + "X");
    ASSERT_TRUE(WaitFor([&] { return Received.size() == 66; }))
        << Received.size() << " chunks " << Chunks.size() << " last " << Chunks.back().size()
        << " waiting " << Waiting();
    EXPECT_EQ(Received, reading + "X");

    // A NUL goes over with what follows it; the editor drops only the NUL.
    Received.clear();
    Sim.Feed(QByteArray("1\0002.5\r\n", 7));
    ASSERT_TRUE(WaitFor([&] { return Received.size() == 7; }));
    EXPECT_EQ(Received, QByteArray("1\0002.5\r\n", 7));
    Stop();
    const std::string journal = Sim.Journal();
    EXPECT_NE(journal.find("FT_SetEventNotification(1)\n"), std::string::npos) << journal;
    EXPECT_TRUE(journal.ends_with("FT_SetEventNotification(0)\n")) << journal;
}

// Stopped while it waits, reads or hands over, hundreds of times: it never
// deadlocks the waiting main thread, and a chunk it has read is delivered
// during the wait.
TEST_F(ReceiveThreadTest, StopsCleanlyAndDeliversTheChunkItHolds) {
    Unit.D2xx_SetTimeouts(Handle, 5, 5);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        Received.clear();
        Start();
        const QByteArray bytes = "reading " + QByteArray::number(round) + "\r\n";
        if (round % 3 != 0)
            Sim.Feed(bytes);
        if (round % 3 == 1) {
            // The thread has taken the bytes and is blocked handing them
            // over: nothing here serves its call before the stop.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (Waiting() > 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ASSERT_EQ(Waiting(), 0u);
        }
        Stop();
        if (round % 3 == 1)
            EXPECT_EQ(Received, bytes);
        else
            EXPECT_TRUE(bytes.startsWith(Received)) << "only whole reads, in order";
        // What the stop left in the converter is for the next thread.
        Sim.Reset();
        ASSERT_EQ(Unit.Open_USB_Device_By_Device_Description(Handle, "Velmarod K65"), FT_OK);
        Unit.D2xx_SetTimeouts(Handle, 5, 5);
    }
}

TEST_F(ReceiveThreadTest, UnplugDuringAReadHandsOverWhatCameThenTellsOnceAndEnds) {
    Unit.D2xx_SetTimeouts(Handle, 600000, 50); // the read waits for its 65 bytes
    Start();
    Sim.Feed("1.5 mm");
    ASSERT_TRUE(WaitFor([&] { return Sim.BlockedReads() == 1; }));
    Sim.Unplug();
    ASSERT_TRUE(WaitFor([&] { return Received == "1.5 mm"; })) << Received.toStdString();
    EXPECT_EQ(Unit.D2xxLastReadStatus, FT_IO_ERROR);
    EXPECT_FALSE(WaitFor([&] { return Sim.BlockedReads() > 0; }, 300)) << "no read after that";
    ASSERT_TRUE(WaitFor([&] { return Thread->Finished(); }));
    EXPECT_EQ(Lost, 1);
    Stop();
    EXPECT_TRUE(Dialogs.Messages.isEmpty());
}
