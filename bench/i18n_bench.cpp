// Lookups per second on a 64-entry catalog, in the catalog itself and through
// the engine. (Retranslating the real main window is measured by
// app/TranslationBench.cpp.)

#include "i18n/TFileLocator.h"
#include "i18n/TGnuGettextInstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QtEndian>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

using namespace gnugettext;

namespace {

const QString Locale = QStringLiteral(I18N_BENCH_LOCALE);

// The 63 message ids of the 64-entry catalog, read from its id table.
std::vector<QByteArray> CatalogIds() {
    QFile file(Locale + QStringLiteral("/en/LC_MESSAGES/default.mo"));
    const QByteArray mo = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const auto word = [&mo](qsizetype at) {
        return qFromLittleEndian<std::uint32_t>(mo.constData() + at);
    };
    std::vector<QByteArray> ids;
    for (std::uint32_t i = 1; i < word(8); ++i)
        ids.push_back(mo.mid(word(word(12) + 8 * i + 4), word(word(12) + 8 * i)));
    return ids;
}

struct TEngine {
    TEngine() : Locator(QString{}), Engine(Locator) {
        Engine.BindDomain(QStringLiteral("default"), Locale);
        Engine.SelectLanguage(QStringLiteral("en"));
    }
    TFileLocator Locator;
    TGnuGettextInstance Engine;
};

void BM_MoFileLookup(benchmark::State& state) {
    const std::vector<QByteArray> ids = CatalogIds();
    TMoFile mo(Locale + QStringLiteral("/en/LC_MESSAGES/default.mo"), 0);
    std::size_t i = 0;
    for (auto _ : state) {
        bool found = false;
        benchmark::DoNotOptimize(mo.Lookup(ids[i], found));
        i = i + 1 == ids.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MoFileLookup);

void BM_TranslateText(benchmark::State& state) {
    std::vector<QString> ids;
    for (const QByteArray& id : CatalogIds())
        ids.push_back(QString::fromUtf8(id));
    TEngine engine;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(engine.Engine.Translate(ids[i]));
        i = i + 1 == ids.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TranslateText);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
