#include "Series.h"

#include <QStringEncoder>
#include <QtNumeric>

#include <algorithm>
#include <cstring>
#include <limits>

namespace series {

namespace {

constexpr int UnitBits = 3;
constexpr int DecimalBits = 5;
constexpr int GroupShift = UnitBits + DecimalBits;
constexpr quint32 UnitMask = (1u << UnitBits) - 1;
constexpr quint32 DecimalMask = (1u << DecimalBits) - 1;
constexpr int MaxGroups = 1 << (32 - GroupShift);
constexpr qint32 FarTime = std::numeric_limits<qint32>::min();

TUnit UnitOf(quint32 packed) {
    return static_cast<TUnit>(packed & UnitMask);
}

int DecimalsOf(quint32 packed) {
    return static_cast<int>(packed >> UnitBits & DecimalMask);
}

int GroupOf(quint32 packed) {
    return static_cast<int>(packed >> GroupShift);
}

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

// Moves the elements after slot one down, over it.
template <typename T, std::size_t N> void Close(std::array<T, N>& column, int slot, int size) {
    std::memmove(column.data() + slot, column.data() + slot + 1,
                 static_cast<std::size_t>(size - slot - 1) * sizeof(T));
}

} // namespace

bool TSeries::AddLine(QStringView line, qint64 time) {
    const auto reading = ParseReading(line);
    return reading && AddReading(line, *reading, reading->Label, time);
}

bool TSeries::AddReading(QStringView line, const TParsedReading& reading, QStringView label,
                         qint64 time) {
    const int group = GroupFor(label);
    if (group < 0)
        return false;
    if (FBlocks.empty() || FBlocks.back()->Size == TBlock::Capacity) {
        FBlocks.push_back(std::make_unique_for_overwrite<TBlock>());
        FBlocks.back()->BaseTime = time;
        FStarts.push_back(FSize);
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
        block.FarTimes.emplace_back(slot, time);
    }
    const int decimals = std::min(reading.Decimals, static_cast<int>(DecimalMask));
    block.Values[slot] = reading.Value;
    block.TextEnds[slot] = static_cast<quint32>(block.Text.size());
    block.Packed[slot] = static_cast<quint32>(group) << GroupShift |
                         static_cast<quint32>(decimals) << UnitBits |
                         static_cast<quint32>(reading.Unit);
    TGroup& added = FGroups[static_cast<std::size_t>(group)];
    added.Figures.Add(reading.Value, reading.Unit, decimals);
    if (static_cast<qsizetype>(added.Recent.size()) == RecentCount)
        added.Recent.erase(added.Recent.begin());
    added.Recent.push_back(FSize);
    ++FSize;
    ++FNextId;
    ++FRevision;
    return true;
}

int TSeries::GroupFor(QStringView label) {
    if (FLastGroup >= 0 && FGroups[static_cast<std::size_t>(FLastGroup)].Label == label)
        return FLastGroup;
    // A plan's characteristics take turns: a look at the first few groups
    // spares the key a lookup would build for every reading.
    for (int group = 0; group < std::min(GroupCount(), 8); ++group) {
        if (FGroups[static_cast<std::size_t>(group)].Label == label) {
            FLastGroup = group;
            return group;
        }
    }
    const QString key = label.toString();
    auto found = FGroupIndex.constFind(key);
    if (found == FGroupIndex.constEnd()) {
        if (GroupCount() >= MaxGroups)
            return -1;
        found = FGroupIndex.insert(key, GroupCount());
        FGroups.push_back({key, {}, {}});
        FGroups.back().Figures.SetFixedUnit(FixedUnit(key));
        FGroups.back().Figures.SetLimits(FLimits.Find(key));
    }
    FLastGroup = found.value();
    return FLastGroup;
}

bool TSeries::RemoveNewest(int group) {
    if (group < 0 || group >= GroupCount())
        return false;
    const qsizetype index = FGroups[static_cast<std::size_t>(group)].Recent.back();
    RemoveAt(index);
    for (TGroup& other : FGroups)
        for (qsizetype& recent : other.Recent)
            recent -= recent > index ? 1 : 0;
    Recount(group);
    FindRecent(group);
    if (FGroups[static_cast<std::size_t>(group)].Figures.Size() == 0)
        DropGroup(group);
    ++FRevision;
    return true;
}

void TSeries::RemoveAt(qsizetype index) {
    const qint64 id = IdAt(index);
    FRemovedIds.insert(std::lower_bound(FRemovedIds.begin(), FRemovedIds.end(), id), id);
    const auto at = static_cast<std::size_t>(
        std::upper_bound(FStarts.begin(), FStarts.end(), index) - FStarts.begin() - 1);
    TBlock& block = *FBlocks[at];
    const int slot = static_cast<int>(index - FStarts[at]);
    const quint32 begin = slot == 0 ? 0 : block.TextEnds[static_cast<std::size_t>(slot - 1)];
    const quint32 length = block.TextEnds[static_cast<std::size_t>(slot)] - begin;
    block.Text.remove(begin, length);
    Close(block.Times, slot, block.Size);
    Close(block.Values, slot, block.Size);
    Close(block.Packed, slot, block.Size);
    Close(block.TextEnds, slot, block.Size);
    for (int later = slot; later < block.Size - 1; ++later)
        block.TextEnds[static_cast<std::size_t>(later)] -= length;
    std::erase_if(block.FarTimes, [slot](const auto& far) { return far.first == slot; });
    for (auto& far : block.FarTimes)
        far.first -= far.first > slot ? 1 : 0;
    --block.Size;
    if (block.Size == 0) {
        FBlocks.erase(FBlocks.begin() + static_cast<std::ptrdiff_t>(at));
        FStarts.erase(FStarts.begin() + static_cast<std::ptrdiff_t>(at));
    }
    for (std::size_t later = at; later < FStarts.size(); ++later)
        FStarts[later] -= FStarts[later] > index ? 1 : 0;
    FDense = std::all_of(FBlocks.begin(), FBlocks.empty() ? FBlocks.end() : FBlocks.end() - 1,
                         [](const auto& full) { return full->Size == TBlock::Capacity; });
    --FSize;
}

void TSeries::DropGroup(int group) {
    FGroupIndex.remove(FGroups[static_cast<std::size_t>(group)].Label);
    FGroups.erase(FGroups.begin() + group);
    for (auto number = FGroupIndex.begin(); number != FGroupIndex.end(); ++number)
        number.value() -= number.value() > group ? 1 : 0;
    for (const auto& block : FBlocks)
        for (int slot = 0; slot < block->Size; ++slot)
            if (GroupOf(block->Packed[static_cast<std::size_t>(slot)]) > group)
                block->Packed[static_cast<std::size_t>(slot)] -= 1u << GroupShift;
    FLastGroup = -1;
}

void TSeries::Clear() {
    FBlocks.clear();
    FStarts.clear();
    FDense = true;
    FSize = 0;
    FGroups = {};
    FGroupIndex = {};
    FLastGroup = -1;
    FFirstId = FNextId;
    FRemovedIds.clear();
    ++FRevision;
}

void TSeries::Recount(int group) {
    for (std::size_t g = 0; g < FGroups.size(); ++g)
        if (group < 0 || static_cast<int>(g) == group)
            FGroups[g].Figures.Restart();
    for (const auto& block : FBlocks) {
        for (int slot = 0; slot < block->Size; ++slot) {
            const quint32 packed = block->Packed[static_cast<std::size_t>(slot)];
            if (group >= 0 && GroupOf(packed) != group)
                continue;
            FGroups[static_cast<std::size_t>(GroupOf(packed))].Figures.Add(
                block->Values[static_cast<std::size_t>(slot)], UnitOf(packed), DecimalsOf(packed));
        }
    }
}

void TSeries::FindRecent(int group) {
    std::vector<qsizetype>& recent = FGroups[static_cast<std::size_t>(group)].Recent;
    recent.clear();
    for (qsizetype i = Size() - 1; i >= 0 && static_cast<qsizetype>(recent.size()) < RecentCount;
         --i)
        if (GroupAt(i) == group)
            recent.push_back(i);
    std::reverse(recent.begin(), recent.end());
}

void TSeries::SetLimits(const QString& label, const TLimits& limits) {
    if (!FLimits.Set(label, limits))
        return;
    const int group = FindGroup(label);
    if (group >= 0) {
        FGroups[static_cast<std::size_t>(group)].Figures.SetLimits(limits);
        Recount(group);
    }
    ++FRevision;
}

void TSeries::SetLimits(const TLimitStore& store) {
    if (store == FLimits)
        return;
    FLimits = store;
    for (TGroup& group : FGroups)
        group.Figures.SetLimits(FLimits.Find(group.Label));
    Recount(-1);
    ++FRevision;
}

TUnit TSeries::FixedUnit(QStringView label) const {
    const auto found = FFixedUnits.find(label);
    return found == FFixedUnits.end() ? TUnit::None : found->second;
}

void TSeries::SetFixedUnits(const TFixedUnits& units) {
    TFixedUnits fixed;
    for (const auto& [label, unit] : units)
        if (unit != TUnit::None)
            fixed.emplace(label, unit);
    if (fixed == FFixedUnits)
        return;
    FFixedUnits = std::move(fixed);
    bool changed = false;
    for (TGroup& group : FGroups) {
        const TUnit unit = FixedUnit(group.Label);
        if (group.Figures.FixedUnit() != unit) {
            group.Figures.SetFixedUnit(unit);
            changed = true;
        }
    }
    if (changed)
        Recount(-1);
    ++FRevision;
}

TSeries::TPlace TSeries::Place(qsizetype index) const {
    if (FDense)
        return {FBlocks[static_cast<std::size_t>(index / TBlock::Capacity)].get(),
                static_cast<int>(index % TBlock::Capacity)};
    const auto after = std::upper_bound(FStarts.begin(), FStarts.end(), index);
    const auto block = static_cast<std::size_t>(after - FStarts.begin() - 1);
    return {FBlocks[block].get(), static_cast<int>(index - FStarts[block])};
}

quint32 TSeries::PackedAt(qsizetype index) const {
    const TPlace place = Place(index);
    return place.Block->Packed[static_cast<std::size_t>(place.Slot)];
}

int TSeries::GroupAt(qsizetype index) const {
    return GroupOf(PackedAt(index));
}

qint64 TSeries::IdAt(qsizetype index) const {
    // The removed id j left its gap before the reading now at index
    // FRemovedIds[j] - j - FFirstId; those gaps ascend with j.
    std::size_t low = 0, high = FRemovedIds.size();
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (FRemovedIds[middle] - static_cast<qint64>(middle) - FFirstId <= index)
            low = middle + 1;
        else
            high = middle;
    }
    return FFirstId + index + static_cast<qint64>(low);
}

qsizetype TSeries::IndexOf(qint64 id) const {
    if (id < FFirstId || id >= FNextId)
        return -1;
    const auto removed = std::lower_bound(FRemovedIds.begin(), FRemovedIds.end(), id);
    if (removed != FRemovedIds.end() && *removed == id)
        return -1;
    return id - FFirstId - (removed - FRemovedIds.begin());
}

TReading TSeries::Reading(qsizetype index) const {
    const TPlace place = Place(index);
    const TBlock& block = *place.Block;
    const auto slot = static_cast<std::size_t>(place.Slot);
    qint64 time = block.BaseTime + block.Times[slot];
    if (block.Times[slot] == FarTime) {
        const auto far =
            std::lower_bound(block.FarTimes.begin(), block.FarTimes.end(),
                             std::pair{place.Slot, std::numeric_limits<qint64>::min()});
        time = far->second;
    }
    const quint32 packed = block.Packed[slot];
    return {IdAt(index),        time,           block.Values[slot], UnitOf(packed),
            DecimalsOf(packed), GroupOf(packed)};
}

QString TSeries::Text(qsizetype index) const {
    const TPlace place = Place(index);
    const TBlock& block = *place.Block;
    const auto slot = static_cast<std::size_t>(place.Slot);
    const qsizetype begin = slot == 0 ? 0 : block.TextEnds[slot - 1];
    return QString::fromUtf8(block.Text.constData() + begin, block.TextEnds[slot] - begin);
}

std::optional<double> TSeries::GroupValue(qsizetype index) const {
    const TPlace place = Place(index);
    const quint32 packed = place.Block->Packed[static_cast<std::size_t>(place.Slot)];
    const TUnit unit = FGroups[static_cast<std::size_t>(GroupOf(packed))].Figures.Unit();
    return ConvertValue(place.Block->Values[static_cast<std::size_t>(place.Slot)], UnitOf(packed),
                        unit);
}

std::optional<TVerdict> TSeries::Verdict(qsizetype index) const {
    const auto value = GroupValue(index);
    if (!value)
        return std::nullopt;
    return Judge(*value, FGroups[static_cast<std::size_t>(GroupAt(index))].Figures.Limits());
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
    return FGroups[static_cast<std::size_t>(group)].Figures.Statistics();
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
