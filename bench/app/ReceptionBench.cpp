// The line assembly alone: gauge lines read in bulk from memory.
#include "app/capture/LineReception.h"
#include "serial/TByteSource.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>

namespace {

// Hands out the same block of gauge lines over and over.
class TLoopSource : public TByteSource {
public:
    explicit TLoopSource(QByteArray block) : FBlock(std::move(block)) {}
    void Refill() { FLeft = FBlock.size(); }
    int RecCount() override { return static_cast<int>(FLeft); }
    int ReadBuf(void* buffer, int count) override {
        const qsizetype n = std::min<qsizetype>(count, FLeft);
        std::memcpy(buffer, FBlock.constData() + (FBlock.size() - FLeft), static_cast<size_t>(n));
        FLeft -= n;
        return static_cast<int>(n);
    }
    int WriteBuf(const void*, int count) override { return count; }

private:
    QByteArray FBlock;
    qsizetype FLeft = 0;
};

class TCountingSink : public TReceptionSink {
public:
    void InsertReading(QByteArrayView text) override { Shown += text.size(); }
    void SerialByteReceived() override {}
    char DecimalSeparator() override { return ','; }
    qsizetype Shown = 0;
};

void BM_LineReception(benchmark::State& state) {
    const int linesPerRead = static_cast<int>(state.range(0));
    QByteArray block;
    for (int i = 0; i < linesPerRead; ++i)
        block.append("  12.5 um\r\n");
    TLoopSource source(block);
    TCountingSink sink;
    TLineReception reception(sink);
    for (auto _ : state) {
        source.Refill();
        reception.Receive(source, {});
    }
    benchmark::DoNotOptimize(sink.Shown);
    state.SetBytesProcessed(state.iterations() * block.size());
}
BENCHMARK(BM_LineReception)->Arg(1)->Arg(16)->Arg(372);

// A prompt request per read, answered behind the gauge lines of the same
// burst; the second argument switches the code dump on.
void BM_LineReceptionWithPromptAnswer(benchmark::State& state) {
    const int linesPerRead = static_cast<int>(state.range(0));
    const TLineReception::TOptions options{.Debug = state.range(1) != 0};
    QByteArray block;
    for (int i = 0; i < linesPerRead; ++i)
        block.append("  12.5 um\r\n");
    block.append(TLineReception::PromptAnswer);
    TLoopSource source(block);
    TCountingSink sink;
    TLineReception reception(sink);
    for (auto _ : state) {
        reception.PromptRequested();
        source.Refill();
        reception.Receive(source, options);
    }
    benchmark::DoNotOptimize(sink.Shown);
    state.SetBytesProcessed(state.iterations() * block.size());
}
BENCHMARK(BM_LineReceptionWithPromptAnswer)->Args({16, 0})->Args({16, 1});

} // namespace

BENCHMARK_MAIN();
