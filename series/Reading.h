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
    int Decimals = 0; // digits after the decimal mark as written
};

// Reads one line as it goes into the document: an optional label ending in
// ":", a signed decimal number with "." or "," (the serial path writes the
// user's separator), and "mm", "µm" (also "um", and the micro sign as either
// code point), "in", "inch" or '"', or no unit. Blanks and the line end
// around it do not matter. Prompts, words, dates, times and debug dumps are
// no readings: a label needs a letter, and nothing may follow the unit.
// A gauge's running number in place of the label ("01: 12.345 mm") is no
// label; the line is a reading only when a unit follows its value, so a
// time such as "10:15" stays none.
std::optional<TParsedReading> ParseReading(QStringView line);

// A number with an optional unit and nothing else, blanks around it aside:
// what follows a reading's label.
std::optional<TParsedReading> ParseValue(QStringView text);

// "mm", "µm", "in", or empty for no unit.
QString UnitName(TUnit unit);
// A unit as a reading writes it (any of the spellings above, "" for none);
// none when it is no unit.
std::optional<TUnit> ParseUnit(QStringView text);

// The value in another unit, converted with the exact factors (1 in =
// 25.4 mm) from its decimal text, so equal lengths in two units give the same
// value; none when either side has no unit.
std::optional<double> ConvertValue(double value, TUnit from, TUnit to);

// The decimals a value written with the given decimals has once converted:
// those of the exact result, without the zeros a conversion leaves at its
// end (0.5 in is 12.7 mm, 1 decimal; 0.0005 in is 0.0127 mm, 4). A result
// that never ends (most millimetres in inches) gets the decimals that still
// show one step of the reading's last digit: 0.1 mm is 0.0039 in, so 12.8 mm
// has 3 in inches. The same unit, or no unit on either side, keeps them.
int ConvertedDecimals(double value, int decimals, TUnit from, TUnit to);

} // namespace series
