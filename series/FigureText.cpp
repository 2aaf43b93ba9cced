#include "FigureText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

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

QString ShortestNumberText(double value, QChar separator) {
    std::array<char, 400> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                       std::chars_format::fixed);
    QString out;
    for (const char* c = digits.data(); c != written.ptr; ++c)
        out += *c == '.' ? separator : QChar(QLatin1Char(*c));
    return out;
}

int TScale::Count() const {
    return static_cast<int>(std::lround((High - Low) / Step)) + 1;
}

TScale ValueScale(double low, double high, int decimals) {
    if (!std::isfinite(low) || !std::isfinite(high))
        return {};
    if (high < low)
        std::swap(low, high);
    decimals = std::clamp(decimals, 0, 12);
    // From the readings' last digit (or from what still tells the span apart
    // when it is far wider) up through 1, 2, 5 times ten to the power.
    int exponent = -decimals;
    if (high > low)
        exponent = std::max(exponent, static_cast<int>(std::floor(std::log10(high - low))) - 2);
    for (;; ++exponent) {
        for (const int mantissa : {1, 2, 5}) {
            const double step = mantissa * std::pow(10.0, exponent);
            // Values a rounding off a step's multiple are on it.
            double first = std::floor(low / step + 1e-9);
            double last = std::ceil(high / step - 1e-9);
            if (last - first > 5)
                continue;
            // Too few ticks for a scale: widen it around the values.
            while (last - first < 2) {
                first -= 1;
                if (last - first < 2)
                    last += 1;
            }
            return {first * step, last * step, step, decimals};
        }
    }
}

} // namespace series
