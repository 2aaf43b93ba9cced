#pragma once

#include "Reading.h"
#include "Statistics.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringView>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace series {

// One reading of a series (its text is Text()).
struct TReading {
    qint64 Time = 0;  // arrival: wall clock, ms since the epoch
    double Value = 0; // as received, in Unit
    TUnit Unit = TUnit::None;
    int Group = 0;
};

// The readings received since the series began, grouped by label (the
// unlabelled ones form one group, as any other). Groups are numbered in the
// order they were first seen; the figures of every group and the counts
// against the limits follow each added reading at constant cost.
//
// A reading takes 20 bytes plus its text in UTF-8, so a million of them fit in
// some 32 MB. They are kept in blocks of a fixed number that never move: a
// growing array would leave its earlier copies behind in the heap.
class TSeries {
public:
    // Adds the line if it is a reading (ParseReading); false if not.
    // The line's text is kept without its line end.
    bool AddLine(QStringView line, qint64 time);
    // Takes the newest reading out; false when the series is empty.
    bool RemoveNewest();
    // Begins a new series: no readings, no groups; the limits stay.
    void Clear();

    qsizetype Size() const { return FSize; }
    bool IsEmpty() const { return FSize == 0; }
    // Index from 0 (the oldest) to Size() - 1 (the newest).
    TReading Reading(qsizetype index) const;
    QString Text(qsizetype index) const;
    // The reading in its group's unit; none when it is left out of the figures.
    std::optional<double> GroupValue(qsizetype index) const;
    // Its verdict against the limits in its group's unit; none without
    // limits or when it is left out of the figures.
    std::optional<TVerdict> Verdict(qsizetype index) const;

    int GroupCount() const { return static_cast<int>(FGroups.size()); }
    // The label of a group; empty for the unlabelled one.
    QString GroupLabel(int group) const;
    // The group with this label, or -1.
    int FindGroup(QStringView label) const;
    // The group to show by default: the newest reading's; -1 when empty.
    int NewestGroup() const { return IsEmpty() ? -1 : Reading(Size() - 1).Group; }
    TStatistics Statistics(int group) const;
    // The indices of the group's newest readings, at most count, oldest first
    // (what a run chart draws). Up to RecentCount of them are kept at hand for
    // every group, however rare its readings are in the series.
    static constexpr qsizetype RecentCount = 100;
    std::vector<qsizetype> NewestInGroup(int group, qsizetype count) const;

    // Limits apply to every group, each in its own unit. Setting other limits
    // recounts the series once.
    void SetLimits(const TLimits& limits);
    const TLimits& Limits() const { return FLimits; }

    // Changes with every change of readings or limits, so a view can tell
    // whether it is up to date without comparing contents.
    quint64 Revision() const { return FRevision; }

private:
    struct TGroup {
        QString Label;
        TGroupFigures Figures;
        std::vector<qsizetype> Recent; // its newest readings, at most RecentCount
        void Add(qsizetype index, double value, TUnit unit, const TLimits& limits);
    };

    // Readings column by column, a block at a time.
    struct TBlock {
        static constexpr int Capacity = 4096;
        qint64 BaseTime = 0;                // the first reading's
        std::array<qint32, Capacity> Times; // ms after BaseTime, or FarTime
        std::array<double, Capacity> Values;
        std::array<quint32, Capacity> GroupUnits; // group << 3 | unit
        std::array<quint32, Capacity> TextEnds;   // end of each text in Text
        QByteArray Text;
        int Size = 0;
    };

    int GroupFor(QStringView label);
    void Recount(int group);
    const TBlock& BlockOf(qsizetype index) const;
    static int Slot(qsizetype index) { return static_cast<int>(index % TBlock::Capacity); }
    TUnit UnitAt(qsizetype index) const;
    int GroupAt(qsizetype index) const;

    std::vector<std::unique_ptr<TBlock>> FBlocks;
    qsizetype FSize = 0;
    // Times more than 24 days from their block's first (or a clock set back
    // as far), by index.
    QHash<qsizetype, qint64> FFarTimes;
    std::vector<TGroup> FGroups;
    QHash<QString, int> FGroupIndex;
    int FLastGroup = -1; // spares the lookup for a run of one label
    TLimits FLimits;
    quint64 FRevision = 0;
};

} // namespace series
