#include "series/Reading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace series;

namespace {

struct TParseCase {
    const char16_t* Line;
    bool IsReading;
    const char16_t* Label = u"";
    const char16_t* ValueText = u"";
    double Value = 0;
    TUnit Unit = TUnit::None;
};

// The gauge simulator's built-in lines, the demonstration's and the README's
// readings, lines as the serial path's conversions leave them, and lines that
// are no readings.
const TParseCase kCases[] = {
    {u"+12.345 mm", true, u"", u"+12.345", 12.345, TUnit::Millimetre},
    {u"-0.012 mm", true, u"", u"-0.012", -0.012, TUnit::Millimetre},
    {u"  12.5 um", true, u"", u"12.5", 12.5, TUnit::Micrometre},
    {u"+0.4861 in", true, u"", u"+0.4861", 0.4861, TUnit::Inch},
    {u"-3.5 um", true, u"", u"-3.5", -3.5, TUnit::Micrometre},
    {u"Max: 25.003 mm", true, u"Max", u"25.003", 25.003, TUnit::Millimetre},
    {u"  0.000 mm", true, u"", u"0.000", 0, TUnit::Millimetre},
    {u"Dia: +10.02 mm", true, u"Dia", u"+10.02", 10.02, TUnit::Millimetre},
    {u"-0.0005 in", true, u"", u"-0.0005", -0.0005, TUnit::Inch},
    {u"+125.0 um", true, u"", u"+125.0", 125, TUnit::Micrometre},
    {u"IR K7X: +4.210 mm\r\n", true, u"IR K7X", u"+4.210", 4.21, TUnit::Millimetre},
    {u"USB K65: 0.1657 in\r\n", true, u"USB K65", u"0.1657", 0.1657, TUnit::Inch},
    {u"12.5 mm", true, u"", u"12.5", 12.5, TUnit::Millimetre},
    {u"  12,5 \u00B5m\r\n", true, u"", u"12,5", 12.5, TUnit::Micrometre},
    {u"-0,0005 in\r\n", true, u"", u"-0,0005", -0.0005, TUnit::Inch},
    {u"Maxi\u00B5m: 12.5 um", true, u"Maxi\u00B5m", u"12.5", 12.5, TUnit::Micrometre},
    {u"3 \u03BCm", true, u"", u"3", 3, TUnit::Micrometre},
    {u"0.4861\"", true, u"", u"0.4861", 0.4861, TUnit::Inch},
    {u"0.5 inch", true, u"", u"0.5", 0.5, TUnit::Inch},
    {u"12.5MM", true, u"", u"12.5", 12.5, TUnit::Millimetre},
    {u"-.5 mm", true, u"", u"-.5", -0.5, TUnit::Millimetre},
    {u"\t42\r", true, u"", u"42", 42, TUnit::None},
    {u"Anzahl: 7", true, u"Anzahl", u"7", 7, TUnit::None},
    {u"01: 12.345 mm", true, u"", u"12.345", 12.345, TUnit::Millimetre},
    {u"2: 0.5 in\r\n", true, u"", u"0.5", 0.5, TUnit::Inch},
    {u" 117 :-3,5um", true, u"", u"-3,5", -3.5, TUnit::Micrometre},
    {u"\r\n> ", false},
    {u"> ", false},
    {u"", false},
    {u"Hallo", false},
    {u"Max", false},
    {u"Max:", false},
    {u"12:30:05", false},
    {u"12:30", false},
    {u"10:15", false},
    {u"3: 7", false},
    {u"1.5: 3 mm", false},
    {u"-2: 3 mm", false},
    {u"12:30:05 mm", false},
    {u"Zeit: 12:30:05", false},
    {u"2026-12-08", false},
    {u"Datum: 2026-12-08", false},
    {u"08.12.2026", false},
    {u"1(0x31)\r(0x0D)", false},
    {u"(0x0A)", false},
    {u"+(0x2B)1(0x31)2(0x32).(0x2E)5(0x35) (0x20)m(0x6D)m(0x6D)", false},
    {u"12.5.", false},
    {u"12.5 mm.", false},
    {u"12.", false},
    {u"+ 12.5 mm", false},
    {u"12.5 kg", false},
    {u"1,234.5 mm", false},
    {u"12.5 mm 13.1 mm", false},
    {u"-", false},
    {u"12.5\r\nmm", false},
    {u"Max:\n12 mm", false},
    {u"1234567890.12345678901 mm", false},
    {u"A\u0007B: 12.5 mm", false},
    {u"Ein sehr langer Text mit Doppelpunkt: 5 mm", false},
};

} // namespace

TEST(ReadingParser, Table) {
    for (const TParseCase& c : kCases) {
        const QString line = QString::fromUtf16(c.Line);
        const auto reading = ParseReading(line);
        ASSERT_EQ(reading.has_value(), c.IsReading) << line.toStdString();
        if (!reading)
            continue;
        EXPECT_EQ(reading->Label.toString(), QString::fromUtf16(c.Label)) << line.toStdString();
        EXPECT_EQ(reading->ValueText.toString(), QString::fromUtf16(c.ValueText))
            << line.toStdString();
        EXPECT_DOUBLE_EQ(reading->Value, c.Value) << line.toStdString();
        EXPECT_EQ(reading->Unit, c.Unit) << line.toStdString();
    }
}

// Every number a gauge may print gets the correctly rounded value, however
// many digits it has and wherever its decimal mark stands.
TEST(ReadingParser, ValuesAreCorrectlyRounded) {
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 200000; ++i) {
        const int digits = 1 + static_cast<int>(random() % 18); // with a sign and a mark: 20
        std::string number;
        for (int d = 0; d < digits; ++d)
            number += static_cast<char>('0' + random() % 10);
        if (random() % 4 != 0)
            number.insert(random() % (number.size() + 1), 1, '.');
        if (number.back() == '.')
            number.pop_back();
        if (random() % 2 == 0)
            number.insert(0, 1, '-');
        double expected = 0;
        std::from_chars(number.data(), number.data() + number.size(), expected);
        std::string written = number;
        std::replace(written.begin(), written.end(), '.', random() % 2 ? ',' : '.');
        const auto reading = ParseReading(QString::fromStdString(written + " mm"));
        ASSERT_TRUE(reading.has_value()) << written;
        ASSERT_EQ(reading->Value, expected) << written;
        ASSERT_EQ(std::signbit(reading->Value), std::signbit(expected)) << written;
    }
}

TEST(ReadingParser, ConversionsUseExactFactors) {
    EXPECT_EQ(ConvertValue(0.1657, TUnit::Inch, TUnit::Millimetre), 4.20878);
    EXPECT_EQ(ConvertValue(4.20878, TUnit::Millimetre, TUnit::Inch), 0.1657);
    EXPECT_EQ(ConvertValue(12.5, TUnit::Micrometre, TUnit::Millimetre), 0.0125);
    EXPECT_EQ(ConvertValue(0.0125, TUnit::Millimetre, TUnit::Micrometre), 12.5);
    EXPECT_EQ(ConvertValue(1, TUnit::Inch, TUnit::Micrometre), 25400);
    EXPECT_EQ(ConvertValue(3, TUnit::None, TUnit::None), 3);
    EXPECT_FALSE(ConvertValue(3, TUnit::None, TUnit::Millimetre));
    EXPECT_FALSE(ConvertValue(3, TUnit::Inch, TUnit::None));

    // The decimals of the exact result; where it never ends, enough for one
    // step of the reading's last digit.
    struct TDecimals {
        double Value;
        int Written;
        TUnit From, To;
        int Decimals;
    };
    const TDecimals cases[] = {
        {0.5, 1, TUnit::Inch, TUnit::Millimetre, 1},          // 12.7
        {0.0005, 4, TUnit::Inch, TUnit::Millimetre, 4},       // 0.0127
        {0.1657, 4, TUnit::Inch, TUnit::Millimetre, 5},       // 4.20878
        {0.500, 3, TUnit::Inch, TUnit::Millimetre, 1},        // 12.7000
        {12.7, 1, TUnit::Millimetre, TUnit::Inch, 1},         // 0.5
        {12.8, 1, TUnit::Millimetre, TUnit::Inch, 3},         // 0.50393...
        {12.5, 1, TUnit::Micrometre, TUnit::Inch, 6},         // 0.00049212...
        {12.5, 1, TUnit::Micrometre, TUnit::Millimetre, 4},   // 0.0125
        {12.500, 3, TUnit::Millimetre, TUnit::Micrometre, 0}, // 12500
        {-0.0125, 4, TUnit::Millimetre, TUnit::Micrometre, 1},
        {0, 3, TUnit::Inch, TUnit::Millimetre, 0},
        {1200, 0, TUnit::Micrometre, TUnit::Inch, 5},    // 0.047244...
        {1e-16, 16, TUnit::Inch, TUnit::Millimetre, 17}, // 0.00000000000000254
        {12.345, 3, TUnit::Millimetre, TUnit::Millimetre, 3},
        {12, 2, TUnit::None, TUnit::None, 2},
    };
    for (const TDecimals& c : cases)
        EXPECT_EQ(ConvertedDecimals(c.Value, c.Written, c.From, c.To), c.Decimals)
            << c.Value << " " << static_cast<int>(c.From) << " " << static_cast<int>(c.To);
}
