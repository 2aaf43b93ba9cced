// The capture journal's cost: readings streaming into the shown editor at the
// line rate of 921,600 baud with and without the journal (CPU share of the
// main thread, the journal's queued bytes, disk syncs per second), and a gauge
// sending one reading a second (disk syncs).
#include "app/capture/EditorInserter.h"
#include "app/journal/DocumentJournal.h"
#include "bench/app/BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QPlainTextEdit>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <thread>

namespace {

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

const QByteArray kLine = "  12,5 um\r\n";

struct TStreamResult {
    double CpuSeconds = 0;
    double WallSeconds = 0;
    qsizetype PeakPending = 0;
    qsizetype Syncs = 0;
};

// Hands `lines` readings to the main thread at `perSecond`, as the serial
// event thread does, into an editor with or without a journal.
TStreamResult Stream(bool journaled, int lines, double perSecond) {
    QPlainTextEdit editor;
    editor.show();
    auto* inserter = new TEditorInserter(&editor);
    TCaptureSession session;
    std::unique_ptr<TDocumentJournal> journal;
    if (journaled) {
        QDir().mkpath(journal::Folder());
        journal = std::make_unique<TDocumentJournal>(&editor, *inserter, session,
                                                     journal::NewJournalPath(journal::Folder()));
    }
    QCoreApplication::processEvents();
    TStreamResult result;
    QEventLoop loop;
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    std::thread feeder([&] {
        for (int i = 0; i < lines; ++i) {
            std::this_thread::sleep_until(
                wallStart + std::chrono::nanoseconds(static_cast<qint64>(i * 1e9 / perSecond)));
            QMetaObject::invokeMethod(
                &editor,
                [&] {
                    inserter->InsertAnsi(kLine);
                    if (journal)
                        result.PeakPending =
                            std::max(result.PeakPending, journal->Writer().Pending());
                },
                Qt::QueuedConnection);
        }
        // One more sync period, so the last readings reach the disk.
        std::this_thread::sleep_for(std::chrono::milliseconds(TDocumentJournal::SyncMs + 100));
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    feeder.join();
    result.CpuSeconds = CpuSeconds() - cpuStart;
    result.WallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (journal)
        result.Syncs = journal->Writer().Syncs();
    editor.document()->setModified(false); // the journal goes
    return result;
}

void BM_JournalLineRate(benchmark::State& state) {
    const bool journaled = state.range(0) != 0;
    TStreamResult result;
    for (auto _ : state)
        result = Stream(journaled, 3 * 8400, 8400.0); // three seconds at 921,600 baud
    state.counters["cpu_percent"] = 100.0 * result.CpuSeconds / result.WallSeconds;
    state.counters["peak_queued_bytes"] = static_cast<double>(result.PeakPending);
    state.counters["syncs_per_second"] = static_cast<double>(result.Syncs) / result.WallSeconds;
}
BENCHMARK(BM_JournalLineRate)
    ->ArgName("journal")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_JournalOneReadingASecond(benchmark::State& state) {
    TStreamResult result;
    for (auto _ : state)
        result = Stream(true, 6, 1.0);
    state.counters["syncs_per_second"] = static_cast<double>(result.Syncs) / result.WallSeconds;
    state.counters["syncs"] = static_cast<double>(result.Syncs);
}
BENCHMARK(BM_JournalOneReadingASecond)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
