#pragma once

#include "Series.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace series {

// A characteristic of an inspection plan: its name is the group its
// readings go into; it may fix the unit they are converted into.
struct TCharacteristic {
    QString Name;
    TUnit Unit = TUnit::None; // none: the group's first reading's
    bool operator==(const TCharacteristic&) const = default;
};

// A characteristic as a plan file carries it: with its limits, which in use
// are in the series' limit store.
struct TPlannedCharacteristic {
    TCharacteristic Characteristic;
    TLimits Limits;
    bool operator==(const TPlannedCharacteristic&) const = default;
};
using TPlan = std::vector<TPlannedCharacteristic>;

// The names typed into the plan's field, separated by ";": trimmed, empty
// ones dropped, and a name given again dropped too (a characteristic is one
// group, with one unit and one pair of limits). A name in double quotes
// keeps a ";" and blanks at its ends; "" in it is one quote. A quote that is
// never closed is an ordinary character.
std::vector<QString> ParseCharacteristicNames(QStringView text);
// The field's text for names ("Dia; Len"), quoting a name only where it
// needs it, so that ParseCharacteristicNames gives them back.
QString CharacteristicNamesText(const std::vector<QString>& names);

// Where the plan stands: the part (from 1) and the characteristic (its index
// in the plan) that the next reading without a label gets.
struct TPlanPosition {
    int Part = 1;
    int Index = 0;
    bool operator==(const TPlanPosition&) const = default;
};

// Where the plan put a reading, or a skip: the part and the characteristic.
struct TPlanPlace {
    int Part = 1;
    QString Characteristic;
    bool operator==(const TPlanPlace&) const = default;
};

// One reading of the series or one skip, as a journal keeps them in order.
struct TPlanRecord {
    qsizetype Index = -1;            // the reading's index in the series; -1: a skip
    std::optional<TPlanPlace> Place; // none for a reading the plan did not name
    bool operator==(const TPlanRecord&) const = default;
};

// One row per part that the plan put a reading or a skip in, by ascending
// part. Columns are the plan's characteristics, then those of earlier plans
// that still have cells, in the order they came.
struct TPartRow {
    // By column: the reading's index in the series; Empty where the part
    // lacks the characteristic's reading (skipped, taken out, or still to
    // come in the part the plan is at); NotMeasured where the part was never
    // to have it (a characteristic of another plan).
    static constexpr qsizetype Empty = -1;
    static constexpr qsizetype NotMeasured = -2;
    int Part = 0;
    std::vector<qsizetype> Readings;
};
struct TPartTable {
    std::vector<TCharacteristic> Columns;
    std::vector<TPartRow> Rows;
};

// An inspection plan at work on a series: readings without a label get the
// next characteristic's name as their group, in turn, and after the last one
// comes the next part. Readings with a label keep it and leave the plan where
// it is. The plan names readings in the series only: their lines stay as
// they came. Every change of readings goes through this class while it is
// in use, so that it knows which reading fills which cell.
class TInspection {
public:
    explicit TInspection(TSeries& series) : FSeries(series) {}

    const TSeries& Series() const { return FSeries; }
    const std::vector<TCharacteristic>& Characteristics() const { return FCharacteristics; }
    bool HasPlan() const { return !FCharacteristics.empty(); }

    // A new plan (names as ParseCharacteristicNames leaves them: empty and
    // repeated ones are dropped); no characteristics mean no plan. The
    // series' fixed units become the plan's. The same names in the same
    // order leave the plan where it is. Any other change continues the part
    // at the first of the new characteristics that it has no cell for yet
    // (a new part when it has them all): the readings taken stay in their
    // cells, and nothing is measured twice.
    void SetCharacteristics(std::vector<TCharacteristic> characteristics);
    // Names from the field: a characteristic that stays keeps its unit.
    void SetNames(const std::vector<QString>& names);

    // The plan in use with its characteristics' limits from the store.
    TPlan Plan() const;
    // Makes a plan (from a file) the one in use: its characteristics, and
    // its limits replace theirs in the store (empty ones take them away);
    // other groups keep theirs.
    void UsePlan(const TPlan& plan);

    TPlanPosition Position() const { return FPosition; }
    // The name the next reading without a label gets; empty without a plan.
    QString NextCharacteristic() const;
    // As kept (a settings file, a journal): a part beyond the range or an
    // index beyond the plan is held to it.
    void SetPosition(TPlanPosition position);

    struct TAdded {
        bool Added = false;              // the line was a reading and went in
        std::optional<TPlanPlace> Place; // where the plan put it, if it did
    };
    // A line as it goes into the document.
    TAdded AddLine(QStringView line, qint64 time);
    // Moves the plan on without a reading, leaving that cell empty; the place
    // skipped, none without a plan.
    std::optional<TPlanPlace> Skip();
    // Takes the newest reading of a group out. When the plan put it there and
    // it is the newest the plan put anywhere, the plan steps back to its
    // place (skips after it are undone); otherwise the plan stays and that
    // part's cell is empty, as if skipped. False when there is no such group.
    bool RemoveNewest(int group);
    // A new series: no readings, and the plan again at part 1.
    void Restart();

    // Every reading of the series and every skip, in the order they came,
    // with the places the plan gave them; put back with Replay, one after
    // the other in that order (after Restart and SetCharacteristics), then
    // SetPosition.
    std::vector<TPlanRecord> Records() const;
    // A reading goes in with its line and time, in the place recorded (a
    // line with a label of its own keeps it); a skip is put in its place.
    // The plan does not move. False when a reading did not go in.
    bool Replay(const TPlanRecord& record, QStringView line, qint64 time);

    TPartTable Parts() const;

private:
    // A cell the plan filled: a reading (by id), or none (-1: skipped, or
    // its reading taken out).
    struct TCell {
        qint64 Reading = -1;
        int Part = 0;
        int Name = 0; // in FNames
    };

    // On to the next characteristic the part has no cell for yet, or the
    // next part.
    void Step();
    bool Filled(int part, int index) const;
    int NameNumber(const QString& name);
    int IndexInPlan(const QString& name) const;
    bool AddAt(QStringView line, qint64 time, const std::optional<TPlanPlace>& place);

    TSeries& FSeries;
    std::vector<TCharacteristic> FCharacteristics;
    TPlanPosition FPosition;
    std::vector<TCell> FCells; // in the order they were filled
    // Every name a cell has had since the series began.
    std::vector<QString> FNames;
    QHash<QString, int> FNameNumbers;
};

} // namespace series
