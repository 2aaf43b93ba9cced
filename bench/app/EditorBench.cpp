// Readings streaming into the shown editor at the line rate of 921,600 baud:
// CPU time per line including painting, with a short and a long document, and
// the resident memory each line costs; and the memory a reading costs when
// each comes alone, as a gauge read by hand sends them.
#include "app/capture/EditorInserter.h"
#include "app/window/TMainScreen.h"
#include "bench/app/BenchSupport.h"
#include "tests/app/FakeByteSource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QThread>

#include <chrono>
#include <thread>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

// CPU time of the main thread: the editor, its layout and its painting.
double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

constexpr double kLinesPerSecond = 8400.0; // 921,600 baud, 11-byte lines
const QByteArray kLine = "  12.5 um\r\n";

// Fills the document as fast as it goes, each line its own insertion.
void Prefill(TMainScreen& window, int lines) {
    for (int i = 0; i < lines; ++i) {
        window.AddReceivedText(kLine);
        if (i % 4096 == 0)
            QCoreApplication::processEvents();
    }
    window.Inserter().Flush();
    QCoreApplication::processEvents();
}

// Streams lines at the line rate, one receive event each, as the serial
// event thread hands them to the main thread; returns CPU s/line.
double Stream(TMainScreen& window, int lines) {
    QEventLoop loop;
    const double cpuStart = CpuSeconds();
    std::thread feeder([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < lines; ++i) {
            std::this_thread::sleep_until(
                start + std::chrono::nanoseconds(static_cast<qint64>(i * 1e9 / kLinesPerSecond)));
            QMetaObject::invokeMethod(
                &window, [&window] { window.AddReceivedText(kLine); }, Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    feeder.join();
    window.Inserter().Flush();
    QCoreApplication::processEvents();
    return (CpuSeconds() - cpuStart) / lines;
}

void BM_EditorStream(benchmark::State& state) {
    const int documentLines = static_cast<int>(state.range(0));
    TSilentDialogs dialogs;
    TMainScreen window(dialogs);
    window.show();
    QCoreApplication::processEvents();
    const double before = ResidentBytes();
    Prefill(window, documentLines);
    const double perLineMemory = (ResidentBytes() - before) / std::max(documentLines, 1);
    double cpuPerLine = 0;
    for (auto _ : state)
        cpuPerLine = Stream(window, 8400);
    state.counters["cpu_us_per_line"] = cpuPerLine * 1e6;
    state.counters["rss_bytes_per_line"] = perLineMemory;
    window.findChild<QPlainTextEdit*>("Editor")->document()->setModified(false);
}
BENCHMARK(BM_EditorStream)->Arg(10000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The insertion alone, as fast as it goes, painting once per frame.
void BM_EditorInsert(benchmark::State& state) {
    TSilentDialogs dialogs;
    TMainScreen window(dialogs);
    window.show();
    QCoreApplication::processEvents();
    for (auto _ : state)
        window.AddReceivedText(kLine);
    window.Inserter().Flush();
    window.findChild<QPlainTextEdit*>("Editor")->document()->setModified(false);
}
BENCHMARK(BM_EditorInsert)->Iterations(100000);

// Readings that come one at a time over the serial link, each its own
// batch and repaint, as readings taken by hand every 50 ms do: the resident
// memory each adds, with its series record and its journal record. Counted
// after the first readings, which start what the window starts lazily.
void BM_EditorLoneReadings(benchmark::State& state) {
    const int readings = static_cast<int>(state.range(0));
    TSilentDialogs dialogs;
    TMainScreen window(dialogs);
    TFakeByteSource port;
    window.SetReceptionSource(&port);
    window.show();
    QCoreApplication::processEvents();
    const auto one = [&](int i) {
        port.Feed("  " + QByteArray::number(i % 1000) + ".5 um\r\n");
        window.Serial1RxChar(nullptr);
        window.Inserter().Flush();
        QCoreApplication::processEvents();
    };
    for (int i = 0; i < 500; ++i)
        one(i);
    double perReading = 0;
    for (auto _ : state) {
        const double before = ResidentBytes();
        for (int i = 0; i < readings; ++i)
            one(i);
        perReading = (ResidentBytes() - before) / readings;
    }
    state.counters["rss_bytes_per_reading"] = perReading;
    window.findChild<QPlainTextEdit*>("Editor")->document()->setModified(false);
}
BENCHMARK(BM_EditorLoneReadings)->Arg(20000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
