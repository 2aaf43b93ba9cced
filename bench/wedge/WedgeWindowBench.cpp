// Typing readings into another program, end to end: the real window on an
// X server (Qt's xcb platform) with a gauge on COM5, and an xterm with the
// focus that writes what it is typed to a file. Needs a window manager:
//   tests/app/run-under-window-manager.sh build/bench/wedge_window_bench
//
// LineRate: the program's CPU share at the 921,600-baud line rate for two
// seconds with typing off and on, alternating in each repetition, one line
// a write (/0) and 42 lines a write every 5 ms (/1). At that rate readings
// outrun any typing: the item turns itself off once more than 100 wait, as
// it must for a runaway stream.
// Steady: a reading every 50 ms for four seconds, which typing keeps up
// with, off and on alternating.
// Arrival: from the gauge's line to its arrival in the xterm, a reading
// every 200 ms, without (/0) and with (/1) the micro sign, which goes
// through a borrowed key.
#include "app/window/WedgeView.h"
#include "bench/app/InstrumentRig.h"
#include "tests/wedge/XtermTarget.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

using namespace bench_rig;

namespace {

TXtermTarget* gTarget = nullptr;

// Away from the screen's middle, where the pointer rests: the window
// manager's focus follows the pointer, and the xterm must keep it.
const QByteArray kPlace = "[Window]\nLeft=680\nTop=560\nHeight=400\nWidth=560\n";

// CPU seconds of the typing thread (named "typing"), from the kernel's
// per-thread accounting in nanoseconds.
double TypingThreadSeconds() {
    double seconds = 0;
    for (const QString& task :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        QFile schedstat("/proc/self/task/" + task + "/schedstat");
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "typing" &&
            schedstat.open(QIODevice::ReadOnly))
            seconds += schedstat.readAll().split(' ').value(0).toDouble() * 1e-9;
    }
    return seconds;
}

class TTypingRig : public TRig {
public:
    TTypingRig() : TRig(false, TLinkUnderTest::Serial, kPlace), View(Window->WedgeView()) {
        QObject::connect(&View.Wedge(), &wedge::TKeyboardWedge::Typed, Window.get(),
                         [this] { ++Typed; });
    }

    // Typing on or off, with the xterm given the focus.
    bool Switch(bool on) {
        QAction* item = Window->findChild<QAction*>("TypeIntoWindow1");
        if (item->isChecked() != on)
            item->trigger();
        const auto wanted = on ? wedge::TWedgeState::On : wedge::TWedgeState::Off;
        return gTarget->Focus() &&
               WaitUntil([&] { return View.Wedge().State() == wanted && View.MayType(); }, 60000);
    }

    struct TShare {
        double Program = -1; // the whole program, the writer's own CPU left out
        double Typing = 0;   // the typing thread's part of it
    };
    // The CPU shares while lines go out at the rate given, perWrite at a
    // time; Program negative when they did not all arrive.
    TShare Share(int linesPerSecond, int perWrite, int lines) {
        const int before = Lines();
        std::string chunk;
        for (int i = 0; i < perWrite; ++i)
            chunk += kLine;
        std::atomic<double> writerCpu{0};
        const double cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        const double typingStart = TypingThreadSeconds();
        const auto wallStart = TClock::now();
        std::thread writer([&] {
            const double mine = Seconds(CLOCK_THREAD_CPUTIME_ID);
            const auto step = std::chrono::nanoseconds(1'000'000'000LL * perWrite / linesPerSecond);
            auto next = TClock::now();
            for (int i = 0; i < lines; i += perWrite) {
                Pty.Send(chunk);
                next += step;
                std::this_thread::sleep_until(next);
            }
            writerCpu = Seconds(CLOCK_THREAD_CPUTIME_ID) - mine;
        });
        const bool arrived = WaitForLines(before + lines, 120000);
        writer.join();
        const double wall = std::chrono::duration<double>(TClock::now() - wallStart).count();
        // Readings still waiting are typed (or dropped) before the typing
        // thread's part is taken.
        WaitUntil([&] { return View.Wedge().State() == wedge::TWedgeState::Off || Typed >= lines; },
                  60000);
        if (!arrived)
            return {};
        const double typing = TypingThreadSeconds() - typingStart;
        return {(Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart - writerCpu) / wall, typing / wall};
    }

    TWedgeView& View;
    int Typed = 0;
};

// Off, then on, in each repetition: the two see the same machine.
void OffAndOn(benchmark::State& state, int linesPerSecond, int perWrite, int lines) {
    TTypingRig rig;
    if (!rig.Connected()) {
        state.SkipWithError("COM5 did not connect");
        return;
    }
    TTypingRig::TShare off;
    TTypingRig::TShare on;
    for (auto _ : state) {
        if (!rig.Switch(false) || (off = rig.Share(linesPerSecond, perWrite, lines)).Program < 0 ||
            !rig.Switch(true) || (on = rig.Share(linesPerSecond, perWrite, lines)).Program < 0) {
            state.SkipWithError("typing did not switch, or readings were lost or late");
            return;
        }
    }
    // The capture: the program less the typing thread.
    const double captureOff = off.Program - off.Typing;
    const double captureOn = on.Program - on.Typing;
    state.counters["cpu_off_percent"] = off.Program * 100;
    state.counters["cpu_on_percent"] = on.Program * 100;
    state.counters["capture_off_percent"] = captureOff * 100;
    state.counters["capture_on_percent"] = captureOn * 100;
    state.counters["capture_on_over_off"] = captureOn / captureOff;
    state.counters["typed"] = rig.Typed;
    state.counters["still_on"] = rig.View.Wedge().State() == wedge::TWedgeState::On ? 1 : 0;
}

void BM_TypingAtLineRate(benchmark::State& state) {
    const int perWrite = state.range(0) == 0 ? 1 : 42;
    OffAndOn(state, kLinesPerSecond, perWrite, kLinesPerSecond * 2);
}
BENCHMARK(BM_TypingAtLineRate)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);

void BM_TypingSteady(benchmark::State& state) {
    OffAndOn(state, 20, 1, 80);
}
BENCHMARK(BM_TypingSteady)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond);

void BM_TypingArrival(benchmark::State& state) {
    TTypingRig rig;
    if (!rig.Connected() || !rig.Switch(true)) {
        state.SkipWithError("COM5 did not connect, or typing did not start");
        return;
    }
    // "12.5 µm" and "+10.000 mm" with their Enter, in UTF-8.
    const bool micro = state.range(0) != 0;
    const std::string line = micro ? "  12.5 um\r\n" : "+10.000 mm\r\n";
    const qint64 bytes = micro ? 9 : 11;
    std::vector<double> ms;
    for (auto _ : state) {
        for (int i = 0; i < 40; ++i) {
            const qint64 expected = gTarget->TypedSize() + bytes;
            const auto sent = TClock::now();
            rig.Pty.Send(line);
            while (gTarget->TypedSize() < expected) {
                QCoreApplication::processEvents(QEventLoop::AllEvents);
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                if (TClock::now() - sent > std::chrono::seconds(60)) {
                    state.SkipWithError("a reading did not arrive");
                    return;
                }
            }
            ms.push_back(std::chrono::duration<double, std::milli>(TClock::now() - sent).count());
            rig.WaitUntil([&] { return TClock::now() - sent > std::chrono::milliseconds(200); },
                          1000);
        }
    }
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["worst_ms"] = ms.back();
    state.counters["still_on"] = rig.View.Wedge().State() == wedge::TWedgeState::On ? 1 : 0;
}
BENCHMARK(BM_TypingArrival)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "needs an X server (run it under "
                             "tests/app/run-under-window-manager.sh)\n");
        return 1;
    }
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XDG_SESSION_TYPE");
    int result = 0;
    RunWindowBenchmarks(argc, argv, [&](const std::function<void()>& run) {
        TXtermTarget target;
        if (!target.Failure().isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(target.Failure()));
            result = 1;
            return;
        }
        gTarget = &target;
        run();
    });
    return result;
}
