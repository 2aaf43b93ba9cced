#include "Limits.h"

#include <cmath>

namespace series {

bool TLimits::Active() const {
    const auto finite = [](const std::optional<double>& limit) {
        return !limit || std::isfinite(*limit);
    };
    if (!finite(Lower) || !finite(Upper) || IsEmpty())
        return false;
    return !(Lower && Upper && *Lower > *Upper);
}

std::optional<TVerdict> Judge(double value, const TLimits& limits) {
    if (!limits.Active())
        return std::nullopt;
    if (limits.Lower && value < *limits.Lower)
        return TVerdict::Below;
    if (limits.Upper && value > *limits.Upper)
        return TVerdict::Above;
    return TVerdict::Within;
}

std::optional<TLimits> ConvertLimits(const TLimits& limits, TUnit unit) {
    TLimits converted = limits;
    converted.Unit = unit;
    if (limits.Unit == TUnit::None || limits.Unit == unit)
        return converted;
    for (auto [from, to] :
         {std::pair{&limits.Lower, &converted.Lower}, std::pair{&limits.Upper, &converted.Upper}}) {
        if (!*from)
            continue;
        *to = ConvertValue(**from, limits.Unit, unit);
        if (!*to)
            return std::nullopt;
    }
    return converted;
}

TLimits TLimitStore::Find(QStringView label) const {
    const auto found = FEntries.find(label);
    return found == FEntries.end() ? TLimits() : found->second;
}

bool TLimitStore::Set(const QString& label, const TLimits& limits) {
    const auto found = FEntries.find(label);
    if (limits.IsEmpty()) {
        if (found == FEntries.end())
            return false;
        FEntries.erase(found);
        return true;
    }
    if (found != FEntries.end() && found->second == limits)
        return false;
    FEntries.insert_or_assign(label, limits);
    return true;
}

} // namespace series
