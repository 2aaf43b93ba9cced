#include "Export.h"

#include "CsvRows.h"
#include "FigureText.h"

namespace series {

namespace {

QString ValueText(const QString& text, QChar decimal) {
    const auto reading = ParseReading(text);
    if (!reading)
        return {};
    QString value = reading->ValueText.toString();
    value.replace(u'.', decimal);
    value.replace(u',', decimal);
    return value;
}

// Writes the header and the group's rows, handing on each finished line.
template <typename Done>
void WriteRows(const TSeries& series, int group, const TExportTexts& texts,
               const TExportFormat& format, QChar separator, Done& done) {
    TRowWriter row(separator);
    for (const QString* caption :
         {&texts.Number, &texts.Time, &texts.Value, &texts.Unit, &texts.Label, &texts.Verdict,
          &texts.Text, &texts.GroupValue, &texts.LocalTime})
        row.Field(*caption);
    done(row.Line());
    const QString label =
        group >= 0 && group < series.GroupCount() ? series.GroupLabel(group) : QString();
    // One count of decimals for the column of values in the group's unit, so
    // every row of the group reads alike.
    const TStatistics statistics = series.Statistics(group);
    TTimeWriter times(format.Zone);
    QString time;
    QString localTime;
    QString groupValue;
    qsizetype number = 0;
    for (qsizetype i = 0; i < series.Size(); ++i) {
        const TReading reading = series.Reading(i);
        if (reading.Group != group)
            continue;
        const QString text = series.Text(i);
        const std::optional<double> value = series.GroupValue(i);
        row.Next();
        row.Field(QString::number(++number));
        time.resize(0);
        localTime.resize(0);
        times.Append(reading.Time, time, localTime);
        row.Field(time);
        row.Field(ValueText(text, format.DecimalSeparator));
        row.Field(UnitName(reading.Unit));
        row.Field(label, true);
        row.Field(VerdictWord(value ? Judge(*value, statistics.Limits) : std::nullopt, texts.Below,
                              texts.Within, texts.Above));
        row.Field(text, true);
        groupValue.resize(0);
        if (value)
            AppendNumber(groupValue, *value, statistics.Decimals, format.DecimalSeparator);
        row.Field(groupValue);
        row.Field(localTime);
        done(row.Line());
    }
}

} // namespace

TExportFormat TExportFormat::ForUserSeparator(QStringView separator) {
    TExportFormat format;
    format.DecimalSeparator = separator == u"," ? u',' : u'.';
    return format;
}

QString IsoTime(qint64 time, const QTimeZone& zone) {
    QString text;
    QString spreadsheet;
    TTimeWriter(zone).Append(time, text, spreadsheet);
    return text;
}

QByteArray ExportCsv(const TSeries& series, int group, const TExportTexts& texts,
                     const TExportFormat& format) {
    TCsvLines csv;
    WriteRows(series, group, texts, format, format.FieldSeparator(), csv);
    return csv.Bytes;
}

QString ExportTabText(const TSeries& series, int group, const TExportTexts& texts,
                      const TExportFormat& format) {
    TTabLines lines;
    WriteRows(series, group, texts, format, u'\t', lines);
    return lines.Text;
}

} // namespace series
