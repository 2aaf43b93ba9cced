#include "Inspection.h"

#include <QSet>

#include <algorithm>
#include <map>

namespace series {

namespace {

// Far beyond any inspection, and far from the end of an int.
constexpr int MaxPart = 1'000'000'000;

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// A quoted name from the quote at text[at]; moves at past the closing quote.
// None when the quote is never closed.
std::optional<QString> QuotedName(QStringView text, qsizetype& at) {
    QString name;
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text[i] != u'"') {
            name += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == u'"') {
            name += u'"';
            ++i;
        } else {
            at = i + 1;
            return name;
        }
    }
    return std::nullopt;
}

bool NeedsQuotes(const QString& name) {
    return name.isEmpty() || name.contains(u';') || name.startsWith(u'"') ||
           name.size() != name.trimmed().size();
}

} // namespace

std::vector<QString> ParseCharacteristicNames(QStringView text) {
    std::vector<QString> names;
    QSet<QString> seen;
    qsizetype at = 0;
    while (at <= text.size()) {
        while (at < text.size() && IsBlank(text[at]))
            ++at;
        QString name;
        qsizetype quotedEnd = at;
        std::optional<QString> quoted;
        if (at < text.size() && text[at] == u'"')
            quoted = QuotedName(text, quotedEnd);
        if (quoted)
            at = quotedEnd;
        qsizetype end = text.indexOf(u';', at);
        if (end < 0)
            end = text.size();
        // Whatever follows a closing quote belongs to the name as typed.
        const QStringView rest = text.mid(at, end - at);
        name = quoted ? *quoted + rest.trimmed().toString() : rest.trimmed().toString();
        if (!name.isEmpty() && !seen.contains(name)) {
            seen.insert(name);
            names.push_back(name);
        }
        at = end + 1;
    }
    return names;
}

QString CharacteristicNamesText(const std::vector<QString>& names) {
    QStringList parts;
    for (const QString& name : names) {
        if (!NeedsQuotes(name)) {
            parts += name;
            continue;
        }
        QString quoted = name;
        quoted.replace(u'"', QStringLiteral("\"\""));
        parts += u'"' + quoted + u'"';
    }
    return parts.join(QStringLiteral("; "));
}

void TInspection::SetCharacteristics(std::vector<TCharacteristic> characteristics) {
    QSet<QString> seen;
    std::erase_if(characteristics, [&seen](const TCharacteristic& c) {
        if (c.Name.isEmpty() || seen.contains(c.Name))
            return true;
        seen.insert(c.Name);
        return false;
    });
    const bool sameNames = std::equal(
        characteristics.begin(), characteristics.end(), FCharacteristics.begin(),
        FCharacteristics.end(), [](const auto& a, const auto& b) { return a.Name == b.Name; });
    FCharacteristics = std::move(characteristics);
    TSeries::TFixedUnits units;
    for (const TCharacteristic& c : FCharacteristics)
        units.emplace(c.Name, c.Unit);
    FSeries.SetFixedUnits(units);
    if (sameNames)
        return;
    FPosition.Index = 0;
    if (FCharacteristics.empty())
        return;
    if (Filled(FPosition.Part, 0))
        Step();
}

void TInspection::SetNames(const std::vector<QString>& names) {
    std::vector<TCharacteristic> characteristics;
    for (const QString& name : names) {
        const int index = IndexInPlan(name);
        characteristics.push_back(
            {name,
             index < 0 ? TUnit::None : FCharacteristics[static_cast<std::size_t>(index)].Unit});
    }
    SetCharacteristics(std::move(characteristics));
}

TPlan TInspection::Plan() const {
    TPlan plan;
    for (const TCharacteristic& characteristic : FCharacteristics)
        plan.push_back({characteristic, FSeries.Limits().Find(characteristic.Name)});
    return plan;
}

void TInspection::UsePlan(const TPlan& plan) {
    std::vector<TCharacteristic> characteristics;
    QSet<QString> seen;
    for (const TPlannedCharacteristic& planned : plan) {
        const QString& name = planned.Characteristic.Name;
        if (name.isEmpty() || seen.contains(name))
            continue;
        seen.insert(name);
        characteristics.push_back(planned.Characteristic);
        FSeries.SetLimits(name, planned.Limits);
    }
    SetCharacteristics(std::move(characteristics));
}

QString TInspection::NextCharacteristic() const {
    return HasPlan() ? FCharacteristics[static_cast<std::size_t>(FPosition.Index)].Name : QString();
}

void TInspection::SetPosition(TPlanPosition position) {
    position.Part = std::clamp(position.Part, 1, MaxPart);
    if (position.Index < 0 || position.Index >= static_cast<int>(FCharacteristics.size()))
        position.Index = 0;
    FPosition = position;
}

void TInspection::Step() {
    if (FCharacteristics.empty())
        return;
    do {
        if (++FPosition.Index == static_cast<int>(FCharacteristics.size())) {
            FPosition.Index = 0;
            FPosition.Part = std::min(FPosition.Part + 1, MaxPart);
        }
    } while (FPosition.Index > 0 && Filled(FPosition.Part, FPosition.Index));
}

bool TInspection::Filled(int part, int index) const {
    const auto number =
        FNameNumbers.constFind(FCharacteristics[static_cast<std::size_t>(index)].Name);
    if (number == FNameNumbers.constEnd())
        return false;
    // Cells come in the order of their parts, so the part's are at the end.
    for (auto cell = FCells.rbegin(); cell != FCells.rend() && cell->Part >= part; ++cell)
        if (cell->Part == part && cell->Name == *number)
            return true;
    return false;
}

int TInspection::NameNumber(const QString& name) {
    const auto found = FNameNumbers.constFind(name);
    if (found != FNameNumbers.constEnd())
        return *found;
    FNames.push_back(name);
    return *FNameNumbers.insert(name, static_cast<int>(FNames.size()) - 1);
}

int TInspection::IndexInPlan(const QString& name) const {
    const auto found = std::find_if(FCharacteristics.begin(), FCharacteristics.end(),
                                    [&name](const TCharacteristic& c) { return c.Name == name; });
    return found == FCharacteristics.end() ? -1
                                           : static_cast<int>(found - FCharacteristics.begin());
}

TInspection::TAdded TInspection::AddLine(QStringView line, qint64 time) {
    std::optional<TPlanPlace> place;
    if (HasPlan())
        place = TPlanPlace{FPosition.Part, NextCharacteristic()};
    const std::size_t cells = FCells.size();
    TAdded added{AddAt(line, time, place), std::nullopt};
    if (FCells.size() > cells) {
        added.Place = std::move(place);
        Step();
    }
    return added;
}

bool TInspection::AddAt(QStringView line, qint64 time, const std::optional<TPlanPlace>& place) {
    const auto reading = ParseReading(line);
    if (!reading)
        return false;
    if (!reading->Label.isEmpty() || !place || place->Characteristic.isEmpty())
        return FSeries.AddReading(line, *reading, reading->Label, time);
    if (!FSeries.AddReading(line, *reading, place->Characteristic, time))
        return false;
    FCells.push_back({FSeries.Reading(FSeries.Size() - 1).Id, std::clamp(place->Part, 1, MaxPart),
                      NameNumber(place->Characteristic)});
    return true;
}

std::optional<TPlanPlace> TInspection::Skip() {
    if (!HasPlan())
        return std::nullopt;
    const TPlanPlace place{FPosition.Part, NextCharacteristic()};
    FCells.push_back({-1, place.Part, NameNumber(place.Characteristic)});
    Step();
    return place;
}

bool TInspection::RemoveNewest(int group) {
    if (group < 0 || group >= FSeries.GroupCount())
        return false;
    const qint64 id = FSeries.Reading(FSeries.NewestInGroup(group, 1).back()).Id;
    if (!FSeries.RemoveNewest(group))
        return false;
    const auto cell = std::find_if(FCells.rbegin(), FCells.rend(),
                                   [id](const TCell& c) { return c.Reading == id; });
    if (cell == FCells.rend())
        return true;
    const bool newest =
        std::none_of(FCells.rbegin(), cell, [](const TCell& c) { return c.Reading >= 0; });
    const auto at = std::prev(cell.base());
    const int index = IndexInPlan(FNames[static_cast<std::size_t>(at->Name)]);
    if (newest && index >= 0) {
        FPosition = {at->Part, index};
        FCells.erase(at, FCells.end());
    } else {
        at->Reading = -1;
    }
    return true;
}

void TInspection::Restart() {
    FSeries.Clear();
    FCells.clear();
    FNames.clear();
    FNameNumbers.clear();
    FPosition = {};
}

std::vector<TPlanRecord> TInspection::Records() const {
    std::vector<TPlanRecord> records;
    qsizetype next = 0; // the first reading not listed yet
    for (const TCell& cell : FCells) {
        const TPlanPlace place{cell.Part, FNames[static_cast<std::size_t>(cell.Name)]};
        if (cell.Reading < 0) {
            records.push_back({-1, place});
            continue;
        }
        const qsizetype index = FSeries.IndexOf(cell.Reading);
        if (index < next)
            continue;
        for (; next < index; ++next)
            records.push_back({next, std::nullopt});
        records.push_back({index, place});
        ++next;
    }
    for (; next < FSeries.Size(); ++next)
        records.push_back({next, std::nullopt});
    return records;
}

bool TInspection::Replay(const TPlanRecord& record, QStringView line, qint64 time) {
    if (record.Index >= 0)
        return AddAt(line, time, record.Place);
    if (record.Place && !record.Place->Characteristic.isEmpty())
        FCells.push_back({-1, std::clamp(record.Place->Part, 1, MaxPart),
                          NameNumber(record.Place->Characteristic)});
    return true;
}

TPartTable TInspection::Parts() const {
    TPartTable table;
    table.Columns = FCharacteristics;
    QHash<int, std::size_t> columns; // by name number
    for (std::size_t i = 0; i < table.Columns.size(); ++i)
        if (const auto number = FNameNumbers.constFind(table.Columns[i].Name);
            number != FNameNumbers.constEnd())
            columns.insert(*number, i);
    for (const TCell& cell : FCells) {
        if (!columns.contains(cell.Name)) {
            columns.insert(cell.Name, table.Columns.size());
            table.Columns.push_back({FNames[static_cast<std::size_t>(cell.Name)]});
        }
    }
    std::map<int, std::vector<qsizetype>> parts;
    for (const TCell& cell : FCells) {
        auto [row, added] = parts.try_emplace(cell.Part);
        if (added)
            row->second.assign(table.Columns.size(), TPartRow::NotMeasured);
        // The newest cell of a part's characteristic holds.
        const qsizetype index = cell.Reading < 0 ? -1 : FSeries.IndexOf(cell.Reading);
        row->second[columns.value(cell.Name)] = index < 0 ? TPartRow::Empty : index;
    }
    // The part the plan is at is still to get what it lacks.
    if (const auto current = parts.find(FPosition.Part); current != parts.end())
        std::replace(current->second.begin(),
                     current->second.begin() + static_cast<std::ptrdiff_t>(FCharacteristics.size()),
                     TPartRow::NotMeasured, TPartRow::Empty);
    for (auto& [part, readings] : parts)
        table.Rows.push_back({part, std::move(readings)});
    return table;
}

} // namespace series
