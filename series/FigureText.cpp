#include "FigureText.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace series {

namespace {

// A double holds no more: further digits would be noise.
constexpr int MaxDecimals = 24;

} // namespace

int FigureDecimals(TFigure figure, const TStatistics& statistics) {
    switch (figure) {
    case TFigure::Count:
        return 0;
    case TFigure::Minimum:
    case TFigure::Maximum:
    case TFigure::Range:
        return statistics.Decimals;
    case TFigure::Mean:
    case TFigure::StandardDeviation:
    case TFigure::MovingRange:
    case TFigure::ShortTermDeviation:
    case TFigure::LowerControlLimit:
    case TFigure::UpperControlLimit:
        return statistics.Decimals + 1;
    case TFigure::Cp:
    case TFigure::Cpk:
    case TFigure::Pp:
    case TFigure::Ppk:
        break;
    }
    return 2;
}

std::optional<double> FigureValue(TFigure figure, const TStatistics& s) {
    switch (figure) {
    case TFigure::Count:
        return static_cast<double>(s.Count);
    case TFigure::Minimum:
        return s.Minimum;
    case TFigure::Maximum:
        return s.Maximum;
    case TFigure::Range:
        return s.Range;
    case TFigure::Mean:
        return s.Mean;
    case TFigure::StandardDeviation:
        return s.StandardDeviation;
    case TFigure::MovingRange:
        return s.MovingRange;
    case TFigure::ShortTermDeviation:
        return s.ShortTermDeviation;
    case TFigure::LowerControlLimit:
        return s.LowerControlLimit;
    case TFigure::UpperControlLimit:
        return s.UpperControlLimit;
    case TFigure::Cp:
        return s.Cp;
    case TFigure::Cpk:
        return s.Cpk;
    case TFigure::Pp:
        return s.Pp;
    case TFigure::Ppk:
        return s.Ppk;
    }
    return std::nullopt;
}

QString FigureText(TFigure figure, const TStatistics& statistics, QChar separator) {
    if (figure == TFigure::Count)
        return QString::number(statistics.Count);
    const std::optional<double> value = FigureValue(figure, statistics);
    return value ? NumberText(*value, FigureDecimals(figure, statistics), separator) : QString();
}

QString NumberText(double value, int decimals, QChar separator) {
    QString text;
    AppendNumber(text, value, decimals, separator);
    return text;
}

void AppendNumber(QString& out, double value, int decimals, QChar separator) {
    std::array<char, 400> digits{}; // the largest double with every decimal
    const auto written =
        std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed,
                      std::clamp(decimals, 0, MaxDecimals));
    char* begin = digits.data();
    if (*begin == '-' &&
        std::all_of(begin + 1, written.ptr, [](char c) { return c == '0' || c == '.'; }))
        ++begin;
    for (const char* c = begin; c != written.ptr; ++c)
        out += *c == '.' ? separator : QChar(QLatin1Char(*c));
}

} // namespace series
