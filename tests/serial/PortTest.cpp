#include "serial/PortState.h"
#include "serial/TSerial.h"
#include "tests/serial/FakeLineEvents.h"
#include "tests/serial/LineProbe.h"
#include "tests/serial/PtyPort.h"

#include "platform/TThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <vector>

namespace {

using testing_support::WaitFor;
using namespace CommEvent;

class SerialPort : public ::testing::Test {
protected:
    TPtyPort Pty{5};
    TTestManager Manager;
    TFakeLineEvents Lines;

    void SetUp() override {
        ASSERT_FALSE(Pty.Path.isEmpty());
        COMManager->Scan(20);
        ASSERT_TRUE(COMManager->HasPort(5));
    }
    std::unique_ptr<TSerial> MakeSerial() {
        auto s = std::make_unique<TSerial>();
        s->SetCOMPort(5);
        s->LineEventSourceFactory = Lines.Factory();
        return s;
    }
    // Polls without running Qt's event loop, which would serve the event
    // thread's synchronised calls behind the test's back.
    template <typename Cond> static bool PollWithoutEvents(Cond Ready) {
        const QDeadlineTimer deadline(10000);
        while (!Ready()) {
            if (deadline.hasExpired())
                return Ready();
            QThread::msleep(1);
        }
        return true;
    }
    static std::string Take(TSerial& S, int Count) {
        std::string out(static_cast<size_t>(Count), '\0');
        out.resize(static_cast<size_t>(S.ReadBuf(out.data(), Count)));
        return out;
    }
};

TEST_F(SerialPort, ByteReachesOnRxCharOnTheMainThreadAndIsRead) {
    auto s = MakeSerial();
    s->SetSyncEventHandling(true);
    std::string received;
    std::atomic<bool> onMain{true};
    s->OnRxChar = [&](QObject* sender) {
        EXPECT_EQ(sender, s.get());
        onMain = onMain && QThread::currentThread() == QCoreApplication::instance()->thread();
        while (s->RecCount() > 0) {
            char c = 0;
            s->ReadBuf(&c, 1);
            received += c;
        }
    };
    ASSERT_TRUE(s->Open());
    EXPECT_TRUE(s->Active());
    EXPECT_EQ(s->BoundReadBuf(), &TSerial::ReadBufWait);
    EXPECT_EQ(COMManager->Entry(COMManager->IndexOfPort(5)).Owner, s.get());
    Pty.Send("  12.5 um\r\n");
    EXPECT_TRUE(WaitFor([&] { return received.size() == 11; }));
    EXPECT_EQ(received, "  12.5 um\r\n");
    EXPECT_TRUE(onMain);
    s->Close();
    EXPECT_EQ(COMManager->Entry(COMManager->IndexOfPort(5)).Owner, nullptr);
    EXPECT_EQ(s->BoundReadBuf(), &TSerial::ReadBufNone);
}

TEST_F(SerialPort, ReadsWithAndWithoutSyncWait) {
    auto s = MakeSerial(); // no handler: no event thread, reads fill the queue
    ASSERT_TRUE(s->Open());
    EXPECT_FALSE(s->EventThreadRunning());
    char buf[16] = {};
    EXPECT_EQ(s->ReadBuf(buf, 0), 0);
    s->SetSyncWait(false);
    EXPECT_EQ(s->ReadBuf(buf, 10), 0); // nothing waiting: at once
    Pty.Send("abc");
    EXPECT_TRUE(WaitFor([&] { return s->RecCount() == 3; }));
    EXPECT_EQ(s->ReadBuf(buf, 10), 3);
    // SyncWait true waits for the whole count.
    s->SetSyncWait(true);
    std::thread gauge([&] {
        QThread::msleep(50);
        Pty.Send("12345");
    });
    EXPECT_EQ(Take(*s, 5), "12345");
    gauge.join();
    Pty.Send("hello");
    EXPECT_TRUE(WaitFor([&] { return s->RecCount() == 5; }));
    QByteArray text;
    s->ReadString(text);
    EXPECT_EQ(text, "hello");
    s->ReadString(text);
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(SerialPort, WritesReachTheGauge) {
    auto s = MakeSerial();
    ASSERT_TRUE(s->Open());
    EXPECT_EQ(s->WriteBuf("\x05", 1), 1);
    EXPECT_EQ(s->WriteString("ok\r\n"), 4);
    EXPECT_EQ(Pty.Receive(5), "\x05ok\r\n");
    // A block larger than the terminal's buffers goes out whole.
    const std::string big(200000, 'x');
    std::string got;
    std::thread gauge([&] { got = Pty.Receive(big.size()); });
    EXPECT_EQ(s->WriteBuf(big.data(), static_cast<int>(big.size())), static_cast<int>(big.size()));
    gauge.join();
    EXPECT_EQ(got.size(), big.size());
    s->Close();
    EXPECT_EQ(s->WriteBuf("x", 1), 0);
    QByteArray text = "x";
    s->ReadString(text);
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(SerialPort, ReadTimeOutsEndAWaitingRead) {
    auto s = MakeSerial();
    s->SetRecTimeOut(100);
    ASSERT_TRUE(s->Open());
    EXPECT_TRUE(s->TimeoutsSet());
    EXPECT_EQ(s->CommTimeouts(), (TCommTimeouts{100, 1, 100, 0, 0}));
    Pty.Send("ab");
    char buf[10];
    EXPECT_EQ(s->ReadBuf(buf, 10), 2); // the interval time-out ends it
    EXPECT_EQ(s->ReadBuf(buf, 10), 0); // the total time-out ends it
}

TEST_F(SerialPort, CloseEndsAWaitWithoutTimeOuts) {
    auto s = MakeSerial();
    ASSERT_TRUE(s->Open());
    EXPECT_FALSE(s->TimeoutsSet());
    Pty.Send("xy");
    ASSERT_TRUE(WaitFor([&] { return s->RecCount() == 2; }));
    std::atomic<int> got{-1};
    std::thread reader([&] {
        char buf[10];
        got = s->ReadBufWait(buf, 10); // the variant itself: Close rebinds meanwhile
    });
    // The queue empties once the reader holds the two bytes and waits for more.
    EXPECT_TRUE(WaitFor([&] { return s->RecCount() == 0; }));
    EXPECT_EQ(got.load(), -1);
    s->Close();
    reader.join();
    EXPECT_EQ(got.load(), 2);
}

// With synchronised handling every dispatch runs on this thread, and here
// only where the test serves it (Qt's event loop is left alone until events
// are on again), so the thread's handling of the data is seen, not waited for.
TEST_F(SerialPort, DisabledEventsLeaveDataQueuedAndTheThreadAsleep) {
    auto s = MakeSerial();
    s->SetSyncEventHandling(true);
    int calls = 0, breaks = 0;
    s->OnRxChar = [&](QObject*) { ++calls; };
    s->OnBreak = [&](QObject*) { ++breaks; };
    s->SetEnableEvents(false);
    ASSERT_TRUE(s->Open());
    ASSERT_TRUE(PollWithoutEvents([&] { return Lines.Started(); }));
    platform::CheckSynchronize(); // what threads of earlier tests left
    Pty.Send("data");             // one write: the thread reads it in one go
    ASSERT_TRUE(PollWithoutEvents([&] { return s->RecCount() == 4; }));
    // The thread hands over the dispatch of that wake-up; it runs with events off.
    ASSERT_TRUE(PollWithoutEvents([] { return platform::CheckSynchronize(); }));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(s->RecCount(), 4);
    // The next wake-up, with events on, carries only what woke it: the unread
    // data is not reported again, and the thread did not spin on it meanwhile.
    const uint64_t wakeups = s->EventThreadWakeups();
    s->SetEnableEvents(true);
    ASSERT_TRUE(Lines.Fire(EV_BREAK));
    ASSERT_TRUE(WaitFor([&] { return breaks == 1; }));
    EXPECT_EQ(calls, 0);
    EXPECT_LE(s->EventThreadWakeups(), wakeups + 1);
    Pty.Send("!");
    EXPECT_TRUE(WaitFor([&] { return calls == 1; }));
    EXPECT_EQ(s->RecCount(), 5);
}

// A full queue parks the device. A read that empties the queue and takes
// more from the device itself wakes the thread with what it brought in; the
// device must be watched again after that, or the port goes deaf.
TEST_F(SerialPort, AFullQueueNeverLeavesThePortDeaf) {
    auto s = MakeSerial();
    s->SetSyncWait(true); // a read takes its whole count, from the device too
    std::atomic<int> events{0};
    s->OnRxChar = [&](QObject*) { ++events; };
    ASSERT_TRUE(s->Open());
    const int queue = s->BufSizeRec();
    Pty.Send(std::string(static_cast<size_t>(queue), 'x'));
    ASSERT_TRUE(WaitFor([&] { return s->RecCount() == queue && events > 0; }));
    Pty.Send("1234"); // stays with the device: the queue is full
    pollfd slave{Pty.Slave(), POLLIN, 0};
    ASSERT_TRUE(WaitFor([&] { return ::poll(&slave, 1, 0) == 1; }));
    const int before = events;
    EXPECT_EQ(Take(*s, queue + 4).size(), static_cast<size_t>(queue) + 4);
    ASSERT_TRUE(WaitFor([&] { return events > before; })) << "what the read brought in";
    const int after = events;
    Pty.Send("!");
    EXPECT_TRUE(WaitFor([&] { return events > after && s->RecCount() == 1; }))
        << "the device is watched again";
}

// A flood is handed over at once, and the count of a handler's read takes in
// what the device holds once the queue is empty: it must arrive whole and in
// order through a handler that reads once per event, with every byte value
// (the kernel doubles 0xFF in marked input), and what follows must arrive too.
TEST_F(SerialPort, AFloodArrivesWholeAndInOrder) {
    std::string flood(size_t{512} << 10, '\0');
    for (size_t i = 0; i < flood.size(); ++i)
        flood[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
    for (const int queue : {4096, 65536}) {
        SCOPED_TRACE(queue);
        auto s = MakeSerial();
        s->SetBufSizeRec(queue);
        s->SetSyncEventHandling(true);
        s->SetSyncWait(false);
        std::string received;
        s->OnRxChar = [&](QObject*) { received += Take(*s, s->RecCount()); };
        ASSERT_TRUE(s->Open());
        // Bounded, so that a port gone deaf fails the test instead of hanging it.
        std::thread gauge([&] {
            const QDeadlineTimer deadline(120000);
            for (size_t sent = 0; sent < flood.size() && !deadline.hasExpired();) {
                const ssize_t n = ::write(Pty.Master(), flood.data() + sent, flood.size() - sent);
                pollfd room{Pty.Master(), POLLOUT, 0};
                if (n > 0)
                    sent += static_cast<size_t>(n);
                else
                    ::poll(&room, 1, 100);
            }
        });
        const bool whole = WaitFor([&] { return received.size() >= flood.size(); }, 120000);
        gauge.join();
        ASSERT_TRUE(whole) << received.size() << " bytes";
        const auto [at, _] = std::mismatch(flood.begin(), flood.end(), received.begin());
        EXPECT_EQ(at - flood.begin(), std::ssize(flood)) << "first difference";
        Pty.Send("end");
        EXPECT_TRUE(WaitFor([&] { return received.size() == flood.size() + 3; }));
        EXPECT_EQ(received.substr(flood.size()), "end");
    }
}

TEST_F(SerialPort, CloseWakesTheThreadAndItEnds) {
    auto s = MakeSerial();
    s->OnRxChar = [](QObject*) {};
    ASSERT_TRUE(s->Open());
    ASSERT_TRUE(s->EventThreadRunning());
    EXPECT_EQ(s->EventMaskOfOpen(), EV_RXCHAR);
    ASSERT_TRUE(WaitFor([&] { return Lines.Started(); }));
    s->Close();
    EXPECT_FALSE(s->Active());
    // The thread stops its line-event source as it ends.
    EXPECT_TRUE(WaitFor([&] { return !Lines.Started(); }, 30000));
}

TEST_F(SerialPort, NoHandlerMeansNoThread) {
    auto s = MakeSerial();
    ASSERT_TRUE(s->Open());
    EXPECT_EQ(s->EventMaskOfOpen(), 0u);
    EXPECT_FALSE(s->EventThreadRunning());
    EXPECT_FALSE(s->Open()); // already open: stays open
    EXPECT_TRUE(s->Active());
    s->SetActive(true);
    EXPECT_TRUE(s->Active());
    s->SetActive(false);
    EXPECT_FALSE(s->Active());
    s->SetActive(true);
    EXPECT_TRUE(s->Active());
}

TEST_F(SerialPort, HeldPortIsRefusedAndFreedByClose) {
    const int other = ::open(Pty.Path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    auto s = MakeSerial();
    EXPECT_FALSE(s->Open());
    EXPECT_EQ(s->BoundReadBuf(), &TSerial::ReadBufNone);
    ::close(other);
    ASSERT_TRUE(s->Open());
    auto second = MakeSerial();
    EXPECT_FALSE(second->Open());
    s->Close();
    EXPECT_TRUE(second->Open());
}

// No room for a thread's stack (in a child process, so the limits hurt
// nothing else): Open fails without throwing and leaves the port closed. The
// sanitizers' own mappings do not fit under such limits.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST_F(SerialPort, OpenFailsQuietlyWhenNoThreadCanStart) {
    GTEST_FLAG_SET(death_test_style, "fast");
    auto s = MakeSerial();
    s->OnRxChar = [](QObject*) {};
    EXPECT_EXIT(
        {
            // A stack larger than any address space limit; a stack cached
            // from an earlier thread is too small to be reused for it.
            pthread_attr_t attr;
            ::pthread_attr_init(&attr);
            ::pthread_attr_setstacksize(&attr, size_t{1} << 40);
            ::pthread_setattr_default_np(&attr);
            rlimit limit{};
            ::getrlimit(RLIMIT_AS, &limit);
            QFile status(QStringLiteral("/proc/self/statm"));
            status.open(QIODevice::ReadOnly);
            const long pages = status.readAll().split(' ').value(0).toLong();
            limit.rlim_cur = static_cast<rlim_t>(pages * ::sysconf(_SC_PAGESIZE) + (64 << 20));
            ::setrlimit(RLIMIT_AS, &limit);
            bool opened = true;
            try {
                opened = s->Open();
            } catch (...) {
                std::_Exit(2);
            }
            std::_Exit(opened || s->Active() || s->BoundReadBuf() != &TSerial::ReadBufNone ? 3 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

TEST_F(SerialPort, AbsentPortIsRefused) {
    auto s = MakeSerial();
    QFile::remove(Pty.Entry());
    EXPECT_FALSE(s->Open());
}

TEST_F(SerialPort, LineSettingsReachTheTerminal) {
    auto s = MakeSerial();
    s->SetBaudrate(100000); // 100173: only termios2 carries it
    s->SetDataBits(TDataBits::db_7);
    s->SetParityBit(TParityBit::mark);
    s->SetStopBits(TStopBits::sb_2);
    s->SetHandshakeRtsCts(true);
    s->SetHandshakeXOnXOff(true);
    s->SetRTSActive(true); // modem lines a pty lacks must not fail the open
    s->SetDTRActive(true);
    ASSERT_TRUE(s->Open());
    TLineProbe line;
    ASSERT_TRUE(ProbeLine(Pty.Slave(), line));
    EXPECT_EQ(line.Speed, 100173u);
    // (a pseudo-terminal forces 8 bits without parity whatever it is given)
    EXPECT_TRUE(line.TwoStopBits);
    EXPECT_TRUE(line.XOnXOff);
    EXPECT_FALSE(line.Marked) << "a pseudo-terminal reports no line errors";
    // A change while open waits for the next Open.
    s->SetBaudrate(1200);
    ASSERT_TRUE(ProbeLine(Pty.Slave(), line));
    EXPECT_EQ(line.Speed, 100173u);
    s->Close();
    ASSERT_TRUE(s->Open());
    ASSERT_TRUE(ProbeLine(Pty.Slave(), line));
    EXPECT_EQ(line.Speed, 1200u);
}

TEST_F(SerialPort, EventsOfOneWakeUpComeInTheFixedOrder) {
    auto s = MakeSerial();
    s->SetSyncEventHandling(true);
    std::vector<std::string> calls;
    auto note = [&](const char* name) {
        return [&calls, name](QObject*) { calls.push_back(name); };
    };
    s->OnBreak = note("Break");
    s->OnCts = note("Cts");
    s->OnDsr = note("Dsr");
    s->OnError = note("Error");
    s->OnRing = note("Ring");
    s->OnDcd = note("Dcd");
    s->OnRxChar = note("RxChar");
    s->OnEventChar = note("EventChar");
    s->OnTxEmpty = note("TxEmpty");
    ASSERT_TRUE(s->Open());
    ASSERT_TRUE(WaitFor([&] { return Lines.Started(); }));
    Lines.Fire(EV_TXEMPTY | EV_RXFLAG | EV_RXCHAR | EV_RLSD | EV_RING | EV_ERR | EV_DSR | EV_CTS |
               EV_BREAK);
    ASSERT_TRUE(WaitFor([&] { return calls.size() == 9; }));
    EXPECT_EQ(calls, (std::vector<std::string>{"Break", "Cts", "Dsr", "Error", "Ring", "Dcd",
                                               "RxChar", "EventChar", "TxEmpty"}));
}

TEST_F(SerialPort, ReceivedEventCharAndDrainedOutputAreReported) {
    auto s = MakeSerial();
    s->SetSyncEventHandling(true);
    int flags = 0, empties = 0;
    s->OnEventChar = [&](QObject*) { ++flags; };
    s->OnTxEmpty = [&](QObject*) { ++empties; };
    ASSERT_TRUE(s->Open());
    EXPECT_EQ(s->EventMaskOfOpen(), EV_RXFLAG | EV_TXEMPTY);
    Pty.Send("12.5\r");
    EXPECT_TRUE(WaitFor([&] { return flags == 1; }));
    s->WriteString("\x05");
    EXPECT_TRUE(WaitFor([&] { return empties >= 1; }));
    Pty.Send("no flag");
    testing_support::ProcessEventsFor(100);
    EXPECT_EQ(flags, 1);
}

// Flow control can hold bytes in the output queue for good (no pty can):
// the thread then looks at it ever less often instead of every few ms.
TEST_F(SerialPort, StalledOutputIsLookedAtEverLessOften) {
    static int queued = 0;
    queued = 1;
    TPortState::TConfig config;
    config.EventMask = EV_TXEMPTY;
    config.OutputQueue = [](int, int& Count) {
        Count = queued;
        return true;
    };
    TPortState state(::dup(Pty.Slave()), config, nullptr);
    ASSERT_TRUE(state.Usable());
    EXPECT_EQ(state.Write(reinterpret_cast<const uint8_t*>("x"), 1, false), 1);
    std::vector<int> delays;
    for (int i = 0; i < 12; ++i)
        delays.push_back(state.CheckTransmitter());
    EXPECT_EQ(delays.front(), 2); // 1 byte at 9600 baud
    EXPECT_TRUE(std::is_sorted(delays.begin(), delays.end()));
    EXPECT_EQ(delays.back(), 1000);
    // Once the line moves again, the queue is reported empty as before.
    queued = 0;
    EXPECT_EQ(state.CheckTransmitter(), -1);
    EXPECT_EQ(state.TakeEvents(), EV_TXEMPTY);
}

// A driver that lost received bytes counts an overrun; the bytes after it
// bring a line error (no pty ever overruns, so the count is stood in for).
TEST_F(SerialPort, DriverOverrunIsALineError) {
    static uint64_t overruns = 0;
    overruns = 0;
    TPortState::TConfig config;
    config.EventMask = EV_RXCHAR | EV_ERR;
    config.Overruns = [](int, uint64_t& Count) {
        Count = overruns;
        return true;
    };
    const int fd = ::dup(Pty.Slave());
    // Raw and non-blocking, as Open leaves the device.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    TPortState state(fd, config, nullptr);
    ASSERT_TRUE(state.Usable());
    Pty.Send("a");
    ASSERT_TRUE(WaitFor([&] {
        state.Fill(true);
        return state.Count() == 1;
    }));
    EXPECT_EQ(state.TakeEvents(), EV_RXCHAR);
    overruns = 2;
    Pty.Send("b");
    ASSERT_TRUE(WaitFor([&] {
        state.Fill(true);
        return state.Count() == 2;
    }));
    EXPECT_EQ(state.TakeEvents(), EV_RXCHAR | EV_ERR);
    Pty.Send("c");
    ASSERT_TRUE(WaitFor([&] {
        state.Fill(true);
        return state.Count() == 3;
    }));
    EXPECT_EQ(state.TakeEvents(), EV_RXCHAR) << "an overrun is reported once";
}

// With AbortOnError a line error stops reads and writes until the status
// query clears it; RecCount is that query.
TEST_F(SerialPort, LatchedErrorStopsTransfersUntilRecCount) {
    auto s = MakeSerial();
    s->SetAbortOnError(true);
    s->SetSyncEventHandling(true);
    int errors = 0;
    s->OnError = [&](QObject*) { ++errors; };
    ASSERT_TRUE(s->Open());
    ASSERT_TRUE(WaitFor([&] { return Lines.Started(); }));
    Pty.Send("ab");
    ASSERT_TRUE(WaitFor([&] { return s->RecCount() == 2; }));
    ASSERT_TRUE(Lines.Fire(EV_ERR));
    ASSERT_TRUE(WaitFor([&] { return errors == 1; }));
    char buf[4] = {};
    EXPECT_EQ(s->ReadBuf(buf, 2), 0) << "latched";
    EXPECT_EQ(s->WriteBuf("x", 1), 0) << "latched";
    EXPECT_EQ(s->RecCount(), 2);
    EXPECT_EQ(Take(*s, 2), "ab") << "cleared by RecCount";
    EXPECT_EQ(s->WriteBuf("x", 1), 1);
    EXPECT_EQ(Pty.Receive(1), "x");
}

// No pseudo-terminal receives a framing error or a break. The pty stands in
// for a port whose driver reports them; with the marking switched off
// behind the component's back, the gauge sends the bytes the kernel marks
// them with: 0xFF 0 c for a byte c with an error, 0xFF 0 0 for a break. Without parity the byte
// with a framing error is delivered as received (the error character stands in for parity errors);
// with parity it is replaced.
TEST_F(SerialPort, FramingErrorsAndBreaksAreReportedOnceInEverySetting) {
    const struct {
        TParityBit Parity;
        std::string Delivered;
    } cases[] = {{TParityBit::none, "x"}, {TParityBit::even, "?"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Parity));
        auto s = MakeSerial();
        s->ReportsLineErrors = [](int) { return true; };
        s->SetParityBit(c.Parity);
        s->SetUseErrorChar(true);
        s->SetSyncEventHandling(true);
        int errors = 0, breaks = 0;
        std::string data;
        s->OnError = [&](QObject*) { ++errors; };
        s->OnBreak = [&](QObject*) { ++breaks; };
        s->OnRxChar = [&](QObject*) { data += Take(*s, s->RecCount()); };
        ASSERT_TRUE(s->Open());
        TLineProbe line;
        ASSERT_TRUE(ProbeLine(Pty.Slave(), line));
        EXPECT_TRUE(line.Marked);
        EXPECT_TRUE(line.Checked) << "errors are marked whatever the parity";
        termios raw{};
        ASSERT_EQ(::tcgetattr(Pty.Slave(), &raw), 0);
        raw.c_iflag &= ~tcflag_t{PARMRK | INPCK};
        ASSERT_EQ(::tcsetattr(Pty.Slave(), TCSANOW, &raw), 0);
        Pty.Send(std::string("\xff\x00x", 3));
        ASSERT_TRUE(WaitFor([&] { return errors == 1 && !data.empty(); }));
        EXPECT_EQ(data, c.Delivered);
        Pty.Send(std::string("\xff\x00\x00", 3));
        ASSERT_TRUE(WaitFor([&] { return breaks == 1; }));
        testing_support::ProcessEventsFor(100);
        EXPECT_EQ(breaks, 1);
        EXPECT_EQ(errors, 1);
        EXPECT_EQ(data, c.Delivered);
    }
    // The driver counts a break too; it is no modem-line change, or it would
    // be reported again with the next one.
    serial_icounter_struct before{}, after{};
    after.brk = 1;
    EXPECT_EQ(ModemLineChanges(before, after), 0u);
    after.dsr = 1;
    EXPECT_EQ(ModemLineChanges(before, after), EV_DSR);
}

// DTR/DSR handshake, the output side: while DSR is low nothing goes out. A
// write without time-outs leaves its bytes queued and returns at once; they
// go out when DSR rises. With time-outs, what has not gone out when they
// expire is not sent. No handler for DSR is needed for that.
TEST_F(SerialPort, LowDsrHoldsOutputUntilItRises) {
    for (const int timeOut : {0, 100}) {
        SCOPED_TRACE(timeOut);
        auto s = MakeSerial();
        s->SetHandshakeDtrDsr(true);
        s->SetTrmTimeOut(timeOut);
        std::atomic<int> received{0};
        s->OnRxChar = [&](QObject*) {
            received += static_cast<int>(Take(*s, s->RecCount()).size());
        };
        ASSERT_TRUE(s->Open());
        ASSERT_TRUE(WaitFor([&] { return Lines.Started(); }));
        ASSERT_TRUE(Lines.SetDsr(false));
        // The thread follows DSR before it hands over what came after the change.
        Pty.Send("!");
        ASSERT_TRUE(WaitFor([&] { return received == 1; }));
        if (timeOut == 0) {
            EXPECT_EQ(s->WriteString("held"), 4);
            int rec = 0, trm = 0;
            s->QueueStatus(rec, trm);
            EXPECT_EQ(trm, 4);
            EXPECT_EQ(Pty.Receive(4, 300), "");
            ASSERT_TRUE(Lines.SetDsr(true));
            EXPECT_EQ(Pty.Receive(4), "held");
        } else {
            EXPECT_EQ(s->WriteString("late"), 0);
            ASSERT_TRUE(Lines.SetDsr(true));
            EXPECT_EQ(s->WriteString("ok"), 2);
            EXPECT_EQ(Pty.Receive(2), "ok");
        }
        s->Close();
        // The sources share the fake: the next one starts after this one stopped.
        ASSERT_TRUE(WaitFor([&] { return !Lines.Started(); }));
    }
    // Closed while DSR holds it, the port leaves the line free for the next user.
    auto s = MakeSerial();
    s->SetHandshakeDtrDsr(true);
    std::atomic<int> received{0};
    s->OnRxChar = [&](QObject*) { received += static_cast<int>(Take(*s, s->RecCount()).size()); };
    ASSERT_TRUE(s->Open());
    ASSERT_TRUE(WaitFor([&] { return Lines.Started(); }));
    ASSERT_TRUE(Lines.SetDsr(false));
    Pty.Send("!");
    ASSERT_TRUE(WaitFor([&] { return received == 1; }));
    s->Close();
    auto next = MakeSerial();
    next->SetTrmTimeOut(500);
    ASSERT_TRUE(next->Open());
    EXPECT_EQ(next->WriteString("free"), 4);
    EXPECT_EQ(Pty.Receive(4), "free");
}

// DTR/DSR handshake, the receive side: DTR drops when fewer than XOffLimit
// bytes of the queue are free and rises again when at most XOnLimit bytes
// are in it.
TEST_F(SerialPort, DtrFollowsTheReceiveQueueLimits) {
    auto s = MakeSerial();
    s->SetHandshakeDtrDsr(true);
    s->SetBufSizeRec(4096);
    s->SetXOffLimit(1600);
    s->SetXOnLimit(400);
    ASSERT_TRUE(s->Open());
    ASSERT_TRUE(WaitFor([&] { return Lines.Started(); }));
    Pty.Send(std::string(4096 - 1600, 'a')); // exactly XOffLimit free
    ASSERT_TRUE(WaitFor([&] { return s->RecCount() == 4096 - 1600; }));
    EXPECT_EQ(Lines.Dtr(), -1) << "not dropped";
    Pty.Send("b");
    EXPECT_TRUE(WaitFor([&] { return Lines.Dtr() == 0; }));
    EXPECT_EQ(Take(*s, 4096 - 1600 + 1 - 401).size(), size_t{4096 - 1600 + 1 - 401});
    EXPECT_EQ(Lines.Dtr(), 0) << "401 bytes still queued";
    EXPECT_EQ(Take(*s, 1), "a");
    EXPECT_EQ(Lines.Dtr(), 1);
    EXPECT_EQ(Lines.DtrChanges(), 2);
}

TEST_F(SerialPort, OnDataFiresOnlyWithEnoughBytesWaiting) {
    auto s = MakeSerial();
    s->SetSyncEventHandling(true);
    int data = 0, rx = 0;
    s->OnData = [&](QObject*) { ++data; };
    ASSERT_TRUE(s->Open());
    EXPECT_EQ(s->EventMaskOfOpen(), EV_RXCHAR);
    s->SetDataSize(0);
    Pty.Send("0123456789");
    ASSERT_TRUE(WaitFor([&] { return s->RecCount() == 10; }));
    testing_support::ProcessEventsFor(100);
    EXPECT_EQ(data, 0);
    s->SetDataSize(10);
    s->OnRxChar = [&](QObject*) { ++rx; };
    Pty.Send("x");
    EXPECT_TRUE(WaitFor([&] { return data == 1; }));
    EXPECT_EQ(rx, 1);
}

TEST_F(SerialPort, HandlerMayCloseTheComponent) {
    auto s = MakeSerial();
    s->SetSyncEventHandling(true);
    int errors = 0;
    s->OnBreak = [&](QObject*) { s->Close(); };
    s->OnError = [&](QObject*) { ++errors; };
    ASSERT_TRUE(s->Open());
    ASSERT_TRUE(WaitFor([&] { return Lines.Started(); }));
    Lines.Fire(EV_BREAK | EV_ERR);
    EXPECT_TRUE(WaitFor([&] { return !s->Active(); }));
    EXPECT_TRUE(WaitFor([&] { return !Lines.Started(); }));
    EXPECT_EQ(errors, 0); // the rest of that wake-up is dropped with the port
}

// A handler that throws ends its own dispatch only: the thread goes on
// waiting, and Close is not kept waiting for a dispatch that never ended.
TEST_F(SerialPort, ThrowingHandlerNeitherEndsTheThreadNorBlocksClose) {
    for (const bool sync : {false, true}) {
        auto s = MakeSerial();
        s->SetSyncEventHandling(sync);
        std::atomic<int> calls{0};
        s->OnRxChar = [&](QObject*) {
            char buf[16];
            s->ReadBuf(buf, std::min(s->RecCount(), 16));
            if (++calls == 1)
                throw std::runtime_error("handler failed");
        };
        ASSERT_TRUE(s->Open());
        Pty.Send("a");
        ASSERT_TRUE(WaitFor([&] { return calls == 1; })) << sync;
        Pty.Send("b");
        EXPECT_TRUE(WaitFor([&] { return calls == 2; })) << sync;
        EXPECT_TRUE(s->EventThreadRunning()) << sync;
        s->Close();
        EXPECT_FALSE(s->Active());
    }
}

TEST_F(SerialPort, HangUpEndsTheWaitInsteadOfLooping) {
    auto s = MakeSerial();
    s->OnRxChar = [](QObject*) {};
    ASSERT_TRUE(s->Open());
    ASSERT_TRUE(WaitFor([&] { return Lines.Started(); }));
    Pty.CloseMaster(); // the device goes away under the open port
    EXPECT_TRUE(WaitFor([&] { return !s->EventThreadRunning(); }));
    char buf[4];
    EXPECT_EQ(s->ReadBuf(buf, 4), 0); // no wait on a line that is gone
    s->Close();
}

TEST_F(SerialPort, COMRemovedClosesTheDescriptor) {
    auto s = MakeSerial();
    int removed = 0;
    s->OnCOMRemoved = [&](QObject* sender) {
        EXPECT_EQ(sender, s.get());
        ++removed;
    };
    s->OnRxChar = [](QObject*) {};
    ASSERT_TRUE(s->Open());
    s->COMRemoved();
    EXPECT_FALSE(s->Active());
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(s->BoundWriteBuf(), &TSerial::WriteBufNone);
    // The lock went with the descriptor: the device is free again.
    const int other = ::open(Pty.Path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
}

TEST_F(SerialPort, UnpluggedOpenPortIsClosedByTheManager) {
    auto s = MakeSerial();
    int removed = 0;
    s->OnCOMRemoved = [&](QObject*) { ++removed; };
    ASSERT_TRUE(s->Open());
    QFile::remove(Pty.Entry());
    EXPECT_TRUE(COMManager->Rescan());
    EXPECT_EQ(removed, 1);
    EXPECT_FALSE(s->Active());
}

// Components opened, fed, closed and destroyed in a tight loop, with handlers
// on the event thread and on the main thread: a finishing thread must never
// reach a component that is gone (run under ASan and TSan). Half of them die
// right after a dispatch of their own, so some surely die with their thread
// busy, whatever the load.
TEST_F(SerialPort, ComponentsDieWhileTheirThreadsFinish) {
    std::atomic<bool> stop{false};
    std::thread gauge([&] {
        while (!stop.load()) {
            Pty.Send("0123456789\r\n");
            QThread::usleep(200);
        }
    });
    std::atomic<int> events{0};
    for (int i = 0; i < 200; ++i) {
        auto s = MakeSerial();
        s->SetSyncEventHandling(i % 2 == 0);
        s->OnRxChar = [&events, raw = s.get()](QObject*) {
            char buf[64];
            raw->ReadBuf(buf, std::min(raw->RecCount(), 64));
            ++events;
        };
        s->OnEventChar = [&events](QObject*) { ++events; };
        const int before = events.load();
        ASSERT_TRUE(s->Open()) << i;
        if (i % 4 >= 2) // on the main thread (even i) and on the event thread (odd i)
            ASSERT_TRUE(WaitFor([&] { return events.load() > before; })) << i;
        else
            for (int k = 0; k < 3; ++k)
                platform::CheckSynchronize();
        if (i % 3 == 0)
            s->Close();
        s.reset();
    }
    stop = true;
    gauge.join();
    testing_support::ProcessEventsFor(100);
}

} // namespace
