// A gauge on a pseudo-terminal feeding the real main window (offscreen),
// profile 3 connected with its prompt cycle: the program's CPU share at the
// line rate of 921,600 baud, one line per write, how fast and at what CPU
// and memory cost it drains a gauge that sends without pause, the CPU a
// connected quiet link costs, and the time from nothing to a shown,
// connected window. The line rate is measured with the series panel hidden
// (/0) and shown (/1). The same drain runs on the infrared link (a peer on
// the IrCOMM service socket, profile 9), and on both links a gauge that
// sends one line of megabytes without a line end, then a reading.
#include "bench/app/InstrumentRig.h"
#include "serial/PortsFolder.h"
#include "serial/TCOMManager.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

namespace {

using namespace bench_rig;

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
