// Opening and saving a document of 1,000,000 readings (about 12 MB) in the
// shown window, through the Open and Save As commands; and the file format's
// decoding and encoding alone.
#include "app/document/DocumentFile.h"
#include "app/window/TMainScreen.h"
#include "bench/app/BenchSupport.h"
#include "tests/app/FakeFileDialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kReadings = 1000000;

// Readings as the reception writes them, in Windows-1252 with CR LF.
QByteArray Readings() {
    QByteArray bytes;
    bytes.reserve(kReadings * 13);
    for (int i = 0; i < kReadings; ++i)
        bytes +=
            "  " + QByteArray::number(i % 1000) + "," + QByteArray::number(i % 97) + " \xB5m\r\n";
    return bytes;
}

class TDocumentBench {
public:
    TDocumentBench() {
        QFile file(Source());
        file.open(QIODevice::WriteOnly);
        file.write(Readings());
        file.close();
        Window.SetFileDialogs(&Files);
        Window.resize(500, 450);
        Window.show();
        QCoreApplication::processEvents();
    }
    ~TDocumentBench() { Editor()->document()->setModified(false); }

    QString Source() const { return Folder.filePath("readings.txt"); }
    QString Target() const { return Folder.filePath("saved.txt"); }
    QPlainTextEdit* Editor() { return Window.findChild<QPlainTextEdit*>("Editor"); }
    // Runs a command and lets the window show its result.
    void Run(const char* action, const QString& name) {
        Editor()->document()->setModified(false);
        Files.Answers = {name};
        Window.findChild<QAction*>(QString::fromLatin1(action))->trigger();
        QCoreApplication::processEvents();
    }

    QTemporaryDir Folder;
    TSilentDialogs Dialogs;
    TFakeFileDialogs Files;
    TMainScreen Window{Dialogs};
};

void BM_OpenReadings(benchmark::State& state) {
    TDocumentBench bench;
    for (auto _ : state)
        bench.Run("act_file_open", bench.Source());
    state.counters["bytes"] = static_cast<double>(QFile(bench.Source()).size());
    state.counters["lines"] = bench.Editor()->document()->blockCount();
}
BENCHMARK(BM_OpenReadings)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SaveReadings(benchmark::State& state) {
    TDocumentBench bench;
    bench.Run("act_file_open", bench.Source());
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(bench.Target()); // no overwrite question
        state.ResumeTiming();
        bench.Run("act_file_saveas", bench.Target());
    }
    state.counters["bytes"] = static_cast<double>(QFile(bench.Target()).size());
    if (QFile(bench.Target()).size() != QFile(bench.Source()).size())
        state.SkipWithError("the saved file differs in size");
}
BENCHMARK(BM_SaveReadings)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DecodeReadings(benchmark::State& state) {
    const QByteArray bytes = Readings();
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeDocument(bytes));
}
BENCHMARK(BM_DecodeReadings)->Unit(benchmark::kMillisecond);

void BM_EncodeReadings(benchmark::State& state) {
    const TDocumentText document = DecodeDocument(Readings());
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeDocument(document));
}
BENCHMARK(BM_EncodeReadings)->Unit(benchmark::kMillisecond);

// The editor's share of opening: taking the text and showing it, with the
// lines grouped as opening does, and one paragraph per line.
void BM_EditorTakesReadings(benchmark::State& state) {
    TDocumentBench bench;
    QString text = DecodeDocument(Readings()).Text;
    if (state.range(0) != 0)
        text = GroupLines(text);
    for (auto _ : state) {
        bench.Editor()->setPlainText(text);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_EditorTakesReadings)
    ->ArgName("grouped")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
