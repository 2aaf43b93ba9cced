#pragma once

#include "Series.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QTimeZone>

namespace series {

// The words of an export in the program's current language, given by the
// window: the header row and the verdicts.
struct TExportTexts {
    QString Number;
    QString Time;
    QString Value;
    QString Unit;
    QString Label;
    QString Verdict;
    QString Text;
    QString Below;
    QString Within;
    QString Above;
    // The captions of the two columns after the line's text (the window may
    // name the group's unit, "Wert (mm)").
    QString GroupValue = QStringLiteral("Wert in der Einheit der Gruppe");
    QString LocalTime = QStringLiteral("Datum und Uhrzeit");
};

// How numbers and times are written.
struct TExportFormat {
    QChar DecimalSeparator = u'.';
    QTimeZone Zone = QTimeZone::systemTimeZone(); // times are local, with offset

    // The user's decimal separator as the window has it (a "," gives ";"
    // between fields and "," in numbers, as spreadsheets there expect;
    // anything else "," and ".").
    static TExportFormat ForUserSeparator(QStringView separator);
    QChar FieldSeparator() const { return DecimalSeparator == u',' ? u';' : u','; }
};

// The rows of one group: a header, then per reading its number in the group,
// its arrival time (ISO 8601 with milliseconds and offset), the value as
// received in its own unit, the unit, the label, the verdict (empty without
// limits, or for a reading left out of the figures), the line's text, the
// value in the group's unit with the group's decimals (empty for a reading
// left out), and the local arrival time as spreadsheets read a date and time
// (2026-12-08 10:15:30, the second not rounded up).
// Texts that a spreadsheet would take for a formula (a label or line starting
// with "=", "+", "-" or "@", after any blanks) get a leading "'".

// As a CSV file: UTF-8 with a byte-order mark, CR LF, RFC 4180 quoting.
QByteArray ExportCsv(const TSeries& series, int group, const TExportTexts& texts,
                     const TExportFormat& format);
// The same rows as tab-separated text for the clipboard (lines end in LF).
QString ExportTabText(const TSeries& series, int group, const TExportTexts& texts,
                      const TExportFormat& format);

// An arrival time as the export writes it, e.g. 2026-12-08T10:15:30.123+01:00.
QString IsoTime(qint64 time, const QTimeZone& zone);

} // namespace series
