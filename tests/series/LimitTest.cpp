#include "series/LimitText.h"

#include <QHash>

#include <gtest/gtest.h>

using namespace series;

namespace {

struct TLimitCase {
    const char16_t* Text;
    TUnit Unit;
    std::optional<double> Value;
    TLimitProblem Problem = TLimitProblem::None;
};

// Limits as typed into a group's field, in the group's unit.
const TLimitCase kLimitCases[] = {
    {u"", TUnit::Millimetre, std::nullopt},
    {u" \t", TUnit::Millimetre, std::nullopt},
    {u"12,6", TUnit::Millimetre, 12.6},
    {u" +12.6 ", TUnit::Millimetre, 12.6},
    {u"-.5", TUnit::Inch, -0.5},
    {u"12.6", TUnit::None, 12.6},
    {u"12.6 mm", TUnit::Millimetre, 12.6},
    {u"0.5in", TUnit::Millimetre, 12.7},
    {u"12700 \u00B5m", TUnit::Inch, 0.5},
    {u"0,0125 MM", TUnit::Micrometre, 12.5},
    {u"12.6 mm", TUnit::None, std::nullopt, TLimitProblem::UnitMismatch},
    {u"1,234.5", TUnit::Millimetre, std::nullopt, TLimitProblem::NotANumber},
    {u"1.234,5", TUnit::Millimetre, std::nullopt, TLimitProblem::NotANumber},
    {u"abc", TUnit::Millimetre, std::nullopt, TLimitProblem::NotANumber},
    {u"1e3", TUnit::Millimetre, std::nullopt, TLimitProblem::NotANumber},
    {u"12 . 6", TUnit::Millimetre, std::nullopt, TLimitProblem::NotANumber},
    {u"--1", TUnit::Millimetre, std::nullopt, TLimitProblem::NotANumber},
    {u"12.6 kg", TUnit::Millimetre, std::nullopt, TLimitProblem::UnknownUnit},
    {u"12.6\u00B5", TUnit::Millimetre, std::nullopt, TLimitProblem::UnknownUnit},
};

// A section of the settings file as it reads values back: keys in any case,
// blanks around a value trimmed, one pair of enclosing quotes taken off.
class TSection {
public:
    explicit TSection(std::initializer_list<std::pair<QString, QString>> keys = {}) {
        Write(std::vector(keys));
    }
    void Write(const std::vector<std::pair<QString, QString>>& keys) {
        for (const auto& [key, value] : keys)
            FValues.insert(key.toLower(), value);
    }
    std::optional<QString> Value(const QString& key) const {
        const auto found = FValues.constFind(key.toLower());
        if (found == FValues.constEnd())
            return std::nullopt;
        QString value = found->trimmed();
        if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
            value = value.mid(1, value.size() - 2);
        return value;
    }
    TSettingLookup Lookup() const {
        return [this](const QString& key) { return Value(key); };
    }

private:
    QHash<QString, QString> FValues;
};

} // namespace

TEST(Limits, TypedLimitsGiveAValueOrTheReason) {
    for (const TLimitCase& c : kLimitCases) {
        const QString text = QString::fromUtf16(c.Text);
        const TLimitInput limit = ParseLimit(text, c.Unit);
        EXPECT_EQ(limit.Problem, c.Problem) << text.toStdString();
        ASSERT_EQ(limit.Value.has_value(), c.Value.has_value()) << text.toStdString();
        if (c.Value) {
            EXPECT_DOUBLE_EQ(*limit.Value, *c.Value) << text.toStdString();
        }
    }
    // A lower limit above the upper one gives neither; one that cannot be
    // used leaves the other in force; equal limits are limits.
    TLimitsInput pair = ParseLimits(u"13", u"12,6", TUnit::Millimetre);
    EXPECT_EQ(pair.Lower, TLimitProblem::LowerAboveUpper);
    EXPECT_EQ(pair.Upper, TLimitProblem::LowerAboveUpper);
    EXPECT_EQ(pair.Limits, (TLimits{std::nullopt, std::nullopt, TUnit::Millimetre}));
    pair = ParseLimits(u"12.6 mm", u"0.5 in", TUnit::Millimetre);
    EXPECT_EQ(pair.Limits, (TLimits{12.6, 12.7, TUnit::Millimetre}));
    pair = ParseLimits(u"abc", u"13", TUnit::Inch);
    EXPECT_EQ(pair.Lower, TLimitProblem::NotANumber);
    EXPECT_EQ(pair.Upper, TLimitProblem::None);
    EXPECT_EQ(pair.Limits, (TLimits{std::nullopt, 13, TUnit::Inch}));
    EXPECT_TRUE(ParseLimits(u"13", u"13,0", TUnit::Inch).Limits.Active());
}

// The store in the settings file and back: every label with every
// character, case apart; the file's reading must not change them.
TEST(Limits, TheStoreKeepsInTheSettingsFile) {
    TLimitStore store;
    store.Set(QString(), {12.6, 13});
    store.Set(QStringLiteral("Dia \"A\""), {1, 2, TUnit::Millimetre});
    store.Set(QStringLiteral(" Blank "), {std::nullopt, 0.0005, TUnit::Inch});
    store.Set(QStringLiteral("C:\\x41\\"), {-1e-7, 1e21, TUnit::Micrometre});
    store.Set(QStringLiteral("two\r\nlines\x7F"), {1, std::nullopt, TUnit::Micrometre});
    store.Set(QStringLiteral("dia"), {3, 4, TUnit::Millimetre});
    store.Set(QStringLiteral("Dia"), {5, 6, TUnit::Millimetre});
    store.Set(QStringLiteral("\u00C4u\u00DFer \u00B5"), {0.1, 0.2, TUnit::Millimetre});
    TSection section;
    section.Write(LimitSettings(store, section.Lookup()));
    EXPECT_EQ(ReadLimitSettings(section.Lookup()), store);
    EXPECT_EQ(section.Value(QStringLiteral("LIMIT8UNIT")), "mm");

    // One entry as the file holds it.
    TLimitStore one;
    one.Set(QStringLiteral("Dia"), {4.1, std::nullopt, TUnit::Millimetre});
    const std::vector<std::pair<QString, QString>> keys = {{"Limit1Label", "\"Dia\""},
                                                           {"Limit1Lower", "4.1"},
                                                           {"Limit1Upper", ""},
                                                           {"Limit1Unit", "mm"}};
    EXPECT_EQ(LimitSettings(one, TSection().Lookup()), keys);

    // Fewer entries than the file holds: the rest are emptied and skipped.
    section.Write(LimitSettings(one, section.Lookup()));
    EXPECT_EQ(ReadLimitSettings(section.Lookup()), one);
    EXPECT_EQ(section.Value(QStringLiteral("Limit8Label")), "");
}

TEST(Limits, TheOlderPairIsTheUnlabelledGroups) {
    TLimitStore older;
    older.Set(QString(), {12.6, 13});
    EXPECT_EQ(ReadLimitSettings(TSection({{"Lower", "12,6"}, {"Upper", " 13 "}}).Lookup()), older);
    // The list's own entry for the unlabelled group wins; an entry in a
    // unit this program does not know is skipped.
    TSection both({{"Lower", "1"},
                   {"Upper", "2"},
                   {"Limit1Label", "\"\""},
                   {"Limit1Lower", "12.6"},
                   {"Limit1Upper", "13"},
                   {"Limit1Unit", ""},
                   {"Limit2Label", "Dia"},
                   {"Limit2Lower", "1"},
                   {"Limit2Unit", "kg"}});
    EXPECT_EQ(ReadLimitSettings(both.Lookup()), older);
    // Written back, the pair is emptied so that it cannot come back once the
    // unlabelled group's limits are taken away.
    both.Write(LimitSettings(TLimitStore(), both.Lookup()));
    EXPECT_EQ(ReadLimitSettings(both.Lookup()), TLimitStore());
    EXPECT_EQ(both.Value(QStringLiteral("Lower")), "");
}
