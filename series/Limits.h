#pragma once

#include "Reading.h"

#include <QString>
#include <QStringView>

#include <map>
#include <optional>

namespace series {

// Tolerance limits; either may be absent. Unit None means "in the unit of
// whatever group they are applied to" (the settings file's older one pair).
// Limits that are not finite, or a lower above the upper one, count as none.
struct TLimits {
    std::optional<double> Lower;
    std::optional<double> Upper;
    TUnit Unit = TUnit::None;

    bool Active() const;
    bool IsEmpty() const { return !Lower && !Upper; }
    bool operator==(const TLimits&) const = default;
};

enum class TVerdict : quint8 { Below, Within, Above };

// The verdict on a value in the limits' unit; none without active limits.
// A value on a limit is within.
std::optional<TVerdict> Judge(double value, const TLimits& limits);

// The limits in another unit (exact factors, as readings are converted);
// none when they have a unit and it does not convert. Limits without a unit
// are taken as they are, as limits in that unit.
std::optional<TLimits> ConvertLimits(const TLimits& limits, TUnit unit);

// The limits of every group by its label, whether the group has readings
// or not: labels are compared exactly (case and every character count), and
// the unlabelled group's label is empty. Limits without a value are no
// entry.
class TLimitStore {
public:
    using TEntries = std::map<QString, TLimits, std::less<>>;

    // The limits of a label; empty limits when it has none.
    TLimits Find(QStringView label) const;
    // Sets or replaces the limits of one label; empty ones take it out.
    // False when nothing changed.
    bool Set(const QString& label, const TLimits& limits);

    // By label, in the order QString compares them.
    const TEntries& Entries() const { return FEntries; }
    bool operator==(const TLimitStore&) const = default;

private:
    TEntries FEntries;
};

} // namespace series
