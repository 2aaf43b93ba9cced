#include "LimitText.h"

#include <array>
#include <charconv>

namespace series {

TLimitInput ParseLimit(QStringView text, TUnit unit) {
    text = text.trimmed();
    if (text.isEmpty())
        return {};
    const auto parsed = ParseValue(text);
    if (!parsed) {
        // A number followed by letters: a unit this program does not know.
        QStringView number = text;
        while (!number.isEmpty() && (number.back().isLetter() || number.back() == u'"'))
            number.chop(1);
        const bool unknownUnit = number.size() < text.size() && !number.isEmpty();
        const auto value = unknownUnit ? ParseValue(number) : std::nullopt;
        return {std::nullopt, value && value->Unit == TUnit::None ? TLimitProblem::UnknownUnit
                                                                  : TLimitProblem::NotANumber};
    }
    if (parsed->Unit == TUnit::None)
        return {parsed->Value};
    const auto converted = ConvertValue(parsed->Value, parsed->Unit, unit);
    if (!converted)
        return {std::nullopt, TLimitProblem::UnitMismatch};
    return {converted};
}

TLimitsInput ParseLimits(QStringView lower, QStringView upper, TUnit unit) {
    const TLimitInput low = ParseLimit(lower, unit);
    const TLimitInput high = ParseLimit(upper, unit);
    TLimitsInput result;
    result.Limits.Unit = unit;
    if (low.Value && high.Value && *low.Value > *high.Value) {
        result.Lower = result.Upper = TLimitProblem::LowerAboveUpper;
        return result;
    }
    result.Limits.Lower = low.Value;
    result.Limits.Upper = high.Value;
    result.Lower = low.Problem;
    result.Upper = high.Problem;
    return result;
}

namespace {

QString Key(qsizetype number, const char* field) {
    return QStringLiteral("Limit%1%2").arg(number).arg(QLatin1StringView(field));
}

} // namespace

QString QuotedSettingText(QStringView label) {
    QString stored(u'"');
    for (const QChar c : label) {
        if (c == u'\\')
            stored += QStringLiteral("\\\\");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            stored += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        else
            stored += c;
    }
    return stored + u'"';
}

QString SettingTextFromQuoted(QStringView stored) {
    const auto hexDigit = [](QChar c) {
        return QStringView(u"0123456789abcdefABCDEF").contains(c);
    };
    QString label;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QStringView rest = stored.mid(i);
        if (rest.startsWith(u"\\\\")) {
            label += u'\\';
            ++i;
        } else if (rest.size() >= 4 && rest.startsWith(u"\\x") && hexDigit(rest[2]) &&
                   hexDigit(rest[3])) {
            label += QChar(rest.mid(2, 2).toUShort(nullptr, 16));
            i += 3;
        } else {
            label += stored[i];
        }
    }
    return label;
}

QString SettingNumber(const std::optional<double>& value) {
    if (!value)
        return {};
    std::array<char, 32> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), *value);
    return QString::fromLatin1(text.data(), written.ptr - text.data());
}

std::optional<double> NumberFromSetting(const QString& stored) {
    const QByteArray text = stored.trimmed().toLatin1();
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && end == text.data() + text.size() && !text.isEmpty())
        return value;
    return ParseLimit(stored, TUnit::None).Value;
}

TLimitStore ReadLimitSettings(const TSettingLookup& lookup) {
    TLimitStore store;
    for (qsizetype number = 1;; ++number) {
        const std::optional<QString> label = lookup(Key(number, "Label"));
        if (!label)
            break;
        const auto unit = ParseUnit(lookup(Key(number, "Unit")).value_or(QString()).trimmed());
        if (!unit)
            continue;
        TLimits limits{NumberFromSetting(lookup(Key(number, "Lower")).value_or(QString())),
                       NumberFromSetting(lookup(Key(number, "Upper")).value_or(QString())), *unit};
        store.Set(SettingTextFromQuoted(*label), limits);
    }
    if (store.Find(u"").IsEmpty()) {
        const auto typed = [&lookup](const char* key) {
            return lookup(QLatin1StringView(key)).value_or(QString());
        };
        store.Set(QString(), ParseLimits(typed("Lower"), typed("Upper"), TUnit::None).Limits);
    }
    return store;
}

std::vector<std::pair<QString, QString>> LimitSettings(const TLimitStore& store,
                                                       const TSettingLookup& lookup) {
    std::vector<std::pair<QString, QString>> keys;
    qsizetype number = 0;
    for (const auto& [label, limits] : store.Entries()) {
        ++number;
        keys.emplace_back(Key(number, "Label"), QuotedSettingText(label));
        keys.emplace_back(Key(number, "Lower"), SettingNumber(limits.Lower));
        keys.emplace_back(Key(number, "Upper"), SettingNumber(limits.Upper));
        keys.emplace_back(Key(number, "Unit"), UnitName(limits.Unit));
    }
    while (lookup(Key(++number, "Label")))
        for (const char* field : {"Label", "Lower", "Upper", "Unit"})
            keys.emplace_back(Key(number, field), QString());
    for (const char* older : {"Lower", "Upper"})
        if (!lookup(QLatin1StringView(older)).value_or(QString()).isEmpty())
            keys.emplace_back(QLatin1StringView(older), QString());
    return keys;
}

} // namespace series
