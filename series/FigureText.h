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
// A limit as the user may type it back: every digit it holds, none more.
QString ShortestNumberText(double value, QChar separator);

// A chart's vertical scale: from Low to High in steps of Step (1, 2 or 5
// times a power of ten, never finer than the readings' last digit), 3 to 6
// labelled values that cover low..high, each written with the readings'
// decimals.
struct TScale {
    double Low = 0;
    double High = 1;
    double Step = 1;
    int Decimals = 0;
    int Count() const;
    double At(int tick) const { return Low + Step * tick; }
};
TScale ValueScale(double low, double high, int decimals);

} // namespace series
