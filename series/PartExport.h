#pragma once

#include "Export.h"
#include "Inspection.h"

#include <QByteArray>
#include <QString>

namespace series {

// The words of the per-part report in the program's current language, given
// by the window: the header row, the verdicts of a characteristic and the
// overall verdicts of a part.
struct TPartExportTexts {
    QString Part;
    QString Time;
    QString LocalTime;
    // The caption of a characteristic's verdict column; "%1" is its name.
    QString Verdict;
    QString Overall;
    QString Below;
    QString Within;
    QString Above;
    QString Pass; // "i. O."
    QString Fail; // "n. i. O."
};

// The report with one row per part (TInspection::Parts): the part's number,
// the arrival time of its first reading (ISO 8601 with milliseconds and
// offset, then as spreadsheets read a date and time), a column per
// characteristic with the value in its group's unit and decimals (its
// caption the name and that unit, "Dia (mm)"), a verdict column for each
// characteristic that has limits, and the part's overall verdict. A part
// gets that only when it has a value for every characteristic it was to be
// measured at and at least one has limits: "fail" when any is outside them.
// The dialect of the series export: the format's separators, RFC 4180
// quoting, and the guard against formulas on names.

// As a CSV file: UTF-8 with a byte-order mark, CR LF.
QByteArray ExportPartsCsv(const TInspection& inspection, const TPartExportTexts& texts,
                          const TExportFormat& format);
// The same rows as tab-separated text for the clipboard (lines end in LF).
QString ExportPartsTabText(const TInspection& inspection, const TPartExportTexts& texts,
                           const TExportFormat& format);

} // namespace series
