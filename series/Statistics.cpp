#include "Statistics.h"

#include <algorithm>
#include <cmath>

namespace series {

void TGroupFigures::Reset() {
    FCount = 0;
    FMean = FSquares = FMinimum = FMaximum = 0;
    FBelow = FWithin = FAbove = 0;
}

void TGroupFigures::Add(double value, TUnit unit, const TLimits& limits) {
    if (FUnit == TUnit::None && unit != TUnit::None) {
        // The unitless readings counted so far cannot be converted.
        FExcluded += FCount;
        Reset();
        FUnit = unit;
    }
    const auto converted = ConvertValue(value, unit, FUnit);
    if (!converted) {
        ++FExcluded;
        return;
    }
    const double x = *converted;
    ++FCount;
    const double delta = x - FMean;
    FMean += delta / static_cast<double>(FCount);
    FSquares += delta * (x - FMean);
    FMinimum = FCount == 1 ? x : std::min(FMinimum, x);
    FMaximum = FCount == 1 ? x : std::max(FMaximum, x);
    if (const auto verdict = Judge(x, limits)) {
        if (*verdict == TVerdict::Below)
            ++FBelow;
        else if (*verdict == TVerdict::Above)
            ++FAbove;
        else
            ++FWithin;
    }
}

TStatistics TGroupFigures::Statistics(const TLimits& limits) const {
    TStatistics result;
    result.Unit = FUnit;
    result.Count = FCount;
    result.Excluded = FExcluded;
    result.HasLimits = limits.Active();
    if (result.HasLimits) {
        result.Below = FBelow;
        result.Within = FWithin;
        result.Above = FAbove;
    }
    if (FCount == 0)
        return result;
    result.Minimum = FMinimum;
    result.Maximum = FMaximum;
    result.Range = FMaximum - FMinimum;
    result.Mean = FMean;
    if (FCount < 2)
        return result;
    const double s = std::sqrt(std::max(FSquares, 0.0) / static_cast<double>(FCount - 1));
    result.StandardDeviation = s;
    if (s == 0 || !result.HasLimits)
        return result;
    std::optional<double> upper, lower;
    if (limits.Upper)
        upper = (*limits.Upper - FMean) / (3 * s);
    if (limits.Lower)
        lower = (FMean - *limits.Lower) / (3 * s);
    if (upper && lower) {
        result.Cp = (*limits.Upper - *limits.Lower) / (6 * s);
        result.Cpk = std::min(*upper, *lower);
    } else {
        result.Cpk = upper ? upper : lower;
    }
    return result;
}

} // namespace series
