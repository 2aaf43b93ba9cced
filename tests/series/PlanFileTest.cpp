#include "series/PlanFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace series;

namespace {

bool Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

// Names with any character, units fixed or not, limits in the
// characteristic's unit, in another one, one-sided, tiny and huge.
TEST(PlanFile, APlanComesBackFromItsFileAndReplacesItsLimitsOnly) {
    const TPlan plan = {
        {{"Dia", TUnit::Millimetre}, {9.98, 10.02, TUnit::Millimetre}},
        {{"Len \"A\"; 2\\x41\r\n[Plan]", TUnit::None}, {std::nullopt, 0.5, TUnit::Inch}},
        {{" Breite ", TUnit::Micrometre}, {0.01, 0.02, TUnit::Millimetre}},
        {{"\u00D8 au\u00DFen", TUnit::Inch}, {}},
        {{"tiny", TUnit::Millimetre}, {1e-7, 1e21, TUnit::Millimetre}},
    };
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("plan.ini"));
    ASSERT_FALSE(WritePlanFile(path, plan));
    const TPlanFileRead read = ReadPlanFile(path);
    EXPECT_EQ(read.Problem, TPlanFileProblem::None);
    EXPECT_TRUE(read.LimitProblems.empty());
    EXPECT_EQ(read.Plan, plan);
    // What a colleague sees who opens it.
    EXPECT_EQ(PlanFileBytes({plan[0], plan[2]}),
              "[Plan]\r\nVersion=1\r\n"
              "\r\n[Characteristic1]\r\nName=\"Dia\"\r\nUnit=mm\r\nLower=9.98\r\nUpper=10.02\r\n"
              "\r\n[Characteristic2]\r\nName=\" Breite \"\r\nUnit=\xC2\xB5m\r\n"
              "Lower=0.01 mm\r\nUpper=0.02 mm\r\n");

    // In use: its limits replace those of its characteristics, empty ones
    // too; other groups keep theirs.
    TSeries series;
    series.SetLimits(QStringLiteral("Dia"), {1, 2, TUnit::Millimetre});
    series.SetLimits(QStringLiteral("\u00D8 au\u00DFen"), {1, 2, TUnit::Millimetre});
    series.SetLimits(QStringLiteral("Other"), {3, 4});
    TInspection inspection(series);
    inspection.UsePlan(read.Plan);
    EXPECT_EQ(inspection.Plan(), plan);
    EXPECT_EQ(series.Limits().Entries().size(), 5u);
    EXPECT_EQ(series.Limits().Find(u"Other"), (TLimits{3, 4}));
    EXPECT_EQ(series.FixedUnits().at(QStringLiteral(" Breite ")), TUnit::Micrometre);
    // Names typed over it keep the units of those that stay.
    inspection.SetNames({"Dia", "Neu"});
    EXPECT_EQ(inspection.Characteristics(),
              (std::vector<TCharacteristic>{{"Dia", TUnit::Millimetre}, {"Neu", TUnit::None}}));
    EXPECT_EQ(series.FixedUnits(), (TSeries::TFixedUnits{{"Dia", TUnit::Millimetre}}));
}

namespace {

struct TDamage {
    const char* Bytes;
    TPlanFileProblem Problem;
    int Number = 0;
    const char16_t* Name = u"";
};

const TDamage kDamaged[] = {
    {"", TPlanFileProblem::NotAPlan},
    {"[Series]\nLimit1Label=Dia\n[Characteristic1]\nName=Dia", TPlanFileProblem::NotAPlan},
    {"[Plan]\nVersion=one\n[Characteristic1]\nName=Dia", TPlanFileProblem::NotAPlan},
    {"[Plan]\nVersion=2\n[Characteristic1]\nName=Dia", TPlanFileProblem::NewerVersion},
    {"[Plan]\nVersion=1\n[Characteristic]\nName=Dia\n[Characteristic01]\nName=Len",
     TPlanFileProblem::NoCharacteristics},
    {"[Plan]\nVersion=1\n[Characteristic1]\nName=Dia\n[Characteristic3]\nName=Len",
     TPlanFileProblem::MissingSection, 2},
    {"[Plan]\nVersion=1\n[Characteristic1]\nName=\"\"\nUnit=mm", TPlanFileProblem::NoName, 1},
    {"[Plan]\nVersion=1\n[Characteristic1]\nName=Dia\n[Characteristic2]\nName=\"Dia\"",
     TPlanFileProblem::DuplicateName, 2, u"Dia"},
    {"[Plan]\nVersion=1\n[Characteristic1]\nName=Dia\nUnit=kg", TPlanFileProblem::UnknownUnit, 1,
     u"Dia"},
};

} // namespace

TEST(PlanFile, AFileThatCannotBeReadIsRefusedWithItsReason) {
    for (const TDamage& damage : kDamaged) {
        SCOPED_TRACE(damage.Bytes);
        const TPlanFileRead read = ParsePlanFile(damage.Bytes);
        EXPECT_EQ(read.Problem, damage.Problem);
        EXPECT_EQ(read.Number, damage.Number);
        EXPECT_EQ(read.Name, QString::fromUtf16(damage.Name));
        EXPECT_TRUE(read.Plan.empty());
    }
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString large = folder.filePath(QStringLiteral("large.ini"));
    ASSERT_TRUE(Put(large, "[Plan]\nVersion=1\n[Characteristic1]\nName=Dia\n" +
                               QByteArray(kMaxPlanFileSize, ';')));
    for (const auto& [path, reason] : {std::pair{large, platform::TFileReason::TooLarge},
                                       std::pair{folder.path(), platform::TFileReason::IsFolder},
                                       std::pair{folder.filePath(QStringLiteral("missing.ini")),
                                                 platform::TFileReason::NotFound}}) {
        const TPlanFileRead read = ReadPlanFile(path);
        EXPECT_EQ(read.Problem, TPlanFileProblem::File);
        EXPECT_EQ(read.File.Reason, reason);
    }
}

// Written by hand: keys and sections in any case, blanks, a comma for the
// decimals, ANSI text. Limits are in the unit the first of them names, a bare
// one in the characteristic's; those that cannot be used are named, the
// rest used.
TEST(PlanFile, LimitsThatCannotBeUsedAreNamed) {
    const TPlanFileRead read = ParsePlanFile("; Pr\xFC"
                                             "fplan\r\n[plan]\r\nVERSION = 1\r\n"
                                             "[characteristic2]\r\nname = L\xE4nge\r\nunit=\r\n"
                                             "lower=abc\r\nupper= 12 kg\r\n"
                                             "[CHARACTERISTIC1]\r\nNAME=Dia\r\nUnit = mm\r\n"
                                             "Lower=0,4 in\r\nUpper=12.7\r\nColour=red\r\n"
                                             "[Characteristic3]\r\nName=Breite\r\nLower=3\r\n"
                                             "Upper=2\r\n[Characteristic4]\r\nName=Tiefe\r\n"
                                             "Lower=1 mm\r\nUpper=inf\r\n");
    ASSERT_EQ(read.Problem, TPlanFileProblem::None);
    const TPlan plan = {{{"Dia", TUnit::Millimetre}, {0.4, 0.5, TUnit::Inch}},
                        {{"L\u00E4nge", TUnit::None}, {}},
                        {{"Breite", TUnit::None}, {}},
                        {{"Tiefe", TUnit::None}, {1, std::nullopt, TUnit::Millimetre}}};
    EXPECT_EQ(read.Plan, plan);
    const std::vector<TPlanLimitProblem> problems = {
        {"L\u00E4nge", TLimitProblem::NotANumber, TLimitProblem::UnknownUnit},
        {"Breite", TLimitProblem::LowerAboveUpper, TLimitProblem::LowerAboveUpper},
        {"Tiefe", TLimitProblem::None, TLimitProblem::NotANumber}};
    EXPECT_EQ(read.LimitProblems, problems);
}
