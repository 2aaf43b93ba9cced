#include "series/Series.h"
#include "series/FigureText.h"

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
                             shape.Offset + shape.Spread * 1.000005, TUnit::Millimetre};
        series.SetLimits(QStringLiteral("Dia"), limits);
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
        long double movingRange = 0;
        for (std::size_t i = 1; i < exact.size(); ++i)
            movingRange += std::fabs(exact[i] - exact[i - 1]);
        movingRange /= static_cast<long double>(exact.size() - 1);
        const long double shortTerm = movingRange / 1.128L;
        const TStatistics s = series.Statistics(0);
        EXPECT_EQ(s.Unit, TUnit::Millimetre);
        EXPECT_EQ(s.Count, shape.Count);
        EXPECT_EQ(s.Excluded, 0);
        ExpectClose(s.Mean, r.Mean, 1e-13, "mean");
        ExpectClose(s.StandardDeviation, r.S, 1e-9, "s");
        ExpectClose(s.Minimum, r.Min, 1e-15, "minimum");
        ExpectClose(s.Maximum, r.Max, 1e-15, "maximum");
        ExpectClose(s.Range, r.Max - r.Min, 1e-9, "range");
        ExpectClose(s.MovingRange, movingRange, 1e-9, "moving range");
        const long double upper = *limits.Upper, lower = *limits.Lower;
        ExpectClose(s.Pp, (upper - lower) / (6 * r.S), 1e-9, "Pp");
        ExpectClose(s.Ppk, std::min(upper - r.Mean, r.Mean - lower) / (3 * r.S), 1e-8, "Ppk");
        ExpectClose(s.Cp, (upper - lower) / (6 * shortTerm), 1e-9, "Cp");
        ExpectClose(s.Cpk, std::min(upper - r.Mean, r.Mean - lower) / (3 * shortTerm), 1e-8, "Cpk");
        EXPECT_EQ(s.Below, below);
        EXPECT_EQ(s.Above, above);
        EXPECT_EQ(s.Below + s.Within + s.Above, s.Count);
    }
}

namespace {

// Limits for the unlabelled group.
TSeries SeriesOf(std::initializer_list<const char16_t*> lines, const TLimits& limits = {}) {
    TSeries series;
    series.SetLimits(QString(), limits);
    qint64 time = 1000;
    for (const char16_t* line : lines)
        series.AddLine(QString::fromUtf16(line), time++);
    return series;
}

} // namespace

namespace {

void ExpectNear(std::optional<double> actual, std::optional<double> expected, const char* what,
                const char* name) {
    ASSERT_EQ(actual.has_value(), expected.has_value()) << name << ": " << what;
    if (expected) {
        EXPECT_NEAR(*actual, *expected, std::fabs(*expected) * 1e-12 + 1e-15)
            << name << ": " << what;
    }
}

} // namespace

// Capability and the individuals chart against figures worked out in decimal
// arithmetic to 40 digits: a trending series (its short-term spread well
// below the overall one), one limit only, two readings, a constant series.
TEST(SeriesStatistics, CapabilityAndControlLimits) {
    struct TCase {
        const char* Name;
        std::vector<const char16_t*> Lines;
        TLimits Limits;
        std::optional<double> MovingRange, Cp, Cpk, Pp, Ppk, Lower, Upper;
        std::vector<qsizetype> Outside;
    };
    const std::vector<const char16_t*> trend = {u"10.00 mm", u"10.02 mm", u"10.05 mm", u"10.04 mm",
                                                u"10.08 mm", u"10.11 mm", u"10.16 mm"};
    const TCase cases[] = {
        {"trend",
         trend,
         {9.95, 10.2},
         0.03,
         1.5666666666666667,
         1.4502857142857142,
         0.7529964334731105,
         0.6970595555579651,
         9.985914285714285,
         10.145514285714286,
         {6}},
        {"upper only",
         trend,
         {std::nullopt, 10.2},
         0.03,
         std::nullopt,
         1.6830476190476191,
         std::nullopt,
         0.8089333113882559,
         9.985914285714285,
         10.145514285714286,
         {6}},
        {"two readings",
         {u"10.0 mm", u"10.3 mm"},
         {9.9, 10.5},
         0.3,
         0.376,
         0.31333333333333335,
         0.4714045207910317,
         0.3928371006591931,
         9.352,
         10.948,
         {}},
        {"constant",
         {u"10.00 mm", u"10.00 mm", u"10.00 mm"},
         {9.9, 10.2},
         0.0,
         std::nullopt,
         std::nullopt,
         std::nullopt,
         std::nullopt,
         10.0,
         10.0,
         {}},
    };
    for (const TCase& c : cases) {
        TSeries series;
        series.SetLimits(QString(), c.Limits);
        for (const char16_t* line : c.Lines)
            series.AddLine(QString::fromUtf16(line), 0);
        const TStatistics s = series.Statistics(0);
        ExpectNear(s.MovingRange, c.MovingRange, "moving range", c.Name);
        ExpectNear(s.Cp, c.Cp, "Cp", c.Name);
        ExpectNear(s.Cpk, c.Cpk, "Cpk", c.Name);
        ExpectNear(s.Pp, c.Pp, "Pp", c.Name);
        ExpectNear(s.Ppk, c.Ppk, "Ppk", c.Name);
        ExpectNear(s.LowerControlLimit, c.Lower, "lower control limit", c.Name);
        ExpectNear(s.UpperControlLimit, c.Upper, "upper control limit", c.Name);
        std::vector<qsizetype> outside;
        for (qsizetype i = 0; i < series.Size(); ++i)
            if (OutsideControlLimits(*series.GroupValue(i), s))
                outside.push_back(i);
        EXPECT_EQ(outside, c.Outside) << c.Name;
    }
    // One reading: no spread, no control limits.
    const TStatistics one = SeriesOf({u"4.2 mm"}, {4, 5}).Statistics(0);
    EXPECT_FALSE(one.MovingRange || one.LowerControlLimit || one.Cpk || one.Ppk);
}

// The figures' texts: as many decimals as the readings carry (a converted
// one those of its exact value), one more for the mean, two for the indices.
TEST(SeriesStatistics, FigureTextsHaveTheReadingsDecimals) {
    struct TCase {
        std::vector<const char16_t*> Lines;
        const char16_t *Minimum, *Maximum, *Range, *Mean;
    };
    const TCase cases[] = {
        {{u"12.55 mm", u"12.5 mm"}, u"12,50", u"12,55", u"0,05", u"12,525"},
        {{u"10.02", u"10.1", u"10"}, u"10,00", u"10,10", u"0,10", u"10,040"},
        {{u"12.55 mm", u"0.5 in"}, u"12,55", u"12,70", u"0,15", u"12,625"},
        {{u"1 mm", u"0.0005 in"}, u"0,0127", u"1,0000", u"0,9873", u"0,50635"},
        {{u"0.5 in", u"12.8 mm"}, u"0,500", u"0,504", u"0,004", u"0,5020"},
        {{u"12.5 um", u"0.01 mm"}, u"10,0", u"12,5", u"2,5", u"11,25"},
        {{u"-0.004 mm", u"0.004 mm"}, u"-0,004", u"0,004", u"0,008", u"0,0000"},
    };
    for (const TCase& c : cases) {
        TSeries series;
        for (const char16_t* line : c.Lines)
            series.AddLine(QString::fromUtf16(line), 0);
        const TStatistics s = series.Statistics(0);
        const QString name = QString::fromUtf16(c.Lines.back());
        EXPECT_EQ(FigureText(TFigure::Minimum, s, u','), QString::fromUtf16(c.Minimum))
            << name.toStdString();
        EXPECT_EQ(FigureText(TFigure::Maximum, s, u','), QString::fromUtf16(c.Maximum))
            << name.toStdString();
        EXPECT_EQ(FigureText(TFigure::Range, s, u','), QString::fromUtf16(c.Range))
            << name.toStdString();
        EXPECT_EQ(FigureText(TFigure::Mean, s, u','), QString::fromUtf16(c.Mean))
            << name.toStdString();
    }
    // The decimals follow readings taken out; indices have two, a figure
    // that is absent no text; nothing rounds to "-0".
    TSeries series = SeriesOf({u"12.5 mm", u"12.55 mm"}, {12, 13});
    series.RemoveNewest();
    const TStatistics s = series.Statistics(0);
    EXPECT_EQ(FigureText(TFigure::Maximum, s, u'.'), "12.5");
    EXPECT_EQ(FigureText(TFigure::Count, s, u'.'), "1");
    EXPECT_EQ(FigureText(TFigure::StandardDeviation, s, u'.'), "");
    series.AddLine(u"12.7 mm", 0);
    EXPECT_EQ(FigureText(TFigure::Pp, series.Statistics(0), u','), "1,18");
    EXPECT_EQ(NumberText(-0.00049, 3, u','), "0,000");
    EXPECT_EQ(NumberText(-0.0005001, 3, u'.'), "-0.001");
}

// A chart's scale: 3 to 6 values that cover what it shows, in steps of 1, 2
// or 5 times a power of ten no finer than the readings' last digit, for
// spans from a constant series to ranges far wider than the readings'
// resolution; limits typed back exactly.
TEST(SeriesStatistics, ChartScaleAndLimitTexts) {
    struct TCase {
        double Low, High;
        int Decimals;
        double First, Last, Step;
    };
    const TCase cases[] = {
        {12.5, 12.5, 1, 12.4, 12.6, 0.1},
        {12.5, 12.55, 2, 12.5, 12.55, 0.01},
        {0.1655, 0.1661, 4, 0.1654, 0.1662, 0.0002},
        {-3.5, 125, 1, -50, 150, 50},
        {4.185, 4.21, 3, 4.185, 4.21, 0.005},
        {0, 0, 0, -1, 1, 1},
    };
    for (const TCase& c : cases) {
        const TScale scale = ValueScale(c.Low, c.High, c.Decimals);
        EXPECT_NEAR(scale.Low, c.First, 1e-12) << c.Low << ".." << c.High;
        EXPECT_NEAR(scale.High, c.Last, 1e-12) << c.Low << ".." << c.High;
        EXPECT_NEAR(scale.Step, c.Step, 1e-12) << c.Low << ".." << c.High;
        EXPECT_EQ(scale.Decimals, c.Decimals);
    }
    std::mt19937_64 random(35);
    for (int i = 0; i < 20000; ++i) {
        const int decimals = static_cast<int>(random() % 7);
        const double centre = std::uniform_real_distribution<double>(-1e4, 1e4)(random);
        const double span = std::pow(10.0, std::uniform_real_distribution<double>(-7, 5)(random));
        const double low = centre - span * 0.3;
        const double high = centre + span * 0.7;
        const TScale scale = ValueScale(low, high, decimals);
        ASSERT_GE(scale.Count(), 3) << low << ".." << high << " " << decimals;
        ASSERT_LE(scale.Count(), 6) << low << ".." << high << " " << decimals;
        ASSERT_LE(scale.Low, low + scale.Step * 1e-6);
        ASSERT_GE(scale.High, high - scale.Step * 1e-6);
        ASSERT_GE(scale.Step * (1 + 1e-9), std::pow(10.0, -decimals));
    }
    EXPECT_EQ(ShortestNumberText(0.4960629921259843, u','), "0,4960629921259843");
    EXPECT_EQ(ShortestNumberText(1e-7, u'.'), "0.0000001");
    EXPECT_EQ(ShortestNumberText(-2, u'.'), "-2");
}

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

    // A value on a limit is within.
    const auto pair = {u"1 mm", u"3 mm"};
    s = SeriesOf(pair, {std::nullopt, 3}).Statistics(0);
    EXPECT_EQ(s.Within, 2);
    s = SeriesOf(pair, {1.5, std::nullopt}).Statistics(0);
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
}

// Each label has its own limits in their own unit: they judge the group's
// readings converted into its unit, and no other group's.
TEST(Series, LimitsAndFixedUnitsBelongToTheirGroup) {
    TSeries series = SeriesOf({u"IR K7X: +4.210 mm", u"USB K65: 0.1657 in", u"IR K7X: +4.185 mm",
                               u"USB K65: 0.1661 in", u"3 mm"});
    const TLimits inches{0.1655, 0.166, TUnit::Inch};
    series.SetLimits(QStringLiteral("USB K65"), inches);
    TStatistics s = series.Statistics(series.FindGroup(u"IR K7X"));
    EXPECT_FALSE(s.HasLimits);
    EXPECT_FALSE(s.Cpk);
    EXPECT_EQ(s.Above, 0);
    s = series.Statistics(series.FindGroup(u"USB K65"));
    EXPECT_EQ(s.Limits, inches);
    EXPECT_EQ(s.Within, 1);
    EXPECT_EQ(s.Above, 1);
    // The same limits in millimetres, exactly converted, give the same verdicts.
    const quint64 revision = series.Revision();
    series.SetLimits(QStringLiteral("USB K65"), {4.2037, 4.2164, TUnit::Millimetre});
    EXPECT_EQ(series.Statistics(1).Limits, inches);
    EXPECT_EQ(series.Revision(), revision + 1);
    series.SetLimits(QStringLiteral("USB K65"), {4.2037, 4.2164, TUnit::Millimetre});
    EXPECT_EQ(series.Revision(), revision + 1);
    EXPECT_EQ(series.Verdict(1), TVerdict::Within);
    EXPECT_EQ(series.Verdict(3), TVerdict::Above);

    // Labels count exactly; limits set before their group arrives, and kept
    // across a new series, apply to it; millimetres do not convert into a
    // group without a unit.
    series.SetLimits(QStringLiteral("ir k7x"), {4, 5, TUnit::Millimetre});
    EXPECT_FALSE(series.Statistics(0).HasLimits);
    series.SetLimits(QStringLiteral("Anzahl"), {1, 2, TUnit::Millimetre});
    series.SetLimits(QString(), {0, 1});
    series.Clear();
    series.AddLine(u"ir k7x: 4.5 mm", 0);
    series.AddLine(u"Anzahl: 7", 0);
    series.AddLine(u"0.5 in", 0);
    EXPECT_EQ(series.Verdict(0), TVerdict::Within);
    EXPECT_FALSE(series.Verdict(1));
    EXPECT_FALSE(series.Statistics(1).LimitsConvert);
    EXPECT_EQ(series.Verdict(2), TVerdict::Within); // limits without a unit: the group's
    // Empty limits take them away; a whole store replaces them all.
    series.SetLimits(QStringLiteral("ir k7x"), {});
    EXPECT_FALSE(series.Verdict(0));
    TLimitStore store;
    store.Set(QStringLiteral("ir k7x"), {5, 6, TUnit::Millimetre});
    series.SetLimits(store);
    EXPECT_EQ(series.Limits(), store);
    EXPECT_EQ(series.Verdict(0), TVerdict::Below);
    EXPECT_FALSE(series.Verdict(2));

    // A fixed unit: readings in another length unit are converted into it,
    // those without one are left out, and the limits follow; kept across a
    // new series. Without it the first reading's unit holds again.
    series.SetFixedUnits({{QStringLiteral("ir k7x"), TUnit::Inch},
                          {QStringLiteral("Anzahl"), TUnit::Millimetre},
                          {QStringLiteral("Max"), TUnit::None}});
    EXPECT_EQ(series.FixedUnits().size(), 2u);
    EXPECT_EQ(series.Statistics(0).Unit, TUnit::Inch);
    EXPECT_DOUBLE_EQ(*series.GroupValue(0), 4.5 / 25.4);
    EXPECT_EQ(series.Verdict(0), TVerdict::Below);
    series.AddLine(u"Anzahl: 0.5 in", 0);
    s = series.Statistics(1);
    EXPECT_EQ(s.Unit, TUnit::Millimetre);
    EXPECT_EQ(s.Count, 1);
    EXPECT_EQ(s.Excluded, 1);
    EXPECT_EQ(s.Mean, 12.7);
    EXPECT_EQ(s.Decimals, 1);
    series.SetFixedUnits({});
    EXPECT_EQ(series.Statistics(1).Unit, TUnit::Inch);
    EXPECT_EQ(series.Statistics(0).Unit, TUnit::Millimetre);
}

TEST(Series, RemovingTheNewestReadingUndoesItsAddition) {
    TSeries series = SeriesOf({u"Dia: 3 mm", u"1 mm", u"Dia: 4 mm", u"Max: 9 in"});
    series.SetLimits(QStringLiteral("Dia"), {2, 5});
    const TSeries before = SeriesOf({u"Dia: 3 mm", u"1 mm", u"Dia: 4 mm"});
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
    EXPECT_EQ(series.Limits().Find(u"Dia"), (TLimits{2, 5}));
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

// The newest reading of the group shown goes, wherever it lies: the other
// readings keep their order, texts, times and ids, and a group that loses
// its last reading goes (the later ones move up).
TEST(Series, RemovingTheNewestOfAGroup) {
    TSeries series;
    series.AddLine(u"Max: 9 in", 0);
    for (int i = 1; i <= 5000; ++i) // into a second block
        series.AddLine(QStringLiteral("%1 mm").arg(i), i);
    constexpr qint64 kFar = qint64(1) << 40;
    series.AddLine(u"Min: 1 in", kFar);
    const qint64 maxId = series.Reading(0).Id;
    ASSERT_TRUE(series.RemoveNewest(series.FindGroup(u"Max")));
    ASSERT_TRUE(series.RemoveNewest(series.FindGroup(u"")));
    EXPECT_EQ(series.GroupCount(), 2);
    EXPECT_EQ(series.FindGroup(u"Min"), 1);
    EXPECT_EQ(series.IndexOf(maxId), -1);
    ASSERT_EQ(series.Size(), 5000);
    for (qsizetype i = 0; i < 4999; ++i) {
        const TReading reading = series.Reading(i);
        ASSERT_EQ(series.Text(i), QStringLiteral("%1 mm").arg(i + 1)) << i;
        ASSERT_EQ(reading.Time, i + 1) << i;
        ASSERT_EQ(reading.Group, 0) << i;
        ASSERT_EQ(series.IndexOf(reading.Id), i) << i;
    }
    EXPECT_EQ(series.Reading(4999).Time, kFar);
    EXPECT_EQ(series.Text(4999), "Min: 1 in");
    EXPECT_EQ(series.NewestInGroup(0, 1), std::vector<qsizetype>{4998});
    const TStatistics s = series.Statistics(0);
    EXPECT_EQ(s.Count, 4999);
    EXPECT_EQ(s.Maximum, 4999.0);
    EXPECT_EQ(s.MovingRange, 1.0);
    // Ids go on rising, also in a new series; the old ones find nothing.
    series.AddLine(u"Min: 2 in", 1);
    const qint64 newest = series.Reading(5000).Id;
    EXPECT_GT(newest, series.Reading(4999).Id);
    series.Clear();
    EXPECT_EQ(series.IndexOf(newest), -1);
    series.AddLine(u"Min: 3 in", 1);
    EXPECT_GT(series.Reading(0).Id, newest);
    EXPECT_EQ(series.IndexOf(series.Reading(0).Id), 0);
    EXPECT_FALSE(series.RemoveNewest(1));
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
        if (i % 70 == 69)
            series.RemoveNewest(1);
        for (const int group : {0, 1})
            for (const qsizetype count : {1, 100, 150})
                ASSERT_EQ(series.NewestInGroup(group, count), scan(group, count))
                    << i << " " << group << " " << count;
    }
    EXPECT_TRUE(series.NewestInGroup(2, 5).empty());
}
