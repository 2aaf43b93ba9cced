#pragma once

#include "Limits.h"
#include "Reading.h"

#include <QtGlobal>

#include <optional>

namespace series {

// The figures of one group. Count is the readings in the figures; Excluded
// those listed but left out (no unit while the group has one). Each figure
// is absent where it cannot be given: without readings; s, Cp and Cpk with
// fewer than two readings or s = 0; Cp with one limit.
struct TStatistics {
    TUnit Unit = TUnit::None; // the group's unit: that of its first reading with one
    qsizetype Count = 0;
    qsizetype Excluded = 0;
    std::optional<double> Minimum;
    std::optional<double> Maximum;
    std::optional<double> Range;
    std::optional<double> Mean;
    std::optional<double> StandardDeviation; // sample (n - 1)
    bool HasLimits = false;
    qsizetype Below = 0;
    qsizetype Within = 0;
    qsizetype Above = 0;
    std::optional<double> Cp;
    std::optional<double> Cpk;
};

// Running figures of one group, a reading at a time (Welford's update, so a
// long series with a large offset keeps its precision).
class TGroupFigures {
public:
    // Adds a reading in its own unit; the first one with a unit fixes the
    // group's unit. Readings without a unit count only as long as the group
    // has none.
    void Add(double value, TUnit unit, const TLimits& limits);
    TUnit Unit() const { return FUnit; }
    // Every reading added, in the figures or not.
    qsizetype Size() const { return FCount + FExcluded; }
    TStatistics Statistics(const TLimits& limits) const;

private:
    void Reset();

    TUnit FUnit = TUnit::None;
    qsizetype FCount = 0;
    qsizetype FExcluded = 0;
    double FMean = 0;
    double FSquares = 0; // sum of squared deviations from the mean
    double FMinimum = 0;
    double FMaximum = 0;
    qsizetype FBelow = 0;
    qsizetype FWithin = 0;
    qsizetype FAbove = 0;
};

} // namespace series
