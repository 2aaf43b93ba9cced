#include "series/Series.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace series;

namespace {

// Figures in extended precision, two passes, from the values' decimal text:
// what the series' running figures are held against.
struct TReference {
    long double Mean = 0, S = 0, Min = 0, Max = 0;
    std::size_t N = 0;
};

TReference Reference(const std::vector<long double>& values) {
    TReference r;
    r.N = values.size();
    for (const long double v : values)
        r.Mean += v;
    r.Mean /= static_cast<long double>(r.N);
    long double squares = 0;
    for (const long double v : values)
        squares += (v - r.Mean) * (v - r.Mean);
    r.S = std::sqrt(squares / static_cast<long double>(r.N - 1));
    r.Min = *std::min_element(values.begin(), values.end());
    r.Max = *std::max_element(values.begin(), values.end());
    return r;
}

void ExpectClose(std::optional<double> actual, long double expected, double relative,
                 const char* what) {
    ASSERT_TRUE(actual) << what;
    const long double scale = std::max(std::fabs(expected), 1e-300L);
    EXPECT_LE(std::fabs(static_cast<long double>(*actual) - expected) / scale, relative)
        << what << ": " << *actual << " against " << static_cast<double>(expected);
}

} // namespace

// Random series in mixed units around offsets up to 10^6 times their spread
// (where a sum of squares in double loses every digit), with both limits.
TEST(SeriesStatistics, MatchAHighPrecisionReference) {
    std::mt19937_64 random(26);
    struct TShape {
        double Offset, Spread;
        int Count;
    };
    for (const TShape shape : {TShape{0, 1, 2}, TShape{10, 0.5, 1000}, TShape{1000, 0.001, 20000},
                               TShape{-5, 2, 100000}}) {
        TSeries series;
        // Off the values' decimal grid, so no reading sits on a limit.
        const TLimits limits{shape.Offset - shape.Spread * 1.000005,
                             shape.Offset + shape.Spread * 1.000005};
        series.SetLimits(limits);
        std::normal_distribution<double> noise(shape.Offset, shape.Spread);
        std::uniform_int_distribution<int> unit(0, 2);
        std::vector<long double> exact;
        qsizetype below = 0, above = 0;
        for (int i = 0; i < shape.Count; ++i) {
            // The group's unit is mm (the first reading's); some come in µm or in.
            const int u = i == 0 ? 0 : unit(random);
            const long double mm =
                std::round(static_cast<long double>(noise(random)) * 1e4L) / 1e4L;
            const long double inUnit = u == 0 ? mm : u == 1 ? mm * 1000 : mm / 25.4L;
            const QString text = QString::number(static_cast<double>(inUnit), 'f', u == 2 ? 9 : 4);
            const char* unitName = u == 0 ? " mm" : u == 1 ? " um" : " in";
            ASSERT_TRUE(
                series.AddLine(QStringLiteral("Dia: ") + text + QLatin1String(unitName), i));
            const long double parsed = std::strtold(text.toLatin1().constData(), nullptr);
            const long double value = u == 0 ? parsed : u == 1 ? parsed / 1000 : parsed * 254 / 10;
            exact.push_back(value);
            below += value < static_cast<long double>(*limits.Lower) ? 1 : 0;
            above += value > static_cast<long double>(*limits.Upper) ? 1 : 0;
        }
        const TReference r = Reference(exact);
        const TStatistics s = series.Statistics(0);
        EXPECT_EQ(s.Unit, TUnit::Millimetre);
        EXPECT_EQ(s.Count, shape.Count);
        EXPECT_EQ(s.Excluded, 0);
        ExpectClose(s.Mean, r.Mean, 1e-13, "mean");
        ExpectClose(s.StandardDeviation, r.S, 1e-9, "s");
        ExpectClose(s.Minimum, r.Min, 1e-15, "minimum");
        ExpectClose(s.Maximum, r.Max, 1e-15, "maximum");
        ExpectClose(s.Range, r.Max - r.Min, 1e-9, "range");
        const long double upper = *limits.Upper, lower = *limits.Lower;
        ExpectClose(s.Cp, (upper - lower) / (6 * r.S), 1e-9, "Cp");
        ExpectClose(s.Cpk, std::min(upper - r.Mean, r.Mean - lower) / (3 * r.S), 1e-8, "Cpk");
        EXPECT_EQ(s.Below, below);
        EXPECT_EQ(s.Above, above);
        EXPECT_EQ(s.Below + s.Within + s.Above, s.Count);
    }
}

namespace {

TSeries SeriesOf(std::initializer_list<const char16_t*> lines, const TLimits& limits = {}) {
    TSeries series;
    series.SetLimits(limits);
    qint64 time = 1000;
    for (const char16_t* line : lines)
        series.AddLine(QString::fromUtf16(line), time++);
    return series;
}

} // namespace

TEST(SeriesStatistics, EdgeCases) {
    // One reading: its value everywhere, no spread, no capability.
    TStatistics s = SeriesOf({u"4.2 mm"}, {4, 5}).Statistics(0);
    EXPECT_EQ(s.Count, 1);
    EXPECT_EQ(s.Mean, 4.2);
    EXPECT_EQ(s.Range, 0.0);
    EXPECT_FALSE(s.StandardDeviation);
    EXPECT_FALSE(s.Cp);
    EXPECT_FALSE(s.Cpk);
    EXPECT_EQ(s.Within, 1);

    // s = 0, also across units: no capability.
    s = SeriesOf({u"0.1 mm", u"100 um", u"0,1 mm"}, {0, 1}).Statistics(0);
    EXPECT_EQ(s.StandardDeviation, 0.0);
    EXPECT_FALSE(s.Cp);
    EXPECT_FALSE(s.Cpk);

    // One limit: the one-sided value, no Cp; a value on the limit is within.
    const auto pair = {u"1 mm", u"3 mm"}; // mean 2, s = sqrt(2)
    s = SeriesOf(pair, {std::nullopt, 3}).Statistics(0);
    EXPECT_FALSE(s.Cp);
    EXPECT_DOUBLE_EQ(*s.Cpk, 1 / (3 * std::sqrt(2.0)));
    EXPECT_EQ(s.Within, 2);
    s = SeriesOf(pair, {1.5, std::nullopt}).Statistics(0);
    EXPECT_FALSE(s.Cp);
    EXPECT_DOUBLE_EQ(*s.Cpk, 0.5 / (3 * std::sqrt(2.0)));
    EXPECT_EQ(s.Below, 1);
    EXPECT_EQ(s.Within, 1);
    // Limits the wrong way round, or not finite, are no limits.
    for (const TLimits wrong : {TLimits{3, 1}, TLimits{NAN, 3}, TLimits{}}) {
        s = SeriesOf(pair, wrong).Statistics(0);
        EXPECT_FALSE(s.HasLimits);
        EXPECT_FALSE(s.Cpk);
        EXPECT_EQ(s.Within, 0);
    }

    // Mixed units convert into the first unit; a reading without a unit is
    // listed but left out.
    const TSeries mixed = SeriesOf(
        {u"42", u"Dia: 0.5 in", u"Dia: 12.7 mm", u"Dia: 12700 um", u"Dia: 7", u"Dia: 0.6 in"});
    s = mixed.Statistics(mixed.FindGroup(u"Dia"));
    EXPECT_EQ(s.Unit, TUnit::Inch);
    EXPECT_EQ(s.Count, 4);
    EXPECT_EQ(s.Excluded, 1);
    EXPECT_DOUBLE_EQ(*s.Mean, 0.525);
    EXPECT_EQ(s.Minimum, 0.5);
    EXPECT_EQ(mixed.GroupValue(3), 0.5);
    EXPECT_FALSE(mixed.GroupValue(4));
    // A group without any unit has figures of its own; its first reading with
    // a unit fixes the unit and leaves the earlier ones out.
    s = mixed.Statistics(mixed.FindGroup(u""));
    EXPECT_EQ(s.Unit, TUnit::None);
    EXPECT_EQ(s.Count, 1);
    s = SeriesOf({u"1", u"2", u"5 mm", u"3"}).Statistics(0);
    EXPECT_EQ(s.Unit, TUnit::Millimetre);
    EXPECT_EQ(s.Count, 1);
    EXPECT_EQ(s.Excluded, 3);

    EXPECT_EQ(TSeries().Statistics(0).Count, 0);
    EXPECT_FALSE(TSeries().Statistics(-1).Mean);
}

TEST(Series, GroupsTextsAndTheNewestReading) {
    TSeries series = SeriesOf({u"IR K7X: +4.210 mm\r\n", u"  12,5 \u00B5m\r\n", u"\r\n> ",
                               u"IR K7X: +4.185 mm", u"Max: 25.003 mm", u"IR K7X: 0.1657 in"});
    ASSERT_EQ(series.Size(), 5);
    ASSERT_EQ(series.GroupCount(), 3);
    EXPECT_EQ(series.GroupLabel(0), "IR K7X");
    EXPECT_EQ(series.GroupLabel(1), "");
    EXPECT_EQ(series.GroupLabel(2), "Max");
    EXPECT_EQ(series.FindGroup(u"Max"), 2);
    EXPECT_EQ(series.FindGroup(u"Min"), -1);
    EXPECT_EQ(series.Text(1), u"  12,5 \u00B5m");
    EXPECT_EQ(series.Reading(1).Time, 1001);
    EXPECT_EQ(series.Reading(2).Time, 1003);
    EXPECT_EQ(series.Reading(4).Unit, TUnit::Inch);
    EXPECT_EQ(series.NewestGroup(), 0);
    EXPECT_EQ(series.NewestInGroup(0, 2), (std::vector<qsizetype>{2, 4}));
    EXPECT_EQ(series.NewestInGroup(0, 100), (std::vector<qsizetype>{0, 2, 4}));
    EXPECT_EQ(series.Statistics(0).Count, 3);

    series.SetLimits({4.19, 4.3});
    EXPECT_EQ(series.Verdict(0), TVerdict::Within);
    EXPECT_EQ(series.Verdict(2), TVerdict::Below);
    EXPECT_EQ(series.Verdict(4), TVerdict::Within); // 4.20878 mm
    EXPECT_EQ(series.Statistics(0).Below, 1);
    EXPECT_EQ(series.Verdict(3), TVerdict::Above); // 25.003 mm in its own group
    const quint64 revision = series.Revision();
    series.SetLimits({4.19, 4.3});
    EXPECT_EQ(series.Revision(), revision);
}

TEST(Series, RemovingTheNewestReadingUndoesItsAddition) {
    TSeries series = SeriesOf({u"Dia: 3 mm", u"1 mm", u"Dia: 4 mm", u"Max: 9 in"}, {2, 5});
    const TSeries before = SeriesOf({u"Dia: 3 mm", u"1 mm", u"Dia: 4 mm"}, {2, 5});
    ASSERT_TRUE(series.RemoveNewest()); // the Max group goes with its only reading
    EXPECT_EQ(series.GroupCount(), 2);
    EXPECT_EQ(series.FindGroup(u"Max"), -1);
    EXPECT_EQ(series.NewestGroup(), 0);
    ASSERT_TRUE(series.RemoveNewest());
    const TStatistics s = series.Statistics(0);
    EXPECT_EQ(s.Count, 1);
    EXPECT_EQ(s.Mean, 3.0);
    EXPECT_EQ(s.Within, 1);
    // Added again, the series is as if nothing had been taken out.
    series.AddLine(u"Dia: 4 mm", 1002);
    EXPECT_EQ(series.Text(2), "Dia: 4 mm");
    EXPECT_EQ(series.Statistics(0).StandardDeviation, before.Statistics(0).StandardDeviation);
    EXPECT_EQ(series.Statistics(0).Within, 2);
    // A unit that came first and is taken out no longer fixes the group's.
    TSeries units = SeriesOf({u"1", u"2", u"5 mm"});
    units.RemoveNewest();
    EXPECT_EQ(units.Statistics(0).Unit, TUnit::None);
    EXPECT_EQ(units.Statistics(0).Count, 2);

    series.Clear();
    EXPECT_TRUE(series.IsEmpty());
    EXPECT_EQ(series.GroupCount(), 0);
    EXPECT_EQ(series.NewestGroup(), -1);
    EXPECT_FALSE(series.RemoveNewest());
    EXPECT_EQ(series.Limits(), (TLimits{2, 5}));
    // Times far apart, in either direction, are kept to the millisecond.
    const qint64 month = 31LL * 24 * 3600 * 1000;
    const std::vector<qint64> times = {month,
                                       0,
                                       3 * month + 1,
                                       std::numeric_limits<qint64>::min(),
                                       std::numeric_limits<qint64>::max(),
                                       month - 1};
    for (const qint64 time : times)
        series.AddLine(u"1 mm", time);
    series.RemoveNewest();
    series.AddLine(u"1 mm", 7);
    for (qsizetype i = 0; i < 5; ++i)
        EXPECT_EQ(series.Reading(i).Time, times[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(series.Reading(5).Time, 7);
    series.Clear();
    series.AddLine(u"Max: 9 in", 5);
    EXPECT_EQ(series.Text(0), "Max: 9 in");
    EXPECT_EQ(series.GroupLabel(0), "Max");
}

TEST(Series, TheNewestReadingsOfEachGroup) {
    // Two groups, one rare; through additions and removals the newest of
    // each are those a scan of the whole series finds.
    TSeries series;
    const auto scan = [&series](int group, qsizetype count) {
        std::vector<qsizetype> found;
        for (qsizetype i = 0; i < series.Size(); ++i)
            if (series.Reading(i).Group == group)
                found.push_back(i);
        found.erase(found.begin(), found.end() - std::min<qsizetype>(count, found.size()));
        return found;
    };
    for (int i = 0; i < 700; ++i) {
        series.AddLine(i % 7 == 3 ? u"Max: 2 mm" : u"1 mm", i);
        if (i % 50 == 49)
            series.RemoveNewest();
        for (const int group : {0, 1})
            for (const qsizetype count : {1, 100, 150})
                ASSERT_EQ(series.NewestInGroup(group, count), scan(group, count))
                    << i << " " << group << " " << count;
    }
    EXPECT_TRUE(series.NewestInGroup(2, 5).empty());
}
