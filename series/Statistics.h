#pragma once

#include "Limits.h"
#include "Reading.h"

#include <QtGlobal>

#include <optional>

namespace series {

// The figures of one group of individual readings. Count is the readings in
// the figures; Excluded those listed but left out (no unit while the group
// has one). Each figure is absent where it cannot be given: without
// readings; the spreads, the indices and the control limits with fewer than
// two readings; an index where its spread is 0; Cp and Pp without both
// limits.
//
// The short-term spread is the average moving range (between readings that
// follow one another in the figures: one left out is stepped over) divided
// by d2 = 1.128; Cp and Cpk use it. Pp and Ppk use the overall standard
// deviation (n - 1). The control limits of the individuals chart are the
// mean +- 2.66 average moving ranges.
struct TStatistics {
    TUnit Unit = TUnit::None; // the group's: its fixed unit, or its first reading's with one
    // The most decimals of a reading in the figures, in the group's unit.
    int Decimals = 0;
    qsizetype Count = 0;
    qsizetype Excluded = 0;
    std::optional<double> Minimum;
    std::optional<double> Maximum;
    std::optional<double> Range;
    std::optional<double> Mean;
    std::optional<double> StandardDeviation; // sample (n - 1)
    std::optional<double> MovingRange;       // average
    std::optional<double> ShortTermDeviation;
    std::optional<double> LowerControlLimit;
    std::optional<double> UpperControlLimit;
    // The group's limits in its unit; inactive when it has none, or when
    // theirs does not convert into it (LimitsConvert false).
    TLimits Limits;
    bool LimitsConvert = true;
    bool HasLimits = false;
    qsizetype Below = 0;
    qsizetype Within = 0;
    qsizetype Above = 0;
    std::optional<double> Cp;
    std::optional<double> Cpk;
    std::optional<double> Pp;
    std::optional<double> Ppk;
};

inline constexpr double MovingRangeD2 = 1.128;
inline constexpr double MovingRangeE2 = 2.66;

// Whether a value in the group's unit lies beyond the control limits.
bool OutsideControlLimits(double value, const TStatistics& statistics);

// Running figures of one group, a reading at a time at constant cost
// (Welford's update, so a long series with a large offset keeps its
// precision).
class TGroupFigures {
public:
    // The group's limits as kept (in any unit); the readings counted so far
    // keep the verdicts they had: Restart and add them again.
    void SetLimits(const TLimits& limits);
    // Fixes the group's unit (None: that of its first reading with one) and
    // drops the readings: Restart and add them again.
    void SetFixedUnit(TUnit unit);
    // Drops the readings, keeping the limits and the fixed unit.
    void Restart();
    // Adds a reading in its own unit with the decimals it was written with;
    // the fixed unit, or else the first reading with a unit, gives the
    // group's unit. Readings without a unit count only as long as the group
    // has none.
    void Add(double value, TUnit unit, int decimals);
    TUnit Unit() const { return FUnit; }
    TUnit FixedUnit() const { return FFixedUnit; }
    // The limits in the group's unit; inactive where they do not convert.
    const TLimits& Limits() const { return FApplied; }
    // Every reading added, in the figures or not.
    qsizetype Size() const { return FCount + FExcluded; }
    TStatistics Statistics() const;

private:
    void Reset();
    void ApplyLimits();

    TLimits FLimits;
    TLimits FApplied;
    bool FLimitsConvert = true;
    TUnit FFixedUnit = TUnit::None;
    TUnit FUnit = TUnit::None;
    int FDecimals = 0;
    qsizetype FCount = 0;
    qsizetype FExcluded = 0;
    double FMean = 0;
    double FSquares = 0; // sum of squared deviations from the mean
    double FMinimum = 0;
    double FMaximum = 0;
    double FLast = 0;         // the newest value in the figures
    double FMovingRanges = 0; // sum of |x(i) - x(i-1)|
    qsizetype FBelow = 0;
    qsizetype FWithin = 0;
    qsizetype FAbove = 0;
};

} // namespace series
