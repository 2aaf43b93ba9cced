// A series of 1,000,000 readings: the time to add them (parsing included)
// and the resident memory they take, without and with an inspection plan;
// the figures of the shown group after each reading; and the exports of the
// whole series, by reading and by part.
#include "series/Export.h"
#include "series/Inspection.h"
#include "series/PartExport.h"
#include "series/Series.h"

#include <QStringList>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kReadings = 1000000;

double ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// Lines as the serial path inserts them (as the document benchmark's), every
// tenth one labelled as the infrared gauge sends it.
QStringList Lines() {
    QStringList lines;
    lines.reserve(kReadings);
    for (int i = 0; i < kReadings; ++i)
        lines += i % 10 == 9 ? QStringLiteral("IR K7X: +4.%1 mm").arg(i % 1000, 3, 10, QChar(u'0'))
                             : QStringLiteral("  %1,%2 \u00B5m").arg(i % 1000).arg(i % 97);
    return lines;
}

void BM_AddReadings(benchmark::State& state) {
    const QStringList lines = Lines();
    double growth = 0;
    for (auto _ : state) {
        const double before = ResidentBytes();
        series::TSeries series;
        qint64 time = 1796721330123;
        for (const QString& line : lines)
            series.AddLine(line, time++);
        // The first pass grows the heap; later ones may reuse what it freed.
        growth = std::max(growth, ResidentBytes() - before);
        benchmark::DoNotOptimize(series.Statistics(0));
    }
    state.counters["readings"] = kReadings;
    state.counters["rss_growth_MB"] = growth / 1e6;
    state.counters["bytes_per_reading"] = growth / kReadings;
    state.SetItemsProcessed(state.iterations() * kReadings);
}
BENCHMARK(BM_AddReadings)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same through a plan of three characteristics: the lines above (every
// tenth labelled, which the plan passes by), or every line unlabelled.
void BM_AddReadingsWithPlan(benchmark::State& state) {
    QStringList lines = Lines();
    if (state.range(0) == 1)
        for (QString& line : lines)
            line.replace(QStringLiteral("IR K7X: +"), QString());
    double growth = 0;
    for (auto _ : state) {
        const double before = ResidentBytes();
        series::TSeries series;
        series::TInspection inspection(series);
        inspection.SetNames({"Dia", "Len", "Breite"});
        qint64 time = 1796721330123;
        for (const QString& line : lines)
            inspection.AddLine(line, time++);
        growth = std::max(growth, ResidentBytes() - before);
        benchmark::DoNotOptimize(series.Statistics(0));
    }
    state.counters["rss_growth_MB"] = growth / 1e6;
    state.counters["bytes_per_reading"] = growth / kReadings;
    state.SetItemsProcessed(state.iterations() * kReadings);
}
BENCHMARK(BM_AddReadingsWithPlan)
    ->ArgName("unlabelled")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// What a panel asks after each reading: the figures and the chart's points.
void BM_FiguresOfTheNewestGroup(benchmark::State& state) {
    const QStringList lines = Lines();
    series::TSeries series;
    for (const QString& line : lines)
        series.AddLine(line, 0);
    series.SetLimits(QStringLiteral("IR K7X"), {4.1, 4.9, series::TUnit::Millimetre});
    for (auto _ : state) {
        const int group = series.NewestGroup();
        benchmark::DoNotOptimize(series.Statistics(group));
        benchmark::DoNotOptimize(series.NewestInGroup(group, 100));
    }
}
BENCHMARK(BM_FiguresOfTheNewestGroup)->Unit(benchmark::kMicrosecond);

void BM_ExportCsv(benchmark::State& state) {
    const QStringList lines = Lines();
    series::TSeries series;
    for (const QString& line : lines)
        series.AddLine(line, 1796721330123);
    const series::TExportTexts texts{"Nr.",    "Zeit",  "Wert",  "Einheit",   "Bezeichnung",
                                     "Urteil", "Zeile", "unter", "innerhalb", "\u00FCber"};
    series::TExportFormat format = series::TExportFormat::ForUserSeparator(u",");
    qsizetype bytes = 0;
    for (auto _ : state)
        bytes = series::ExportCsv(series, series.FindGroup(u""), texts, format).size();
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExportPartsCsv(benchmark::State& state) {
    series::TSeries series;
    series::TInspection inspection(series);
    inspection.SetNames({"Dia", "Len", "Breite"});
    for (const QString& line : Lines())
        inspection.AddLine(line, 1796721330123);
    series.SetLimits(QStringLiteral("Dia"), {100, 900, series::TUnit::Micrometre});
    const series::TPartExportTexts texts{
        "Teil",      "Zeit",      "Datum und Uhrzeit", "Bewertung %1", "Gesamtbewertung",
        "unterhalb", "innerhalb", "oberhalb",          "i. O.",        "n. i. O."};
    const series::TExportFormat format = series::TExportFormat::ForUserSeparator(u",");
    qsizetype bytes = 0;
    for (auto _ : state)
        bytes = series::ExportPartsCsv(inspection, texts, format).size();
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ExportPartsCsv)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
