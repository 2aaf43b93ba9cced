#include "Statistics.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace series {

namespace {

// Cp and Cpk (or Pp and Ppk) for a spread, with active limits: the two-sided
// index needs both limits, the one-sided takes the nearer limit there is.
void Capability(double mean, double spread, const TLimits& limits, std::optional<double>& index,
                std::optional<double>& centred) {
    if (spread <= 0 || !std::isfinite(spread))
        return;
    std::optional<double> upper, lower;
    if (limits.Upper)
        upper = (*limits.Upper - mean) / (3 * spread);
    if (limits.Lower)
        lower = (mean - *limits.Lower) / (3 * spread);
    if (upper && lower) {
        index = (*limits.Upper - *limits.Lower) / (6 * spread);
        centred = std::min(*upper, *lower);
    } else {
        centred = upper ? upper : lower;
    }
}

} // namespace

bool OutsideControlLimits(double value, const TStatistics& statistics) {
    return (statistics.LowerControlLimit && value < *statistics.LowerControlLimit) ||
           (statistics.UpperControlLimit && value > *statistics.UpperControlLimit);
}

void TGroupFigures::SetLimits(const TLimits& limits) {
    FLimits = limits;
    ApplyLimits();
}

void TGroupFigures::ApplyLimits() {
    const std::optional<TLimits> applied = ConvertLimits(FLimits, FUnit);
    FLimitsConvert = applied.has_value();
    FApplied = applied.value_or(TLimits());
}

void TGroupFigures::SetFixedUnit(TUnit unit) {
    FFixedUnit = unit;
    Restart();
}

void TGroupFigures::Restart() {
    Reset();
    FExcluded = 0;
    if (std::exchange(FUnit, FFixedUnit) != FFixedUnit)
        ApplyLimits();
}

void TGroupFigures::Reset() {
    FCount = 0;
    FDecimals = 0;
    FMean = FSquares = FMinimum = FMaximum = FLast = FMovingRanges = 0;
    FBelow = FWithin = FAbove = 0;
}

void TGroupFigures::Add(double value, TUnit unit, int decimals) {
    if (FUnit == TUnit::None && unit != TUnit::None) {
        // The unitless readings counted so far cannot be converted.
        FExcluded += FCount;
        Reset();
        FUnit = unit;
        ApplyLimits();
    }
    const auto converted = ConvertValue(value, unit, FUnit);
    if (!converted) {
        ++FExcluded;
        return;
    }
    const double x = *converted;
    FDecimals = std::max(
        FDecimals, unit == FUnit ? decimals : ConvertedDecimals(value, decimals, unit, FUnit));
    if (FCount > 0)
        FMovingRanges += std::fabs(x - FLast);
    FLast = x;
    ++FCount;
    const double delta = x - FMean;
    FMean += delta / static_cast<double>(FCount);
    FSquares += delta * (x - FMean);
    FMinimum = FCount == 1 ? x : std::min(FMinimum, x);
    FMaximum = FCount == 1 ? x : std::max(FMaximum, x);
    if (const auto verdict = Judge(x, FApplied)) {
        if (*verdict == TVerdict::Below)
            ++FBelow;
        else if (*verdict == TVerdict::Above)
            ++FAbove;
        else
            ++FWithin;
    }
}

TStatistics TGroupFigures::Statistics() const {
    TStatistics result;
    result.Unit = FUnit;
    result.Decimals = FDecimals;
    result.Count = FCount;
    result.Excluded = FExcluded;
    result.Limits = FApplied;
    result.LimitsConvert = FLimitsConvert;
    result.HasLimits = FApplied.Active();
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
    const double movingRange = FMovingRanges / static_cast<double>(FCount - 1);
    const double shortTerm = movingRange / MovingRangeD2;
    result.StandardDeviation = s;
    result.MovingRange = movingRange;
    result.ShortTermDeviation = shortTerm;
    result.LowerControlLimit = FMean - MovingRangeE2 * movingRange;
    result.UpperControlLimit = FMean + MovingRangeE2 * movingRange;
    if (result.HasLimits) {
        Capability(FMean, shortTerm, FApplied, result.Cp, result.Cpk);
        Capability(FMean, s, FApplied, result.Pp, result.Ppk);
    }
    return result;
}

} // namespace series
