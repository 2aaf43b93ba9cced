#include "Reading.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <string_view>

namespace series {

namespace {

// Longer numbers than any gauge prints are no readings; this also keeps the
// squares in the statistics far from overflow.
constexpr qsizetype MaxNumberLength = 20;
constexpr qsizetype MaxLabelLength = 32;
// A line longer than a label, a number and a unit with blanks is no reading.
constexpr qsizetype MaxReadingLength = 128;

// Powers of ten that a double holds exactly.
constexpr std::array<double, 16> kPowers = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool IsMicroSign(QChar c) {
    return c == QChar(0x00B5) || c == QChar(0x03BC);
}

// Within a reading only blanks and tabs separate its parts: a line end in
// it would make two lines of it.
QStringView WithoutBlanks(QStringView text) {
    while (!text.isEmpty() && (text.front() == u' ' || text.front() == u'\t'))
        text = text.mid(1);
    while (!text.isEmpty() && (text.back() == u' ' || text.back() == u'\t'))
        text.chop(1);
    return text;
}

// ASCII letters only: a unit is never anything else, and a comparison that
// folds all of Unicode costs more than the rest of a reading's parse.
bool SameLetters(QStringView text, std::u16string_view lower) {
    if (static_cast<std::size_t>(text.size()) != lower.size())
        return false;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const char16_t c = text[static_cast<qsizetype>(i)].unicode();
        if (c != lower[i] && !(c >= u'A' && c <= u'Z' && c + (u'a' - u'A') == lower[i]))
            return false;
    }
    return true;
}

// The number at the start of text: [+-] digits [sep digits] | [+-] sep digits.
// Returns its length, 0 when there is none, and the digits after its mark.
qsizetype NumberLength(QStringView text, int& decimals) {
    decimals = 0;
    qsizetype at = 0;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
        ++at;
    const qsizetype intStart = at;
    while (at < text.size() && IsAsciiDigit(text[at]))
        ++at;
    const bool hasInteger = at > intStart;
    if (at < text.size() && (text[at] == u'.' || text[at] == u',')) {
        const qsizetype fracStart = at + 1;
        qsizetype end = fracStart;
        while (end < text.size() && IsAsciiDigit(text[end]))
            ++end;
        if (end > fracStart) {
            decimals = static_cast<int>(end - fracStart);
            return end;
        }
    }
    return hasInteger ? at : 0;
}

std::optional<double> NumberValue(QStringView number) {
    // Up to 15 digits the number is a whole number over a power of ten, both
    // exact in a double, and one division rounds correctly: the value a full
    // conversion gives, at a fraction of its cost.
    std::uint64_t whole = 0;
    int digits = 0;
    int decimals = 0;
    bool fraction = false;
    bool negative = false;
    std::array<char, MaxNumberLength + 1> buffer{};
    qsizetype size = 0;
    for (const QChar c : number) {
        if (c == u'+')
            continue;
        buffer[static_cast<std::size_t>(size++)] = c == u',' ? '.' : static_cast<char>(c.unicode());
        if (c == u'-') {
            negative = true;
        } else if (c == u'.' || c == u',') {
            fraction = true;
        } else {
            whole = whole * 10 + (c.unicode() - u'0');
            ++digits;
            decimals += fraction ? 1 : 0;
        }
    }
    if (digits <= 15) {
        const double value =
            static_cast<double>(whole) / kPowers[static_cast<std::size_t>(decimals)];
        return negative ? -value : value;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(buffer.data(), buffer.data() + size, value);
    if (error != std::errc() || end != buffer.data() + size)
        return std::nullopt;
    return value;
}

bool IsLabel(QStringView label) {
    if (label.isEmpty() || label.size() > MaxLabelLength)
        return false;
    bool letter = false;
    for (const QChar c : label) {
        if (c.category() == QChar::Other_Control)
            return false;
        letter = letter || c.isLetter();
    }
    return letter;
}

// Inlined: a reading's parse is where the time of a stream goes.
[[gnu::always_inline]] inline std::optional<TUnit> ReadUnit(QStringView text) {
    if (text.isEmpty())
        return TUnit::None;
    if (SameLetters(text, u"mm"))
        return TUnit::Millimetre;
    if (SameLetters(text, u"um") ||
        (text.size() == 2 && IsMicroSign(text[0]) && (text[1] == u'm' || text[1] == u'M')))
        return TUnit::Micrometre;
    if (SameLetters(text, u"in") || SameLetters(text, u"inch") || text == u"\"")
        return TUnit::Inch;
    return std::nullopt;
}

// Digits only: a gauge's running number, which is not a label.
bool IsRunningNumber(QStringView text) {
    if (text.isEmpty() || text.size() > MaxLabelLength)
        return false;
    return std::all_of(text.begin(), text.end(), IsAsciiDigit);
}

// A value with its unit and nothing else (blanks around it aside).
std::optional<TParsedReading> ReadValue(QStringView text) {
    text = WithoutBlanks(text);
    int decimals = 0;
    const qsizetype length = NumberLength(text, decimals);
    if (length == 0 || length > MaxNumberLength)
        return std::nullopt;
    const auto unit = ReadUnit(WithoutBlanks(text.mid(length)));
    if (!unit)
        return std::nullopt;
    const auto value = NumberValue(text.first(length));
    if (!value)
        return std::nullopt;
    TParsedReading reading;
    reading.ValueText = text.first(length);
    reading.Value = *value;
    reading.Unit = *unit;
    reading.Decimals = decimals;
    return reading;
}

} // namespace

std::optional<TUnit> ParseUnit(QStringView text) {
    return ReadUnit(text);
}

std::optional<TParsedReading> ParseValue(QStringView text) {
    return ReadValue(text);
}

std::optional<TParsedReading> ParseReading(QStringView line) {
    line = line.trimmed();
    if (line.isEmpty() || line.size() > MaxReadingLength)
        return std::nullopt;
    if (auto reading = ReadValue(line))
        return reading;
    const qsizetype colon = line.indexOf(u':');
    if (colon < 0)
        return std::nullopt;
    const QStringView label = WithoutBlanks(line.first(colon));
    if (IsRunningNumber(label)) {
        auto reading = ReadValue(line.mid(colon + 1));
        if (reading && reading->Unit != TUnit::None)
            return reading;
        return std::nullopt;
    }
    if (!IsLabel(label))
        return std::nullopt;
    auto reading = ReadValue(line.mid(colon + 1));
    if (reading)
        reading->Label = label;
    return reading;
}

QString UnitName(TUnit unit) {
    switch (unit) {
    case TUnit::Millimetre:
        return QStringLiteral("mm");
    case TUnit::Micrometre:
        return QStringLiteral("\u00B5m");
    case TUnit::Inch:
        return QStringLiteral("in");
    case TUnit::None:
        break;
    }
    return {};
}

namespace {

// Micrometres per unit: whole numbers, so a conversion is one exact ratio.
constexpr std::uint64_t Micrometres(TUnit unit) {
    switch (unit) {
    case TUnit::Millimetre:
        return 1000;
    case TUnit::Micrometre:
        return 1;
    case TUnit::Inch:
        return 25400;
    case TUnit::None:
        break;
    }
    return 0;
}

} // namespace

std::optional<double> ConvertValue(double value, TUnit from, TUnit to) {
    if (from == to)
        return value;
    if (from == TUnit::None || to == TUnit::None)
        return std::nullopt;
    // Converted from the decimal the value was read from (the shortest text
    // that gives it back), in extended precision and rounded once at the
    // end: 12.7 mm is then exactly 0.5 in, as it would be on paper.
    std::array<char, 32> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), value);
    long double decimal = value;
    if (written.ec == std::errc())
        std::from_chars(text.data(), written.ptr, decimal);
    return static_cast<double>(decimal * static_cast<long double>(Micrometres(from)) /
                               static_cast<long double>(Micrometres(to)));
}

namespace {

// How often prime divides n (n > 0).
constexpr int Valuation(std::uint64_t n, std::uint64_t prime) {
    int count = 0;
    for (; n % prime == 0; n /= prime)
        ++count;
    return count;
}

// A conversion's factor as a fraction in lowest terms (127/5 from inches to
// millimetres), by what it does to a decimal's end.
struct TFactor {
    int Twos = 0;         // 2s of the denominator less those of the numerator
    int Fives = 0;        // the same for 5s
    bool Repeats = false; // 127 in the denominator: ends only over a multiple of 127
    int More = 0;         // decimals that keep a step no coarser where it never ends
};

constexpr TFactor Factor(TUnit from, TUnit to) {
    TFactor factor;
    if (Micrometres(from) == 0 || Micrometres(to) == 0)
        return factor;
    const std::uint64_t common = std::gcd(Micrometres(from), Micrometres(to));
    const std::uint64_t numerator = Micrometres(from) / common;
    const std::uint64_t denominator = Micrometres(to) / common;
    factor.Twos = Valuation(denominator, 2) - Valuation(numerator, 2);
    factor.Fives = Valuation(denominator, 5) - Valuation(numerator, 5);
    factor.Repeats = denominator % 127 == 0;
    for (std::uint64_t reach = numerator; reach < denominator; reach *= 10)
        ++factor.More;
    return factor;
}

constexpr int UnitCount = 4;
constexpr auto kFactors = [] {
    std::array<std::array<TFactor, UnitCount>, UnitCount> factors{};
    for (int from = 0; from < UnitCount; ++from)
        for (int to = 0; to < UnitCount; ++to)
            factors[static_cast<std::size_t>(from)][static_cast<std::size_t>(to)] =
                Factor(static_cast<TUnit>(from), static_cast<TUnit>(to));
    return factors;
}();

} // namespace

int ConvertedDecimals(double value, int decimals, TUnit from, TUnit to) {
    if (from == to || from == TUnit::None || to == TUnit::None)
        return decimals;
    // The value as mantissa * 10^exponent: the digits as written while they
    // fit a double exactly, else from the shortest text that gives it back.
    std::uint64_t mantissa = 0;
    int exponent = 0;
    const double scaled = decimals >= 0 && decimals < 16
                              ? std::fabs(value) * kPowers[static_cast<std::size_t>(decimals)]
                              : HUGE_VAL;
    if (scaled < 1e15) {
        mantissa = static_cast<std::uint64_t>(std::llround(scaled));
        exponent = -decimals;
    } else {
        std::array<char, 40> text{};
        const auto written = std::to_chars(text.data(), text.data() + text.size(), std::fabs(value),
                                           std::chars_format::scientific);
        int digits = 0;
        const char* at = text.data();
        for (; at < written.ptr && *at != 'e'; ++at) {
            if (*at != '.') {
                mantissa = mantissa * 10 + static_cast<std::uint64_t>(*at - '0');
                ++digits;
            }
        }
        if (at == written.ptr)
            return decimals;
        const bool negative = at[1] == '-';
        std::from_chars(at + 2, written.ptr, exponent);
        exponent = (negative ? -exponent : exponent) - (digits - 1);
    }
    if (mantissa == 0)
        return 0;
    for (; mantissa % 10 == 0; mantissa /= 10)
        ++exponent;
    const TFactor& factor = kFactors[static_cast<std::size_t>(from)][static_cast<std::size_t>(to)];
    // Never ends: as many more decimals as make a step no coarser.
    if (factor.Repeats && mantissa % 127 != 0)
        return decimals + factor.More;
    // In lowest terms the result's denominator is 2^twos * 5^fives.
    const int twos = factor.Twos - std::countr_zero(mantissa) - exponent;
    const int fives = factor.Fives - Valuation(mantissa, 5) - exponent;
    return std::max({0, twos, fives});
}

} // namespace series
