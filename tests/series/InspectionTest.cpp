#include "series/Inspection.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace series;

namespace {

constexpr qint64 kMorning = 1796721330123; // 2026-12-08T09:15:30.123Z

// Drives an inspection by steps: a line as a gauge sends it, or "plan: <the
// field's text>", "skip", "del: <group>" (remove its newest reading), "new".
void RunSteps(TInspection& inspection, const std::vector<const char16_t*>& steps) {
    qint64 time = kMorning;
    for (const char16_t* step : steps) {
        const QString text = QString::fromUtf16(step);
        if (text.startsWith(u"plan:"))
            inspection.SetNames(ParseCharacteristicNames(QStringView(text).mid(5)));
        else if (text == u"skip")
            inspection.Skip();
        else if (text.startsWith(u"del: "))
            inspection.RemoveNewest(inspection.Series().FindGroup(QStringView(text).mid(5)));
        else if (text == u"new")
            inspection.Restart();
        else
            inspection.AddLine(text, time += 1000);
    }
}

// "1 Dia=1 Len=_ | 2 Dia=4 Len=." : each part with the value of the reading
// in each cell, "_" for an empty one, "." where the part has none to get.
std::string PartsText(const TInspection& inspection) {
    const TPartTable table = inspection.Parts();
    QStringList rows;
    for (const TPartRow& row : table.Rows) {
        QString text = QString::number(row.Part);
        for (std::size_t c = 0; c < table.Columns.size(); ++c) {
            const qsizetype index = row.Readings[c];
            text += u' ' + table.Columns[c].Name + u'=';
            if (index == TPartRow::NotMeasured)
                text += u'.';
            else if (index == TPartRow::Empty)
                text += u'_';
            else
                text += ParseReading(inspection.Series().Text(index))->ValueText;
        }
        rows += text;
    }
    return rows.join(QStringLiteral(" | ")).toStdString();
}

// The group of each reading in the series, and where the plan stands.
std::string GroupsText(const TSeries& series) {
    QStringList groups;
    for (qsizetype i = 0; i < series.Size(); ++i)
        groups += series.GroupLabel(series.Reading(i).Group);
    return groups.join(u',').toStdString();
}

std::string PositionText(const TInspection& inspection) {
    return (QString::number(inspection.Position().Part) + u' ' + inspection.NextCharacteristic())
        .toStdString();
}

std::string Utf8(const char16_t* text) {
    return QString::fromUtf16(text).toStdString();
}

struct TScript {
    const char* Name;
    std::vector<const char16_t*> Steps;
    const char16_t* Groups;
    const char16_t* Parts;
    const char16_t* Position;
};

const TScript kScripts[] = {
    {"readings with a label keep it and leave the plan alone",
     {u"plan: Dia; Len; Breite", u"1 mm", u"X: 9 mm", u"2 mm", u"3 mm\r\n", u"> ", u"4 mm"},
     u"Dia,X,Len,Breite,Dia",
     u"1 Dia=1 Len=2 Breite=3 | 2 Dia=4 Len=_ Breite=_",
     u"2 Len"},
    {"a skip leaves its cell empty",
     {u"plan: Dia; Len; Breite", u"1 mm", u"skip", u"3 mm", u"skip", u"5 mm"},
     u"Dia,Breite,Len",
     u"1 Dia=1 Len=_ Breite=3 | 2 Dia=_ Len=5 Breite=_",
     u"2 Breite"},
    {"taking out the plan's newest reading steps back, undoing the skips after it",
     {u"plan: Dia; Len; Breite", u"1 mm", u"2 mm", u"skip", u"del: Len", u"6 mm", u"7 mm"},
     u"Dia,Len,Breite",
     u"1 Dia=1 Len=6 Breite=7",
     u"2 Dia"},
    {"taking out an older reading empties its cell; a labelled one leaves the plan",
     {u"plan: Dia; Len", u"1 mm", u"2 mm", u"3 mm", u"Len: 8 mm", u"del: Len", u"del: Len"},
     u"Dia,Dia",
     u"1 Dia=1 Len=_ | 2 Dia=3 Len=_",
     u"2 Len"},
    {"a new series starts again at part 1",
     {u"plan: Dia; Len", u"1 mm", u"2 mm", u"3 mm", u"new", u"4 mm"},
     u"Dia",
     u"1 Dia=4 Len=_",
     u"1 Len"},
    {"a changed plan continues the part with what it still lacks",
     {u"plan: Dia; Len", u"1 mm", u"plan: Len; Breite; Dia", u"2 mm", u"3 mm", u"4 mm"},
     u"Dia,Len,Breite,Len",
     u"1 Len=2 Breite=3 Dia=1 | 2 Len=4 Breite=_ Dia=_",
     u"2 Breite"},
    {"a part that has all the new plan asks for is done; no plan, no names",
     {u"plan: Dia; Len; Breite", u"1 mm", u"2 mm", u"plan: Len; Dia", u"3 mm", u"plan: ", u"4 mm",
      u"skip"},
     u"Dia,Len,Len,",
     u"1 Dia=1 Len=2 | 2 Dia=. Len=3",
     u"2 "},
};

} // namespace

// Each script's end, and the same again from what a journal would keep of
// it: the records replayed into a new series, then the position.
TEST(Inspection, StepsThroughThePartsAndComesBackFromItsRecords) {
    for (const TScript& script : kScripts) {
        SCOPED_TRACE(script.Name);
        TSeries series;
        TInspection inspection(series);
        RunSteps(inspection, script.Steps);
        EXPECT_EQ(GroupsText(series), Utf8(script.Groups));
        EXPECT_EQ(PartsText(inspection), Utf8(script.Parts));
        EXPECT_EQ(PositionText(inspection), Utf8(script.Position));

        TSeries restoredSeries;
        TInspection restored(restoredSeries);
        restored.SetCharacteristics(inspection.Characteristics());
        for (const TPlanRecord& record : inspection.Records()) {
            const qsizetype i = record.Index;
            EXPECT_TRUE(restored.Replay(record, i < 0 ? QString() : series.Text(i),
                                        i < 0 ? 0 : series.Reading(i).Time));
        }
        restored.SetPosition(inspection.Position());
        EXPECT_EQ(GroupsText(restoredSeries), GroupsText(series));
        EXPECT_EQ(PartsText(restored), PartsText(inspection));
        EXPECT_EQ(restored.Position(), inspection.Position());
    }
}

// Names as typed, and back into the field with any character.
TEST(Inspection, TheFieldsNames) {
    EXPECT_EQ(ParseCharacteristicNames(u" Dia;Len ;; Breite;Dia;dia;\t"),
              (std::vector<QString>{"Dia", "Len", "Breite", "dia"}));
    EXPECT_EQ(ParseCharacteristicNames(u"\"A; \"\"1\"\" \" ; \"B; C"),
              (std::vector<QString>{"A; \"1\" ", "\"B", "C"}));
    const std::vector<QString> names = {"Dia", " x ", "a;b", "\"q\"", "M\"x", "\u00D8 au\u00DFen"};
    const QString text = CharacteristicNamesText(names);
    EXPECT_EQ(text, "Dia; \" x \"; \"a;b\"; \"\"\"q\"\"\"; M\"x; \u00D8 au\u00DFen");
    EXPECT_EQ(ParseCharacteristicNames(text), names);
    // A position as kept is held to the plan.
    TSeries series;
    TInspection inspection(series);
    inspection.SetNames(names);
    inspection.SetPosition({-4, 6});
    EXPECT_EQ(inspection.Position(), (TPlanPosition{1, 0}));
    inspection.SetPosition({3, 5});
    EXPECT_EQ(PositionText(inspection), Utf8(u"3 \u00D8 au\u00DFen"));
}
