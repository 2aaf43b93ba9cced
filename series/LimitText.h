#pragma once

#include "Limits.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace series {

// Why a limit as typed cannot be used (the window says so in its language).
enum class TLimitProblem : quint8 {
    None,
    // No number as a reading writes one: digits with at most one "." or ","
    // for decimals. "1,234.5" is none: both marks are decimal marks here.
    NotANumber,
    // Letters after the number that are no unit ("12.6 kg").
    UnknownUnit,
    // A unit that does not convert into the group's ("12.6 mm" for readings
    // without a unit).
    UnitMismatch,
    // The lower limit is above the upper one: neither is used.
    LowerAboveUpper,
};

struct TLimitInput {
    std::optional<double> Value; // in the unit asked for; none when empty or unusable
    TLimitProblem Problem = TLimitProblem::None;
};

// A limit as typed: empty for none, or a number as readings write it,
// optionally with one of their units, which is converted into unit. A number
// without a unit is taken in unit.
TLimitInput ParseLimit(QStringView text, TUnit unit);

struct TLimitsInput {
    TLimits Limits; // what can be used, in the unit asked for
    TLimitProblem Lower = TLimitProblem::None;
    TLimitProblem Upper = TLimitProblem::None;
};

// A group's two limits as typed, in its unit. A limit that cannot be used
// leaves the other one in force; a lower above the upper gives neither.
TLimitsInput ParseLimits(QStringView lower, QStringView upper, TUnit unit);

// A text as a settings file keeps it whatever its characters: quoted, so
// the file's reading keeps blanks and quotes at its ends, the backslash and
// control characters (a line break would end the value) as escapes. Back
// from the value the file's reading gives (the quotes taken off already).
QString QuotedSettingText(QStringView text);
QString SettingTextFromQuoted(QStringView stored);
// A number as a settings file keeps it, exactly ("." and, where shorter,
// an exponent; empty for none), and back: also as typed, with a comma.
QString SettingNumber(const std::optional<double>& value);
std::optional<double> NumberFromSetting(const QString& stored);

// The limit store in the settings file's [Series] section: a numbered list
// Limit1Label, Limit1Lower, Limit1Upper, Limit1Unit, Limit2Label, ... (the
// numbers with ".", the unit as UnitName writes it, the label quoted so the
// file keeps every character). The list ends at the first number without a
// label key; entries without limits are skipped. The older form's one pair,
// Lower and Upper as typed, is the unlabelled group's limits when the list
// has none for it.
//
// lookup gives a key's value, none when the section does not hold the key.
using TSettingLookup = std::function<std::optional<QString>(const QString& key)>;
TLimitStore ReadLimitSettings(const TSettingLookup& lookup);
// The keys to write for the store: its entries, the section's older entries
// beyond them and the older pair emptied (the file has no way to remove a
// key), so reading them back gives the store.
std::vector<std::pair<QString, QString>> LimitSettings(const TLimitStore& store,
                                                       const TSettingLookup& lookup);

} // namespace series
