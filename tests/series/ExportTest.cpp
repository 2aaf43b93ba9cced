#include "series/Export.h"
#include "series/PartExport.h"

#include <gtest/gtest.h>

using namespace series;

namespace {

constexpr qint64 kMorning = 1796721330123; // 2026-12-08T09:15:30.123Z

// Captions and verdicts as the window passes them, in German and English.
const TExportTexts kGerman{"Nr.",         "Zeit",      "Wert",      "Einheit",
                           "Bezeichnung", "Urteil",    "Zeile",     "unter",
                           "innerhalb",   "\u00FCber", "Wert (mm)", "Datum und Uhrzeit"};
const TExportTexts kEnglish{"No.",  "Time",  "Value",  "Unit",  "Label",      "Verdict",
                            "Text", "below", "within", "above", "Value (mm)", "Date and time"};

// A group whose label holds the quote and both separators, a reading without
// a unit (listed, no verdict) and one in another unit, which has more
// decimals in the group's unit than the others.
TSeries Sample() {
    TSeries series;
    series.AddLine(u"Dia \"A\"; 2: +10.02 mm\r\n", kMorning);
    series.AddLine(u"-0,012 mm\r\n", kMorning + 500);
    series.AddLine(u"Dia \"A\"; 2: 9,98 mm\r\n", kMorning + 877);
    series.AddLine(u"Dia \"A\"; 2: 12\r\n", kMorning + 60000);
    series.AddLine(u"  12,5 \u00B5m\r\n", kMorning + 61000);
    series.AddLine(u"Dia \"A\"; 2: 0.4005 in\r\n", kMorning + 3600000);
    series.SetLimits(QStringLiteral("Dia \"A\"; 2"), {10.0, 10.1, TUnit::Millimetre});
    return series;
}

const TPartExportTexts kPartsGerman{
    "Teil",      "Zeit",      "Datum und Uhrzeit", "Bewertung %1", "Gesamtbewertung",
    "unterhalb", "innerhalb", "oberhalb",          "i. O.",        "n. i. O."};
const TPartExportTexts kPartsEnglish{"Part",  "Time",   "Date and time", "Verdict %1", "Overall",
                                     "below", "within", "above",         "pass",       "fail"};

TExportFormat Format(QStringView separator) {
    TExportFormat format = TExportFormat::ForUserSeparator(separator);
    format.Zone = QTimeZone(3600);
    return format;
}

} // namespace

// The received value as it came, and after the line's text the value in the
// group's unit with the group's decimals (a spreadsheet's sum is then one of
// lengths in one unit) and the local time as a spreadsheet's date and time.
TEST(SeriesExport, CsvBytesInBothNumberFormats) {
    const TSeries series = Sample();
    const QByteArray german = "\xEF\xBB\xBF"
                              "Nr.;Zeit;Wert;Einheit;Bezeichnung;Urteil;Zeile;Wert (mm);"
                              "Datum und Uhrzeit\r\n"
                              "1;2026-12-08T10:15:30.123+01:00;+10,02;mm;\"Dia \"\"A\"\"; 2\";"
                              "innerhalb;\"Dia \"\"A\"\"; 2: +10.02 mm\";10,0200;"
                              "2026-12-08 10:15:30\r\n"
                              "2;2026-12-08T10:15:31.000+01:00;9,98;mm;\"Dia \"\"A\"\"; 2\";"
                              "unter;\"Dia \"\"A\"\"; 2: 9,98 mm\";9,9800;2026-12-08 10:15:31\r\n"
                              "3;2026-12-08T10:16:30.123+01:00;12;;\"Dia \"\"A\"\"; 2\";"
                              ";\"Dia \"\"A\"\"; 2: 12\";;2026-12-08 10:16:30\r\n"
                              "4;2026-12-08T11:15:30.123+01:00;0,4005;in;\"Dia \"\"A\"\"; 2\";"
                              "\xC3\xBC"
                              "ber;\"Dia \"\"A\"\"; 2: 0.4005 in\";10,1727;2026-12-08 11:15:30\r\n";
    EXPECT_EQ(ExportCsv(series, 0, kGerman, Format(u",")), german);

    const QByteArray english = "\xEF\xBB\xBF"
                               "No.,Time,Value,Unit,Label,Verdict,Text,Value (mm),Date and time\r\n"
                               "1,2026-12-08T10:15:30.123+01:00,+10.02,mm,\"Dia \"\"A\"\"; 2\","
                               "within,\"Dia \"\"A\"\"; 2: +10.02 mm\",10.0200,"
                               "2026-12-08 10:15:30\r\n"
                               "2,2026-12-08T10:15:31.000+01:00,9.98,mm,\"Dia \"\"A\"\"; 2\","
                               "below,\"Dia \"\"A\"\"; 2: 9,98 mm\",9.9800,2026-12-08 10:15:31\r\n"
                               "3,2026-12-08T10:16:30.123+01:00,12,,\"Dia \"\"A\"\"; 2\","
                               ",\"Dia \"\"A\"\"; 2: 12\",,2026-12-08 10:16:30\r\n"
                               "4,2026-12-08T11:15:30.123+01:00,0.4005,in,\"Dia \"\"A\"\"; 2\","
                               "above,\"Dia \"\"A\"\"; 2: 0.4005 in\",10.1727,"
                               "2026-12-08 11:15:30\r\n";
    EXPECT_EQ(ExportCsv(series, 0, kEnglish, Format(u".")), english);
    // Any separator but the comma writes points.
    EXPECT_EQ(ExportCsv(series, 0, kEnglish, Format(u"\u066B")), english);
}

TEST(SeriesExport, ClipboardRowsAreTabSeparatedAndNoTextBecomesAFormula) {
    TSeries series = Sample();
    EXPECT_EQ(ExportTabText(series, 1, kGerman, Format(u",")),
              QString::fromUtf16(u"Nr.\tZeit\tWert\tEinheit\tBezeichnung\tUrteil\tZeile\t"
                                 u"Wert (mm)\tDatum und Uhrzeit\n"
                                 u"1\t2026-12-08T10:15:30.623+01:00\t-0,012\tmm\t\t\t'-0,012 mm\t"
                                 u"-0,0120\t2026-12-08 10:15:30\n"
                                 u"2\t2026-12-08T10:16:31.123+01:00\t12,5\t\u00B5m\t\t\t"
                                 u"  12,5 \u00B5m\t0,0125\t2026-12-08 10:16:31\n"));
    series.AddLine(u"=HYPERLINK(1;2): 5 mm", kMorning);
    const int group = series.FindGroup(u"=HYPERLINK(1;2)");
    EXPECT_EQ(ExportTabText(series, group, kEnglish, Format(u".")),
              "No.\tTime\tValue\tUnit\tLabel\tVerdict\tText\tValue (mm)\tDate and time\n"
              "1\t2026-12-08T10:15:30.123+01:00\t5\tmm\t'=HYPERLINK(1;2)\t\t"
              "'=HYPERLINK(1;2): 5 mm\t5\t2026-12-08 10:15:30\n");
    // Spreadsheets look past leading blanks, and so does the guard.
    series.AddLine(u"  =cmd|' /C calc'!A0: 7 mm", kMorning);
    const QStringList blanks =
        ExportTabText(series, series.FindGroup(u"=cmd|' /C calc'!A0"), kEnglish, Format(u"."))
            .split(u'\n')
            .value(1)
            .split(u'\t');
    EXPECT_EQ(blanks.value(6), "'  =cmd|' /C calc'!A0: 7 mm");
    // An empty group still has its header.
    EXPECT_EQ(ExportCsv(TSeries(), 0, kEnglish, Format(u".")),
              "\xEF\xBB\xBFNo.,Time,Value,Unit,Label,Verdict,Text,Value (mm),Date and time\r\n");
}

TEST(SeriesExport, TimesAreLocalWithTheirOffset) {
    EXPECT_EQ(IsoTime(kMorning, QTimeZone(0)), "2026-12-08T09:15:30.123+00:00");
    EXPECT_EQ(IsoTime(kMorning, QTimeZone(-12600)), "2026-12-08T05:45:30.123-03:30");
    EXPECT_EQ(IsoTime(kMorning + 7, QTimeZone(3600)), "2026-12-08T10:15:30.130+01:00");
    EXPECT_EQ(IsoTime(-1, QTimeZone(0)), "1969-12-31T23:59:59.999+00:00");
    EXPECT_EQ(IsoTime(-62135596800000, QTimeZone(0)), "0001-01-01T00:00:00.000+00:00");

    // Across the change to summer time, within one export.
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    constexpr qint64 kChange = 1774746000000; // 2026-03-29T01:00:00Z
    TSeries series;
    for (const qint64 time : {kChange - 60001, kChange - 1, kChange, kChange + 1})
        series.AddLine(u"1 mm", time);
    TExportFormat format;
    format.Zone = berlin;
    const QStringList rows = ExportTabText(series, 0, kEnglish, format).split(u'\n');
    QStringList times;
    for (qsizetype i = 1; i <= 4; ++i)
        times += rows[i].section(u'\t', 1, 1) + u' ' + rows[i].section(u'\t', 8, 8);
    EXPECT_EQ(times, QStringList({"2026-03-29T01:58:59.999+01:00 2026-03-29 01:58:59",
                                  "2026-03-29T01:59:59.999+01:00 2026-03-29 01:59:59",
                                  "2026-03-29T03:00:00.000+02:00 2026-03-29 03:00:00",
                                  "2026-03-29T03:00:00.001+02:00 2026-03-29 03:00:00"}));
}

// Dia is held in millimetres with limits, "=Len" has none: a part passes or
// fails by Dia once it has both; a reading without a unit, a skip and the
// part still being measured give none.
TEST(SeriesExport, ThePartsReportInBothNumberFormats) {
    TSeries series;
    series.SetLimits(QStringLiteral("Dia"), {10.0, 10.1, TUnit::Millimetre});
    TInspection inspection(series);
    inspection.SetCharacteristics({{"Dia", TUnit::Millimetre}, {"=Len", TUnit::None}});
    qint64 time = kMorning;
    for (const char16_t* line : {u"10.02 mm", u"25 mm", u"X: 1 mm", u"0.4005 in", u"24,5 mm",
                                 u"9.99", u"skip", u"10.05 mm"}) {
        if (QStringView(line) == u"skip")
            inspection.Skip();
        else
            inspection.AddLine(QString::fromUtf16(line), time);
        time += 60000;
    }
    const QByteArray german = "\xEF\xBB\xBF"
                              "Teil;Zeit;Datum und Uhrzeit;Dia (mm);'=Len (mm);Bewertung Dia;"
                              "Gesamtbewertung\r\n"
                              "1;2026-12-08T10:15:30.123+01:00;2026-12-08 10:15:30;10,0200;25,0;"
                              "innerhalb;i. O.\r\n"
                              "2;2026-12-08T10:18:30.123+01:00;2026-12-08 10:18:30;10,1727;24,5;"
                              "oberhalb;n. i. O.\r\n"
                              "3;2026-12-08T10:20:30.123+01:00;2026-12-08 10:20:30;;;;\r\n"
                              "4;2026-12-08T10:22:30.123+01:00;2026-12-08 10:22:30;10,0500;;"
                              "innerhalb;\r\n";
    EXPECT_EQ(ExportPartsCsv(inspection, kPartsGerman, Format(u",")), german);
    const QString english =
        "Part\tTime\tDate and time\tDia (mm)\t'=Len (mm)\tVerdict Dia\tOverall\n"
        "1\t2026-12-08T10:15:30.123+01:00\t2026-12-08 10:15:30\t10.0200\t25.0\twithin\tpass\n"
        "2\t2026-12-08T10:18:30.123+01:00\t2026-12-08 10:18:30\t10.1727\t24.5\tabove\tfail\n"
        "3\t2026-12-08T10:20:30.123+01:00\t2026-12-08 10:20:30\t\t\t\t\n"
        "4\t2026-12-08T10:22:30.123+01:00\t2026-12-08 10:22:30\t10.0500\t\twithin\t\n";
    EXPECT_EQ(ExportPartsTabText(inspection, kPartsEnglish, Format(u".")), english);
    EXPECT_EQ(ExportPartsCsv(inspection, kPartsEnglish, Format(u".")),
              "\xEF\xBB\xBF" + english.toUtf8().replace('\t', ',').replace("\n", "\r\n"));
}
