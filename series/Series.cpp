#include "Series.h"

#include <QStringEncoder>
#include <QtNumeric>

#include <algorithm>
#include <limits>

namespace series {

namespace {

constexpr int UnitBits = 3;
constexpr quint32 UnitMask = (1u << UnitBits) - 1;
constexpr int MaxGroups = 1 << (32 - UnitBits);
constexpr qint32 FarTime = std::numeric_limits<qint32>::min();

QStringView WithoutLineEnd(QStringView line) {
    while (!line.isEmpty() && (line.back() == u'\n' || line.back() == u'\r'))
        line.chop(1);
    return line;
}

// Straight into the block's text: a temporary per reading would cost an
// allocation each.
void AppendUtf8(QByteArray& out, QStringView text) {
    const qsizetype start = out.size();
    out.resize(start + text.size() * 3);
    QStringEncoder encoder(QStringEncoder::Utf8);
    char* end = encoder.appendToBuffer(out.data() + start, text);
    out.resize(end - out.constData());
}

} // namespace

bool TSeries::AddLine(QStringView line, qint64 time) {
    const auto reading = ParseReading(line);
    if (!reading)
        return false;
    const int group = GroupFor(reading->Label);
    if (group < 0)
        return false;
    if (FBlocks.empty() || FBlocks.back()->Size == TBlock::Capacity) {
        FBlocks.push_back(std::make_unique_for_overwrite<TBlock>());
        FBlocks.back()->BaseTime = time;
    }
    TBlock& block = *FBlocks.back();
    const int slot = block.Size++;
    AppendUtf8(block.Text, WithoutLineEnd(line));
    qint64 offset = 0;
    if (!qSubOverflow(time, block.BaseTime, &offset) && offset > FarTime &&
        offset <= std::numeric_limits<qint32>::max()) {
        block.Times[slot] = static_cast<qint32>(offset);
    } else {
        block.Times[slot] = FarTime;
        FFarTimes.insert(FSize, time);
    }
    block.Values[slot] = reading->Value;
    block.TextEnds[slot] = static_cast<quint32>(block.Text.size());
    block.GroupUnits[slot] =
        static_cast<quint32>(group) << UnitBits | static_cast<quint32>(reading->Unit);
    FGroups[static_cast<std::size_t>(group)].Add(FSize, reading->Value, reading->Unit, FLimits);
    ++FSize;
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
        FGroups.push_back({key, {}, {}});
    }
    FLastGroup = found.value();
    return FLastGroup;
}

bool TSeries::RemoveNewest() {
    if (IsEmpty())
        return false;
    const int group = GroupAt(Size() - 1);
    TBlock& block = *FBlocks.back();
    --block.Size;
    block.Text.truncate(block.Size == 0 ? 0 : block.TextEnds[block.Size - 1]);
    if (block.Size == 0)
        FBlocks.pop_back();
    --FSize;
    FFarTimes.remove(FSize);
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
    FBlocks.clear();
    FSize = 0;
    FFarTimes.clear();
    FGroups = {};
    FGroupIndex = {};
    FLastGroup = -1;
    ++FRevision;
}

void TSeries::TGroup::Add(qsizetype index, double value, TUnit unit, const TLimits& limits) {
    Figures.Add(value, unit, limits);
    if (static_cast<qsizetype>(Recent.size()) == RecentCount)
        Recent.erase(Recent.begin());
    Recent.push_back(index);
}

void TSeries::Recount(int group) {
    TGroup& counted = FGroups[static_cast<std::size_t>(group)];
    counted.Figures = {};
    counted.Recent.clear();
    for (qsizetype i = 0; i < Size(); ++i)
        if (GroupAt(i) == group)
            counted.Add(i, Reading(i).Value, UnitAt(i), FLimits);
}

void TSeries::SetLimits(const TLimits& limits) {
    if (limits == FLimits)
        return;
    FLimits = limits;
    for (TGroup& group : FGroups)
        group.Figures = {};
    for (qsizetype i = 0; i < Size(); ++i)
        FGroups[static_cast<std::size_t>(GroupAt(i))].Figures.Add(Reading(i).Value, UnitAt(i),
                                                                  FLimits);
    ++FRevision;
}

const TSeries::TBlock& TSeries::BlockOf(qsizetype index) const {
    return *FBlocks[static_cast<std::size_t>(index / TBlock::Capacity)];
}

TUnit TSeries::UnitAt(qsizetype index) const {
    return static_cast<TUnit>(BlockOf(index).GroupUnits[Slot(index)] & UnitMask);
}

int TSeries::GroupAt(qsizetype index) const {
    return static_cast<int>(BlockOf(index).GroupUnits[Slot(index)] >> UnitBits);
}

TReading TSeries::Reading(qsizetype index) const {
    const TBlock& block = BlockOf(index);
    const int slot = Slot(index);
    const qint64 time =
        block.Times[slot] == FarTime ? FFarTimes.value(index) : block.BaseTime + block.Times[slot];
    return {time, block.Values[slot], UnitAt(index), GroupAt(index)};
}

QString TSeries::Text(qsizetype index) const {
    const TBlock& block = BlockOf(index);
    const int slot = Slot(index);
    const qsizetype begin = slot == 0 ? 0 : block.TextEnds[slot - 1];
    return QString::fromUtf8(block.Text.constData() + begin, block.TextEnds[slot] - begin);
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

QString TSeries::GroupLabel(int group) const {
    return group >= 0 && group < GroupCount() ? FGroups[static_cast<std::size_t>(group)].Label
                                              : QString();
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
    if (group < 0 || group >= GroupCount() || count <= 0)
        return {};
    const std::vector<qsizetype>& recent = FGroups[static_cast<std::size_t>(group)].Recent;
    if (count <= RecentCount)
        return {recent.end() - std::min(count, static_cast<qsizetype>(recent.size())),
                recent.end()};
    std::vector<qsizetype> indices;
    for (qsizetype i = Size() - 1; i >= 0 && static_cast<qsizetype>(indices.size()) < count; --i)
        if (GroupAt(i) == group)
            indices.push_back(i);
    return {indices.rbegin(), indices.rend()};
}

} // namespace series
