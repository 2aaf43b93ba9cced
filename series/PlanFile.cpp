#include "PlanFile.h"

#include "platform/Profile.h"

#include <QHash>
#include <QSet>

#include <cmath>
#include <map>

namespace series {

namespace {

const QString kPlanSection = QStringLiteral("Plan");
const QString kCharacteristicSection = QStringLiteral("Characteristic");

// A section's keys by their folded names, the first of each as the file's
// reading takes it.
using TKeys = QHash<QString, QString>;

TKeys KeysOf(const platform::TIniSection& section) {
    TKeys keys;
    for (const auto& [key, value] : section.Entries) {
        const QString folded = key.toCaseFolded();
        if (!keys.contains(folded))
            keys.insert(folded, value);
    }
    return keys;
}

// The number of a [Characteristic<n>] section; 0 for any other.
int CharacteristicNumber(const QString& section) {
    if (!section.startsWith(kCharacteristicSection, Qt::CaseInsensitive))
        return 0;
    const QStringView digits = QStringView(section).mid(kCharacteristicSection.size());
    if (digits.isEmpty() || digits.size() > 9 || digits.front() == u'0')
        return 0;
    for (const QChar c : digits)
        if (c < u'0' || c > u'9')
            return 0;
    return digits.toInt();
}

struct TLimitText {
    std::optional<double> Value;
    TUnit Unit = TUnit::None; // as written; none for a bare number
    TLimitProblem Problem = TLimitProblem::None;
};

// A number as the settings file writes one (or as typed), then a unit.
TLimitText ReadLimit(QStringView text) {
    text = text.trimmed();
    if (text.isEmpty())
        return {};
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1].isLetter() || text[end - 1] == u'"'))
        --end;
    const QStringView number = text.first(end).trimmed();
    if (number.isEmpty())
        return {std::nullopt, TUnit::None, TLimitProblem::NotANumber};
    const auto value = NumberFromSetting(number.toString());
    if (!value || !std::isfinite(*value))
        return {std::nullopt, TUnit::None, TLimitProblem::NotANumber};
    const auto unit = ParseUnit(text.mid(end));
    if (!unit)
        return {std::nullopt, TUnit::None, TLimitProblem::UnknownUnit};
    return {value, *unit};
}

// The limits in the unit of the first that names one; a bare number is in
// the characteristic's unit, or, without one, in the other limit's.
TLimitsInput ReadLimits(const QString& lowerText, const QString& upperText, TUnit unit) {
    const TLimitText lower = ReadLimit(lowerText);
    const TLimitText upper = ReadLimit(upperText);
    TLimitsInput result;
    result.Limits.Unit = lower.Unit != TUnit::None   ? lower.Unit
                         : upper.Unit != TUnit::None ? upper.Unit
                                                     : unit;
    // A number near the largest a double holds may overflow in another unit.
    const auto inLimitsUnit = [&](const TLimitText& limit, std::optional<double>& value,
                                  TLimitProblem& problem) {
        problem = limit.Problem;
        if (!limit.Value)
            return;
        const TUnit from = limit.Unit != TUnit::None ? limit.Unit
                           : unit != TUnit::None     ? unit
                                                     : result.Limits.Unit;
        value = ConvertValue(*limit.Value, from, result.Limits.Unit);
        if (!value || !std::isfinite(*value)) {
            value.reset();
            problem = TLimitProblem::NotANumber;
        }
    };
    inLimitsUnit(lower, result.Limits.Lower, result.Lower);
    inLimitsUnit(upper, result.Limits.Upper, result.Upper);
    if (result.Limits.Lower && result.Limits.Upper && *result.Limits.Lower > *result.Limits.Upper) {
        result.Limits.Lower = result.Limits.Upper = std::nullopt;
        result.Lower = result.Upper = TLimitProblem::LowerAboveUpper;
    }
    return result;
}

TPlanFileRead Refused(TPlanFileProblem problem, int number = 0, const QString& name = {}) {
    TPlanFileRead read;
    read.Problem = problem;
    read.Number = number;
    read.Name = name;
    return read;
}

// A limit as written: the number, and the limits' unit where it is not the
// characteristic's.
QString LimitText(const std::optional<double>& value, TUnit limitsUnit, TUnit unit) {
    if (!value)
        return {};
    QString text = SettingNumber(value);
    if (limitsUnit != TUnit::None && limitsUnit != unit)
        text += u' ' + UnitName(limitsUnit);
    return text;
}

} // namespace

TPlanFileRead ParsePlanFile(const QByteArray& bytes) {
    const platform::TIniDocument document(platform::DecodeProfileText(bytes));
    std::optional<TKeys> plan;
    std::map<int, TKeys> characteristics;
    for (const platform::TIniSection& section : document.Sections()) {
        // As the file's reading does: the first section of a name holds.
        if (section.Name.compare(kPlanSection, Qt::CaseInsensitive) == 0) {
            if (!plan)
                plan = KeysOf(section);
        } else if (const int number = CharacteristicNumber(section.Name); number > 0) {
            characteristics.try_emplace(number, KeysOf(section));
        }
    }
    bool isNumber = false;
    const int version =
        plan ? plan->value(QStringLiteral("version")).trimmed().toInt(&isNumber) : 0;
    if (!isNumber || version < 1)
        return Refused(TPlanFileProblem::NotAPlan);
    if (version > kPlanFileVersion)
        return Refused(TPlanFileProblem::NewerVersion);
    if (characteristics.empty())
        return Refused(TPlanFileProblem::NoCharacteristics);
    TPlanFileRead read;
    QSet<QString> names;
    int expected = 1;
    for (const auto& [number, keys] : characteristics) {
        if (number != expected)
            return Refused(TPlanFileProblem::MissingSection, expected);
        ++expected;
        const QString name = SettingTextFromQuoted(keys.value(QStringLiteral("name")));
        if (name.isEmpty())
            return Refused(TPlanFileProblem::NoName, number);
        if (names.contains(name))
            return Refused(TPlanFileProblem::DuplicateName, number, name);
        names.insert(name);
        const auto unit = ParseUnit(keys.value(QStringLiteral("unit")).trimmed());
        if (!unit)
            return Refused(TPlanFileProblem::UnknownUnit, number, name);
        const TLimitsInput limits = ReadLimits(keys.value(QStringLiteral("lower")),
                                               keys.value(QStringLiteral("upper")), *unit);
        if (limits.Lower != TLimitProblem::None || limits.Upper != TLimitProblem::None)
            read.LimitProblems.push_back({name, limits.Lower, limits.Upper});
        read.Plan.push_back({{name, *unit}, limits.Limits.IsEmpty() ? TLimits() : limits.Limits});
    }
    return read;
}

TPlanFileRead ReadPlanFile(const QString& path) {
    QByteArray bytes;
    if (const platform::TFileError error =
            platform::ReadRegularFile(path, bytes, kMaxPlanFileSize)) {
        TPlanFileRead read = Refused(TPlanFileProblem::File);
        read.File = error;
        return read;
    }
    return ParsePlanFile(bytes);
}

QByteArray PlanFileBytes(const TPlan& plan) {
    QString text = QStringLiteral("[Plan]\r\nVersion=%1\r\n").arg(kPlanFileVersion);
    int number = 0;
    for (const TPlannedCharacteristic& planned : plan) {
        const TCharacteristic& characteristic = planned.Characteristic;
        const TLimits& limits = planned.Limits;
        text += QStringLiteral("\r\n[Characteristic%1]\r\nName=%2\r\nUnit=%3\r\n")
                    .arg(QString::number(++number), QuotedSettingText(characteristic.Name),
                         UnitName(characteristic.Unit));
        text += QStringLiteral("Lower=%1\r\nUpper=%2\r\n")
                    .arg(LimitText(limits.Lower, limits.Unit, characteristic.Unit),
                         LimitText(limits.Upper, limits.Unit, characteristic.Unit));
    }
    return text.toUtf8();
}

platform::TFileError WritePlanFile(const QString& path, const TPlan& plan) {
    return platform::ReplaceFile(path, PlanFileBytes(plan));
}

} // namespace series
