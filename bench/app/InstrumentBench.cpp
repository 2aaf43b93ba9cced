// A gauge on a pseudo-terminal feeding the real main window (offscreen),
// profile 3 connected with its prompt cycle: the program's CPU share at the
// line rate of 921,600 baud, one line per write, how fast and at what CPU
// and memory cost it drains a gauge that sends without pause, the CPU a
// connected quiet link costs, and the time from nothing to a shown,
// connected window. The line rate is measured with the series panel hidden
// (/0) and shown (/1). The same drain runs on the infrared link (a peer on
// the IrCOMM service socket, profile 9), and on both links a gauge that
// sends one line of megabytes without a line end, then a reading.
#include "app/window/TMainScreen.h"
#include "bench/app/BenchSupport.h"
#include "serial/PortsFolder.h"
#include "serial/TCOMManager.h"
#include "serial/TSerial.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/Pty.h"
#include "tests/support/ServicePeer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(clockid_t clock) {
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Resident memory now, and the most this process has had, in MB.
double ResidentMB() {
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1
               ? static_cast<double>(fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE)) / 1e6
               : 0;
}
double PeakResidentMB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1e3;
}

constexpr int kLinesPerSecond = 8400; // 921,600 baud, 11-byte lines
const std::string kLine = "  12.5 um\r\n";

enum class TLinkUnderTest { Serial, Infrared };

// COM5 on a pseudo-terminal in a private ports folder, and the main window
// started with profile 3 on it, connected; or with the infrared profile 9,
// connected, and a peer on its service socket.
class TRig {
public:
    explicit TRig(bool seriesPanel = false, TLinkUnderTest link = TLinkUnderTest::Serial)
        : Link(link) {
        const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Brisquell";
        QDir().mkpath(folder);
        QFile ini(folder + "/BSave.ini");
        if (ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
            ini.write(QByteArray(link == TLinkUnderTest::Serial
                                     ? "[Config]\nDevice=3\nPort=5\nAutoConnect=1\n"
                                     : "[Config]\nDevice=9\nAutoConnect=1\n") +
                      (seriesPanel ? "[Series]\nVisible=1\nLower=12\nUpper=13\n" : ""));
        ini.close();
        Window = std::make_unique<TMainScreen>(Dialogs);
        Window->show();
        QCoreApplication::processEvents();
        Editor = Window->findChild<QPlainTextEdit*>("Editor");
        if (link == TLinkUnderTest::Infrared)
            Peer = std::make_unique<TServicePeer>();
    }
    ~TRig() {
        Editor->document()->setModified(false);
        Window.reset();
    }
    TRig(const TRig&) = delete;
    TRig& operator=(const TRig&) = delete;

    bool Connected() const {
        return Link == TLinkUnderTest::Serial
                   ? Window->findChild<TSerial*>("Serial1")->Active()
                   : Peer->Connected &&
                         Window->findChild<QAction*>("act_interface_disconneced")->isEnabled();
    }
    // The gauge sends, on the link under test.
    void Send(const std::string& bytes) const {
        if (Link == TLinkUnderTest::Serial)
            Pty.Send(bytes);
        else
            Peer->Send(bytes.data(), bytes.size());
    }
    // Every line shows as 10 characters ("  12,5 µm" and its line end).
    int Lines() const { return (Editor->document()->characterCount() - 1) / 10; }
    // Runs the event loop, as the program does (waiting, never spinning),
    // until the editor holds lines readings. A timer looks every 10 ms; the
    // longest gap between its looks is how long the window could not answer.
    bool WaitForLines(int lines, int timeoutMs) {
        return WaitUntil([&] { return Lines() >= lines; }, timeoutMs);
    }
    // Whether the document ends with a reading's unit and a line end.
    bool EndsWithReading() const {
        const QTextDocument* doc = Editor->document();
        const int end = doc->characterCount() - 1; // the last paragraph's end
        if (end < 2)
            return false;
        const QChar lineEnd = doc->characterAt(end - 1);
        return doc->characterAt(end - 2) == u'm' &&
               (lineEnd == QChar::ParagraphSeparator || lineEnd == QChar::LineSeparator);
    }
    template <typename TDone> bool WaitUntil(TDone done, int timeoutMs) {
        QEventLoop loop;
        QElapsedTimer elapsed;
        elapsed.start();
        qint64 lastLook = 0;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            const qint64 now = elapsed.elapsed();
            LongestGapMs = std::max(LongestGapMs, now - lastLook);
            lastLook = now;
            if (done() || now > timeoutMs)
                loop.quit();
        });
        check.start(10);
        loop.exec();
        return done();
    }
    qint64 LongestGapMs = 0;

    const TLinkUnderTest Link;
    TPty Pty;

private:
    QTemporaryDir FPorts;
    const bool FLinked = QFile::link(Pty.Path, FPorts.filePath("COM5"));
    TPrivateSerialModule FModule{FPorts.path()};
    TSilentDialogs Dialogs;

public:
    std::unique_ptr<TMainScreen> Window;
    QPlainTextEdit* Editor = nullptr;
    std::unique_ptr<TServicePeer> Peer;
};

// Lines written one at a time at the line rate; the writer's own CPU time
// is left out of the program's.
void BM_InstrumentAtLineRate(benchmark::State& state) {
    TRig rig(state.range(0) != 0);
    const auto* panel = rig.Window->findChild<TSeriesPanel*>("SeriesPanel");
    if (!rig.Connected()) {
        state.SkipWithError("COM5 did not connect");
        return;
    }
    const int lines = kLinesPerSecond * 2;
    double share = 0;
    double refreshes = 0;
    for (auto _ : state) {
        const int before = rig.Lines();
        const qsizetype refreshesBefore = panel->Refreshes();
        std::atomic<double> writerCpu{0};
        const double cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        const auto wallStart = TClock::now();
        std::thread writer([&] {
            const double mine = Seconds(CLOCK_THREAD_CPUTIME_ID);
            const auto step = std::chrono::nanoseconds(1'000'000'000 / kLinesPerSecond);
            auto next = TClock::now();
            for (int i = 0; i < lines; ++i) {
                rig.Pty.Send(kLine);
                next += step;
                std::this_thread::sleep_until(next);
            }
            writerCpu = Seconds(CLOCK_THREAD_CPUTIME_ID) - mine;
        });
        const bool arrived = rig.WaitForLines(before + lines, 120000);
        writer.join();
        const double wall = std::chrono::duration<double>(TClock::now() - wallStart).count();
        if (!arrived) {
            state.SkipWithError("readings were lost or late");
            return;
        }
        share = (Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart - writerCpu) / wall;
        refreshes = static_cast<double>(panel->Refreshes() - refreshesBefore) / wall;
    }
    state.counters["cpu_share_percent"] = share * 100;
    state.counters["lines_per_second"] = kLinesPerSecond;
    state.counters["series_readings"] = static_cast<double>(rig.Window->Series().Size());
    state.counters["panel_refreshes_per_second"] = refreshes;
}
BENCHMARK(BM_InstrumentAtLineRate)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// A gauge that sends without pause: lines the program takes in a second,
// the CPU it spends per MB (the writer's left out) and its memory after.
// The argument is the number of lines; 1,000,000 lines are 11 MB.
void Drain(benchmark::State& state, TLinkUnderTest link) {
    TRig rig(false, link);
    if (!rig.Connected()) {
        state.SkipWithError("the link did not connect");
        return;
    }
    const int lines = static_cast<int>(state.range(0));
    std::string burst;
    for (int i = 0; i < 1000; ++i)
        burst += kLine;
    double rate = 0;
    double cpuPerMB = 0;
    for (auto _ : state) {
        const int before = rig.Lines();
        std::atomic<double> writerCpu{0};
        const double cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        const auto wallStart = TClock::now();
        std::thread writer([&] {
            const double mine = Seconds(CLOCK_THREAD_CPUTIME_ID);
            for (int i = 0; i < lines / 1000; ++i)
                rig.Send(burst);
            writerCpu = Seconds(CLOCK_THREAD_CPUTIME_ID) - mine;
        });
        const bool arrived = rig.WaitForLines(before + lines, 600000);
        const double wall = std::chrono::duration<double>(TClock::now() - wallStart).count();
        writer.join();
        if (!arrived) {
            state.SkipWithError("readings were lost or late");
            return;
        }
        rate = lines / wall;
        const double megabytes =
            static_cast<double>(lines) * static_cast<double>(kLine.size()) / 1e6;
        cpuPerMB = (Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart - writerCpu) / megabytes;
    }
    state.counters["lines_per_second"] = rate;
    state.counters["MB_per_second"] = rate * static_cast<double>(kLine.size()) / 1e6;
    state.counters["cpu_s_per_MB"] = cpuPerMB;
    state.counters["us_per_line"] = 1e6 / rate;
    state.counters["rss_MB"] = ResidentMB();
    state.counters["peak_rss_MB"] = PeakResidentMB();
    state.counters["longest_gap_ms"] = static_cast<double>(rig.LongestGapMs);
}
void BM_InstrumentDrain(benchmark::State& state) {
    Drain(state, TLinkUnderTest::Serial);
}
BENCHMARK(BM_InstrumentDrain)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
void BM_InstrumentInfraredDrain(benchmark::State& state) {
    Drain(state, TLinkUnderTest::Infrared);
}
BENCHMARK(BM_InstrumentInfraredDrain)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// A gauge that sends one line of range(1) bytes without a line end (digits,
// so no conversion touches it), then a reading: the rate it is taken at,
// to compare with the drain of ordinary lines on the same link, and how
// long the reading takes to show once it is written (the line before it
// has then been read, all but what the link's buffers hold). range(0): 0
// the serial link, 1 the infrared link.
void BM_InstrumentLongLine(benchmark::State& state) {
    TRig rig(false, state.range(0) == 0 ? TLinkUnderTest::Serial : TLinkUnderTest::Infrared);
    if (!rig.Connected()) {
        state.SkipWithError("the link did not connect");
        return;
    }
    const auto size = static_cast<size_t>(state.range(1));
    std::string chunk;
    while (chunk.size() < 10000)
        chunk += "0123456789";
    const std::string reading = "  12.5 um\r\n";
    double rate = 0;
    double latencyMs = 0;
    for (auto _ : state) {
        std::atomic<TClock::rep> readingSent{0};
        const auto wallStart = TClock::now();
        std::thread writer([&] {
            for (size_t sent = 0; sent < size; sent += chunk.size())
                rig.Send(chunk.substr(0, std::min(chunk.size(), size - sent)));
            rig.Send(reading);
            readingSent = TClock::now().time_since_epoch().count();
        });
        const bool shown = rig.WaitUntil([&] { return rig.EndsWithReading(); }, 600000);
        const auto shownAt = TClock::now();
        writer.join();
        if (!shown) {
            state.SkipWithError("the reading did not show");
            return;
        }
        rate = static_cast<double>(size + reading.size()) /
               std::chrono::duration<double>(shownAt - wallStart).count();
        latencyMs = std::chrono::duration<double, std::milli>(
                        shownAt - TClock::time_point(TClock::duration(readingSent.load())))
                        .count();
    }
    state.counters["MB_per_second"] = rate / 1e6;
    state.counters["reading_shown_after_ms"] = latencyMs;
    state.counters["peak_rss_MB"] = PeakResidentMB();
    state.counters["longest_gap_ms"] = static_cast<double>(rig.LongestGapMs);
}
BENCHMARK(BM_InstrumentLongLine)
    ->ArgsProduct({{0, 1}, {1'000'000, 10'000'000}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// A connected link on which nothing arrives, for BRISQUELL_IDLE_SECONDS (60
// by default): the CPU share the program costs while it waits, the prompt
// request going out every second included.
void BM_InstrumentIdle(benchmark::State& state) {
    TRig rig;
    if (!rig.Connected()) {
        state.SkipWithError("COM5 did not connect");
        return;
    }
    const int seconds = qEnvironmentVariableIntValue("BRISQUELL_IDLE_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("BRISQUELL_IDLE_SECONDS")
                            : 60;
    double share = 0;
    for (auto _ : state) {
        const double cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        const auto wallStart = TClock::now();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double wall = std::chrono::duration<double>(TClock::now() - wallStart).count();
        share = (Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart) / wall;
    }
    state.counters["cpu_share_percent"] = share * 100;
    state.counters["seconds"] = seconds;
}
BENCHMARK(BM_InstrumentIdle)->Iterations(1)->Unit(benchmark::kMillisecond);

// From nothing to the window shown and connected on its port: building
// the window, reading the settings, scanning and opening the port, the
// first paint. (Loading the program and Qt comes before this; the whole
// process is measured from outside, see docs/performance.md.)
void BM_InstrumentStartUp(benchmark::State& state) {
    for (auto _ : state) {
        TRig rig;
        QCoreApplication::processEvents();
        if (!rig.Connected() || !rig.Window->isVisible()) {
            state.SkipWithError("the window did not come up connected");
            return;
        }
    }
}
BENCHMARK(BM_InstrumentStartUp)->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
