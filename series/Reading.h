#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace series {

// The units a gauge writes behind its value. Everything else is no reading.
enum class TUnit : quint8 { None, Millimetre, Micrometre, Inch };

// One line that is a reading, as views into the line it came from: they live
// as long as that line's text does.
struct TParsedReading {
    QStringView Label;     // text before the ":", trimmed; empty: no label
    QStringView ValueText; // the number as written: sign, digits, "." or ","
    double Value = 0;      // in Unit
    TUnit Unit = TUnit::None;
};

// Reads one line as it goes into the document: an optional label ending in
// ":", a signed decimal number with "." or "," (the serial path writes the
// user's separator), and "mm", "µm" (also "um", and the micro sign as either
// code point), "in", "inch" or '"', or no unit. Blanks and the line end
// around it do not matter. Prompts, words, dates, times and debug dumps are
// no readings: a label needs a letter, and nothing may follow the unit.
std::optional<TParsedReading> ParseReading(QStringView line);

// "mm", "µm", "in", or empty for no unit.
QString UnitName(TUnit unit);

// The value in another unit, converted with the exact factors (1 in =
// 25.4 mm) from its decimal text, so equal lengths in two units give the same
// value; none when either side has no unit.
std::optional<double> ConvertValue(double value, TUnit from, TUnit to);

} // namespace series
