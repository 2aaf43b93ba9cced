#include "Series.h"

#include <limits>

namespace series {

namespace {

constexpr int UnitBits = 3;
constexpr quint32 UnitMask = (1u << UnitBits) - 1;
constexpr int MaxGroups = 1 << (32 - UnitBits);

QStringView WithoutLineEnd(QStringView line) {
    while (!line.isEmpty() && (line.back() == u'\n' || line.back() == u'\r'))
        line.chop(1);
    return line;
}

} // namespace

bool TSeries::AddLine(QStringView line, qint64 time) {
    const auto reading = ParseReading(line);
    if (!reading)
        return false;
    const QByteArray text = WithoutLineEnd(line).toUtf8();
    if (FText.size() + text.size() > std::numeric_limits<quint32>::max())
        return false;
    const int group = GroupFor(reading->Label);
    if (group < 0)
        return false;
    FText.append(text);
    FTimes.push_back(time);
    FValues.push_back(reading->Value);
    FTextEnds.push_back(static_cast<quint32>(FText.size()));
    FGroupUnits.push_back(static_cast<quint32>(group) << UnitBits |
                          static_cast<quint32>(reading->Unit));
    FGroups[static_cast<std::size_t>(group)].Figures.Add(reading->Value, reading->Unit, FLimits);
    ++FRevision;
    return true;
}

int TSeries::GroupFor(QStringView label) {
    if (FLastGroup >= 0 && FGroups[static_cast<std::size_t>(FLastGroup)].Label == label)
        return FLastGroup;
    const QString key = label.toString();
    auto found = FGroupIndex.constFind(key);
    if (found == FGroupIndex.constEnd()) {
        if (GroupCount() >= MaxGroups)
            return -1;
        found = FGroupIndex.insert(key, GroupCount());
        FGroups.push_back({key, {}});
    }
    FLastGroup = found.value();
    return FLastGroup;
}

bool TSeries::RemoveNewest() {
    if (IsEmpty())
        return false;
    const int group = GroupAt(Size() - 1);
    FTimes.pop_back();
    FValues.pop_back();
    FTextEnds.pop_back();
    FGroupUnits.pop_back();
    FText.truncate(FTextEnds.empty() ? 0 : FTextEnds.back());
    // Only the newest group can have lost its last reading: every other one
    // began before it.
    Recount(group);
    if (group == GroupCount() - 1 && FGroups.back().Figures.Size() == 0) {
        FGroupIndex.remove(FGroups.back().Label);
        FGroups.pop_back();
        FLastGroup = -1;
    }
    ++FRevision;
    return true;
}

void TSeries::Clear() {
    FTimes = {};
    FValues = {};
    FTextEnds = {};
    FGroupUnits = {};
    FText = {};
    FGroups = {};
    FGroupIndex = {};
    FLastGroup = -1;
    ++FRevision;
}

void TSeries::Recount(int group) {
    TGroupFigures figures;
    for (qsizetype i = 0; i < Size(); ++i)
        if (GroupAt(i) == group)
            figures.Add(FValues[static_cast<std::size_t>(i)], UnitAt(i), FLimits);
    FGroups[static_cast<std::size_t>(group)].Figures = figures;
}

void TSeries::SetLimits(const TLimits& limits) {
    if (limits == FLimits)
        return;
    FLimits = limits;
    for (TGroup& group : FGroups)
        group.Figures = {};
    for (qsizetype i = 0; i < Size(); ++i)
        FGroups[static_cast<std::size_t>(GroupAt(i))].Figures.Add(
            FValues[static_cast<std::size_t>(i)], UnitAt(i), FLimits);
    ++FRevision;
}

TUnit TSeries::UnitAt(qsizetype index) const {
    return static_cast<TUnit>(FGroupUnits[static_cast<std::size_t>(index)] & UnitMask);
}

int TSeries::GroupAt(qsizetype index) const {
    return static_cast<int>(FGroupUnits[static_cast<std::size_t>(index)] >> UnitBits);
}

TReading TSeries::Reading(qsizetype index) const {
    const auto at = static_cast<std::size_t>(index);
    return {FTimes[at], FValues[at], UnitAt(index), GroupAt(index)};
}

QString TSeries::Text(qsizetype index) const {
    const auto at = static_cast<std::size_t>(index);
    const qsizetype begin = at == 0 ? 0 : FTextEnds[at - 1];
    return QString::fromUtf8(FText.constData() + begin, FTextEnds[at] - begin);
}

std::optional<double> TSeries::GroupValue(qsizetype index) const {
    const TReading reading = Reading(index);
    const TUnit unit = FGroups[static_cast<std::size_t>(reading.Group)].Figures.Unit();
    return ConvertValue(reading.Value, reading.Unit, unit);
}

std::optional<TVerdict> TSeries::Verdict(qsizetype index) const {
    const auto value = GroupValue(index);
    return value ? Judge(*value, FLimits) : std::nullopt;
}

int TSeries::FindGroup(QStringView label) const {
    return FGroupIndex.value(label.toString(), -1);
}

TStatistics TSeries::Statistics(int group) const {
    if (group < 0 || group >= GroupCount())
        return {};
    return FGroups[static_cast<std::size_t>(group)].Figures.Statistics(FLimits);
}

std::vector<qsizetype> TSeries::NewestInGroup(int group, qsizetype count) const {
    std::vector<qsizetype> indices;
    for (qsizetype i = Size() - 1; i >= 0 && static_cast<qsizetype>(indices.size()) < count; --i)
        if (GroupAt(i) == group)
            indices.push_back(i);
    return {indices.rbegin(), indices.rend()};
}

} // namespace series
