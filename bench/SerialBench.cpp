// Throughput from a pseudo-terminal through the event thread, OnRxChar and
// bulk ReadBuf, against the bare pseudo-terminal read as dd reads it; the CPU
// an idle open port costs; Close to the thread's end.

#include "serial/PortsFolder.h"
#include "serial/TCOMManager.h"
#include "serial/TSerial.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/Pty.h"
#include "tests/support/ScopedEnv.h"

#include "oskit/Pty.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <time.h>
#include <vector>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

double CpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A private ports folder with COM5 on a pseudo-terminal, and the manager on it.
class TBenchPort {
public:
    TBenchPort() { COMManager->Scan(5); }

    TPty Pty;

private:
    QTemporaryDir FPorts;
    const bool FLinked = QFile::link(Pty.Path, FPorts.filePath("COM5"));
    TPrivateSerialModule FModule{FPorts.path()};
};

// Each iteration streams 64 MiB through the port and as much through each of
// two bare pseudo-terminals, alternating in 8 MiB segments, so all three see
// the same load on a shared machine.
constexpr size_t kSegmentBytes = 8u << 20;
constexpr int kSegments = 8;

// The gauge floods the line: kSegmentBytes in 64 KiB writes from a thread of
// its own, while the caller's Received() waits for them all.
template <typename TReceived> double TimeSegment(int Master, TReceived Received) {
    const std::vector<char> chunk(65536, 'x');
    const auto t0 = TClock::now();
    std::thread writer([&] {
        for (size_t sent = 0; sent < kSegmentBytes;) {
            const size_t size = std::min(chunk.size(), kSegmentBytes - sent);
            const ssize_t n = ::write(Master, chunk.data(), size);
            if (n > 0) {
                sent += static_cast<size_t>(n);
                continue;
            }
            pollfd p{Master, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    });
    Received();
    writer.join();
    return std::chrono::duration<double>(TClock::now() - t0).count();
}

// What a pseudo-terminal carries by itself: its slave read in blocking
// 64 KiB reads, as `dd if=SLAVE of=/dev/null bs=64k` reads it.
double BareSegment(const oskit::TPtyPair& Pty) {
    std::vector<char> buffer(65536);
    return TimeSegment(Pty.Master.Get(), [&] {
        for (size_t got = 0; got < kSegmentBytes;) {
            const ssize_t n = ::read(Pty.Slave.Get(), buffer.data(), buffer.size());
            if (n > 0)
                got += static_cast<size_t>(n);
        }
    });
}

// The main window's way: handlers on the main thread, everything waiting
// read in one call. Against the port's rate: "x_bare_pty", the rate of a
// bare pseudo-terminal in raw mode, and "x_same_line", that of one with the
// line settings the port gives its own (input marked for line errors, which
// costs the kernel's line discipline more per byte than raw mode): the
// component's own share.
void BM_Throughput(benchmark::State& State) {
    TBenchPort port;
    const oskit::TPtyPair bare = oskit::OpenPtyPair(oskit::TPtyLine::Raw);
    const oskit::TPtyPair sameLine = oskit::OpenPtyPair(oskit::TPtyLine::Raw);
    TSerial serial;
    serial.SetCOMPort(5);
    serial.SetBufSizeRec(static_cast<int>(State.range(0)));
    serial.SetSyncEventHandling(true);
    std::vector<char> buffer(static_cast<size_t>(serial.BufSizeRec()));
    size_t received = 0;
    size_t events = 0;
    serial.OnRxChar = [&](QObject*) {
        const int n = serial.ReadBuf(
            buffer.data(), std::min<int>(serial.RecCount(), static_cast<int>(buffer.size())));
        received += static_cast<size_t>(n);
        ++events;
    };
    serial.SetSyncWait(false);
    if (!serial.Open()) {
        State.SkipWithError("open failed");
        return;
    }
    termios line{};
    if (::tcgetattr(port.Pty.Slave(), &line) != 0 ||
        ::tcsetattr(sameLine.Slave.Get(), TCSANOW, &line) != 0) {
        State.SkipWithError("line settings not copied");
        return;
    }
    double cpu = 0, seconds = 0, bareSeconds = 0, sameLineSeconds = 0;
    const uint64_t wakeups = serial.EventThreadWakeups();
    for (auto _ : State) {
        double s = 0;
        for (int segment = 0; segment < kSegments; ++segment) {
            bareSeconds += BareSegment(bare);
            sameLineSeconds += BareSegment(sameLine);
            received = 0;
            const double cpu0 = CpuSeconds();
            s += TimeSegment(port.Pty.Master(), [&] {
                // Waits in the event loop as the window does: processEvents
                // with a time limit polls instead, and a polling main thread
                // takes a core the other threads need.
                while (received < kSegmentBytes)
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            });
            cpu += CpuSeconds() - cpu0;
        }
        State.SetIterationTime(s);
        seconds += s;
    }
    const double mb = static_cast<double>(kSegmentBytes) * kSegments *
                      static_cast<double>(State.iterations()) / 1e6;
    State.counters["MB/s"] = mb / seconds;
    State.counters["bare_pty_MB/s"] = mb / bareSeconds;
    State.counters["x_bare_pty"] = bareSeconds / seconds;
    State.counters["x_same_line"] = sameLineSeconds / seconds;
    State.counters["KB_per_event"] = mb * 1e3 / static_cast<double>(std::max<size_t>(events, 1));
    State.counters["wakeups_per_MB"] =
        static_cast<double>(serial.EventThreadWakeups() - wakeups) / mb;
    // Both ends of the line run in this process: the figure includes the
    // writer's share.
    State.counters["CPU_s_per_MB"] = cpu / mb;
    serial.Close();
}
BENCHMARK(BM_Throughput)->Arg(4096)->Arg(65536)->UseManualTime()->Unit(benchmark::kMillisecond);

// An open port with a handler and no traffic: its thread must sleep.
void BM_Idle(benchmark::State& State) {
    TBenchPort port;
    TSerial serial;
    serial.SetCOMPort(5);
    serial.SetSyncEventHandling(true);
    serial.OnRxChar = [](QObject*) {};
    if (!serial.Open()) {
        State.SkipWithError("open failed");
        return;
    }
    for (auto _ : State) {
        const uint64_t wakeups = serial.EventThreadWakeups();
        const double cpu0 = CpuSeconds();
        QThread::sleep(10); // the main thread sleeps: what is spent is the port's
        State.counters["CPU_s_in_10s"] = CpuSeconds() - cpu0;
        State.counters["wakeups"] = static_cast<double>(serial.EventThreadWakeups() - wakeups);
    }
    serial.Close();
}
BENCHMARK(BM_Idle)->Iterations(1)->Unit(benchmark::kSecond);

// The thread stops its line-event source as the last thing before it ends.
class TEndProbe final : public TLineEventSource {
public:
    explicit TEndProbe(std::atomic<int64_t>& Ended) : FEnded(Ended) {}
    void Start(int, uint32_t, TPost) override {}
    void Stop() override { FEnded = TClock::now().time_since_epoch().count(); }

private:
    std::atomic<int64_t>& FEnded;
};

void BM_CloseToThreadEnd(benchmark::State& State) {
    TBenchPort port;
    TSerial serial;
    serial.SetCOMPort(5);
    serial.OnRxChar = [](QObject*) {};
    std::atomic<int64_t> ended{0};
    serial.LineEventSourceFactory = [&] { return std::make_unique<TEndProbe>(ended); };
    std::vector<double> micros, closes;
    for (auto _ : State) {
        ended = 0;
        if (!serial.Open()) {
            State.SkipWithError("open failed");
            return;
        }
        QThread::msleep(2); // let the thread reach its wait
        const int64_t closed = TClock::now().time_since_epoch().count();
        serial.Close();
        closes.push_back(std::chrono::duration<double, std::micro>(
                             TClock::now().time_since_epoch() - TClock::duration(closed))
                             .count());
        while (ended.load() == 0)
            std::this_thread::yield();
        const auto d = std::chrono::duration<double, std::micro>(TClock::duration(ended - closed));
        micros.push_back(d.count());
        State.SetIterationTime(d.count() * 1e-6);
    }
    std::sort(micros.begin(), micros.end());
    std::sort(closes.begin(), closes.end());
    State.counters["median_us"] = micros[micros.size() / 2];
    State.counters["close_call_median_us"] = closes[closes.size() / 2];
}
BENCHMARK(BM_CloseToThreadEnd)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    const TTemporaryConfigHome config;
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
