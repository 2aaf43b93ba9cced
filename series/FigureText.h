#pragma once

#include "Statistics.h"

#include <QChar>
#include <QString>

namespace series {

// The figures of a group as the panel and the export write them.
enum class TFigure : quint8 {
    Count,
    Minimum,
    Maximum,
    Range,
    Mean,
    StandardDeviation,
    MovingRange,
    ShortTermDeviation,
    LowerControlLimit,
    UpperControlLimit,
    Cp,
    Cpk,
    Pp,
    Ppk,
};

// The decimals a figure is written with: those of the group's readings for
// values in its unit (extremes, range: exact differences of readings), one
// more for the estimates (mean, spreads, control limits), two for the
// capability indices, none for the count.
int FigureDecimals(TFigure figure, const TStatistics& statistics);
std::optional<double> FigureValue(TFigure figure, const TStatistics& statistics);
// The figure's text with the user's decimal separator; empty when absent.
QString FigureText(TFigure figure, const TStatistics& statistics, QChar separator);

// A number with a fixed count of decimals and the given separator; a value
// that rounds to zero has no sign ("0.00", never "-0.00").
QString NumberText(double value, int decimals, QChar separator);
void AppendNumber(QString& out, double value, int decimals, QChar separator);

} // namespace series
