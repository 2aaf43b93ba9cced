#pragma once

#include "Limits.h"
#include "Reading.h"
#include "Statistics.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringView>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace series {

// One reading of a series (its text is Text()).
struct TReading {
    // The reading's own for as long as the series object lives, never given
    // to another reading, not even after Clear: IndexOf finds the reading by
    // it however many were taken out before it.
    qint64 Id = 0;
    qint64 Time = 0;  // arrival: wall clock, ms since the epoch
    double Value = 0; // as received, in Unit
    TUnit Unit = TUnit::None;
    int Decimals = 0; // as written
    int Group = 0;
};

// The readings received since the series began, grouped by label (the
// unlabelled ones form one group, as any other). Groups are numbered in the
// order they were first seen; the figures of every group and the counts
// against its limits follow each added reading at constant cost.
//
// A reading takes 20 bytes plus its text in UTF-8, so a million of them fit in
// some 32 MB. They are kept in blocks of a fixed number that never move: a
// growing array would leave its earlier copies behind in the heap.
class TSeries {
public:
    // Adds the line if it is a reading (ParseReading); false if not.
    // The line's text is kept without its line end.
    bool AddLine(QStringView line, qint64 time);
    // Adds a reading that ParseReading found in line to the group with the
    // given label, which need not be the reading's own (a plan names the
    // readings that have none); false when no further group fits.
    bool AddReading(QStringView line, const TParsedReading& reading, QStringView group,
                    qint64 time);
    // Takes the newest reading of a group out (a group left without
    // readings goes, and the groups after it move up by one); false when
    // there is no such group. The group's figures are counted again, as if
    // the reading had never come (its moving range goes with it), at the
    // cost of a pass over the series.
    bool RemoveNewest(int group);
    // Takes the newest reading of the series out; false when it is empty.
    bool RemoveNewest() { return RemoveNewest(NewestGroup()); }
    // Begins a new series: no readings, no groups; the limits stay.
    void Clear();

    qsizetype Size() const { return FSize; }
    bool IsEmpty() const { return FSize == 0; }
    // Index from 0 (the oldest) to Size() - 1 (the newest).
    TReading Reading(qsizetype index) const;
    QString Text(qsizetype index) const;
    // The index of the reading with this id; -1 when it is not in the series.
    qsizetype IndexOf(qint64 id) const;
    // The reading in its group's unit; none when it is left out of the figures.
    std::optional<double> GroupValue(qsizetype index) const;
    // Its verdict against its group's limits in the group's unit; none
    // without limits or when it is left out of the figures.
    std::optional<TVerdict> Verdict(qsizetype index) const;

    int GroupCount() const { return static_cast<int>(FGroups.size()); }
    // The label of a group; empty for the unlabelled one.
    QString GroupLabel(int group) const;
    // The group with this label, or -1.
    int FindGroup(QStringView label) const;
    // The group to show by default: the newest reading's; -1 when empty.
    int NewestGroup() const { return IsEmpty() ? -1 : GroupAt(Size() - 1); }
    TStatistics Statistics(int group) const;
    // The indices of the group's newest readings, at most count, oldest first
    // (what a run chart draws). Up to RecentCount of them are kept at hand for
    // every group, however rare its readings are in the series.
    static constexpr qsizetype RecentCount = 100;
    std::vector<qsizetype> NewestInGroup(int group, qsizetype count) const;

    // The limits of every label, kept across Clear. Setting one label's
    // limits (empty ones take them away) recounts its group.
    const TLimitStore& Limits() const { return FLimits; }
    void SetLimits(const QString& label, const TLimits& limits);
    // Replaces the whole store (as the settings file holds it).
    void SetLimits(const TLimitStore& store);

    // Groups whose unit is fixed, by label: their readings in another unit
    // are converted into it, those without a unit left out. Kept across
    // Clear, as the limits are; the other groups take their first reading's
    // unit.
    using TFixedUnits = std::map<QString, TUnit, std::less<>>;
    const TFixedUnits& FixedUnits() const { return FFixedUnits; }
    // Replaces them all (entries with no unit are none); the groups whose
    // unit changes are counted again.
    void SetFixedUnits(const TFixedUnits& units);

    // Changes with every change of readings, limits or units, so a view can tell
    // whether it is up to date without comparing contents.
    quint64 Revision() const { return FRevision; }

private:
    struct TGroup {
        QString Label;
        TGroupFigures Figures;
        std::vector<qsizetype> Recent; // its newest readings, at most RecentCount
    };

    // Readings column by column, a block at a time. Only the newest block
    // grows; one that lost a reading in its middle stays short.
    struct TBlock {
        static constexpr int Capacity = 4096;
        qint64 BaseTime = 0;                // the first reading's
        std::array<qint32, Capacity> Times; // ms after BaseTime, or FarTime
        std::array<double, Capacity> Values;
        std::array<quint32, Capacity> Packed;   // group << 8 | decimals << 3 | unit
        std::array<quint32, Capacity> TextEnds; // end of each text in Text
        QByteArray Text;
        // Times more than 24 days from BaseTime (or a clock set back as
        // far), by slot.
        std::vector<std::pair<int, qint64>> FarTimes;
        int Size = 0;
    };
    struct TPlace {
        const TBlock* Block;
        int Slot;
    };

    int GroupFor(QStringView label);
    TUnit FixedUnit(QStringView label) const;
    void RemoveAt(qsizetype index);
    void DropGroup(int group);
    // The figures of a group again from its readings (of every group: -1).
    void Recount(int group);
    void FindRecent(int group);
    TPlace Place(qsizetype index) const;
    quint32 PackedAt(qsizetype index) const;
    int GroupAt(qsizetype index) const;
    qint64 IdAt(qsizetype index) const;

    std::vector<std::unique_ptr<TBlock>> FBlocks;
    std::vector<qsizetype> FStarts; // the index of each block's first reading
    bool FDense = true;             // every block but the newest full: index / Capacity finds it
    qsizetype FSize = 0;
    std::vector<TGroup> FGroups;
    QHash<QString, int> FGroupIndex;
    int FLastGroup = -1; // spares the lookup for a run of one label
    TLimitStore FLimits;
    TFixedUnits FFixedUnits;
    // Ids: the first reading since Clear had FFirstId, each later one the
    // next number; those taken out are listed, ascending.
    qint64 FFirstId = 0;
    qint64 FNextId = 0;
    std::vector<qint64> FRemovedIds;
    quint64 FRevision = 0;
};

} // namespace series
