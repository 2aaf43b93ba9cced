// How soon a reading handed to the typing queue is typed into another
// program: until XTEST's calls returned (the X server has the keys), and
// until the reading arrived in an xterm's file. Needs an X server with a
// window manager:
//   tests/app/run-under-window-manager.sh build/bench/wedge_bench
#include "tests/wedge/XtermTarget.h"
#include "wedge/KeyboardWedge.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

using namespace wedge;

namespace {

// The queue and its target, made once for all the benchmarks.
struct TBench {
    TXtermTarget Target;
    TKeyboardWedge Wedge{[] { return true; }};
    int Typed = 0;
    qint64 Expected = 0;
    int Fresh = 0;
};
TBench* gBench = nullptr;
constexpr int NewKeyEach = 4;
constexpr int NewKeyRuns = 15;

// The input patterns: plain digits, Shift for capitals and signs, the micro
// sign on a borrowed key (borrowed once, then kept), 64 characters, and a
// character the map lacks that is new each time (the map changes for each
// reading; the server has 19 free codes, so a run takes 15 and the keys
// are put back before the next run).
QString Reading(int pattern) {
    switch (pattern) {
    case 0:
        return QStringLiteral("12,5 mm");
    case 1:
        return QStringLiteral("IR K7X: +4.210 mm");
    case 2:
        return QStringLiteral("12,5 µm");
    case 3:
        return QStringLiteral("USB K65: 0.1657 in 0123456789 abcdefghij ABCDEFGHIJ 0123456789xy");
    default:
        return QStringLiteral("Nr ") + QChar(0x4E00 + gBench->Fresh++) + QStringLiteral(" 12,5 mm");
    }
}

const char* PatternName(int pattern) {
    static const char* const names[] = {"plain", "shifted", "micro sign", "64 characters",
                                        "new key each"};
    return names[pattern];
}

// Hands one reading over; the time until it was typed, or until it arrived.
void Measure(benchmark::State& state, bool arrival) {
    state.SetLabel(PatternName(static_cast<int>(state.range(0))));
    if (state.range(0) == NewKeyEach && gBench->Fresh % NewKeyRuns == 0) {
        QElapsedTimer resting;
        resting.start();
        while (!resting.hasExpired(3000))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    for (auto _ : state) {
        const QString reading = Reading(static_cast<int>(state.range(0)));
        gBench->Expected += reading.toUtf8().size() + 1;
        const int typed = gBench->Typed;
        QElapsedTimer elapsed;
        elapsed.start();
        gBench->Wedge.Submit(reading);
        while (arrival ? gBench->Target.TypedSize() < gBench->Expected : gBench->Typed == typed) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (arrival)
                QThread::usleep(100);
            if (elapsed.hasExpired(60000)) {
                state.SkipWithError("the reading did not arrive");
                return;
            }
        }
        state.SetIterationTime(static_cast<double>(elapsed.nsecsElapsed()) * 1e-9);
        // Until it arrived, as the next reading would find the target.
        while (gBench->Target.TypedSize() < gBench->Expected) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (elapsed.hasExpired(60000)) {
                state.SkipWithError("the reading did not arrive");
                return;
            }
        }
    }
}

void BM_HandOverToXtest(benchmark::State& state) {
    Measure(state, false);
}

void BM_HandOverToArrival(benchmark::State& state) {
    Measure(state, true);
}

double Worst(const std::vector<double>& values) {
    return *std::max_element(values.begin(), values.end());
}

void Common(benchmark::internal::Benchmark* bench) {
    bench->ArgName("pattern")
        ->UseManualTime()
        ->Iterations(1)
        ->ComputeStatistics("worst", Worst)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond);
}
void Patterns(benchmark::internal::Benchmark* bench) {
    Common(bench->DenseRange(0, NewKeyEach - 1)->Repetitions(40));
}
void NewKeys(benchmark::internal::Benchmark* bench) {
    Common(bench->Arg(NewKeyEach)->Repetitions(NewKeyRuns));
}
BENCHMARK(BM_HandOverToXtest)->Apply(Patterns);
BENCHMARK(BM_HandOverToXtest)->Apply(NewKeys);
BENCHMARK(BM_HandOverToArrival)->Apply(Patterns);
BENCHMARK(BM_HandOverToArrival)->Apply(NewKeys);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XDG_SESSION_TYPE");
    TBench bench;
    if (!bench.Target.Failure().isEmpty()) {
        std::fprintf(stderr, "%s (run it under tests/app/run-under-window-manager.sh)\n",
                     qPrintable(bench.Target.Failure()));
        return 1;
    }
    gBench = &bench;
    QObject::connect(&bench.Wedge, &TKeyboardWedge::Typed, [&] { ++bench.Typed; });
    bench.Wedge.Start();
    QElapsedTimer starting;
    starting.start();
    while (bench.Wedge.State() != TWedgeState::On && !starting.hasExpired(60000))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (bench.Wedge.State() != TWedgeState::On) {
        std::fprintf(stderr, "typing did not start\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
