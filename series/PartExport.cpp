#include "PartExport.h"

#include "CsvRows.h"
#include "FigureText.h"

namespace series {

namespace {

struct TColumn {
    QString Name;
    TUnit Unit = TUnit::None;
    int Decimals = 0;
    bool Judged = false; // has limits, so a verdict column
};

std::vector<TColumn> Columns(const TSeries& series, const TPartTable& table) {
    std::vector<TColumn> columns;
    for (const TCharacteristic& characteristic : table.Columns) {
        const int group = series.FindGroup(characteristic.Name);
        const TStatistics statistics = series.Statistics(group);
        columns.push_back({characteristic.Name, group < 0 ? characteristic.Unit : statistics.Unit,
                           statistics.Decimals,
                           series.Limits().Find(characteristic.Name).Active()});
    }
    return columns;
}

void WriteHeader(TRowWriter& row, const std::vector<TColumn>& columns,
                 const TPartExportTexts& texts) {
    row.Field(texts.Part);
    row.Field(texts.Time);
    row.Field(texts.LocalTime);
    for (const TColumn& column : columns) {
        const QString unit = UnitName(column.Unit);
        row.Field(unit.isEmpty() ? column.Name : column.Name + QStringLiteral(" (") + unit + u')',
                  true);
    }
    for (const TColumn& column : columns)
        if (column.Judged)
            row.Field(QString(texts.Verdict).replace(QStringLiteral("%1"), column.Name), true);
    row.Field(texts.Overall);
}

// Pass or fail when every cell the part was to have holds a value in the
// figures and at least one has limits to judge it by.
std::optional<bool> Passed(const TSeries& series, const TPartRow& part,
                           const std::vector<TColumn>& columns) {
    bool judged = false;
    bool passed = true;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const qsizetype index = part.Readings[c];
        if (index == TPartRow::NotMeasured)
            continue;
        if (index < 0 || !series.GroupValue(index))
            return std::nullopt;
        if (!columns[c].Judged)
            continue;
        const auto verdict = series.Verdict(index);
        if (!verdict)
            return std::nullopt;
        judged = true;
        passed = passed && *verdict == TVerdict::Within;
    }
    return judged ? std::optional(passed) : std::nullopt;
}

template <typename Done>
void WriteParts(const TInspection& inspection, const TPartExportTexts& texts,
                const TExportFormat& format, QChar separator, Done& done) {
    const TSeries& series = inspection.Series();
    const TPartTable table = inspection.Parts();
    const std::vector<TColumn> columns = Columns(series, table);
    TRowWriter row(separator);
    WriteHeader(row, columns, texts);
    done(row.Line());
    TTimeWriter times(format.Zone);
    QString time;
    QString localTime;
    QString value;
    for (const TPartRow& part : table.Rows) {
        row.Next();
        row.Field(QString::number(part.Part));
        qsizetype first = -1;
        for (const qsizetype index : part.Readings)
            if (index >= 0 && (first < 0 || index < first))
                first = index;
        time.resize(0);
        localTime.resize(0);
        if (first >= 0)
            times.Append(series.Reading(first).Time, time, localTime);
        row.Field(time);
        row.Field(localTime);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const qsizetype index = part.Readings[c];
            const auto number = index >= 0 ? series.GroupValue(index) : std::nullopt;
            value.resize(0);
            if (number)
                AppendNumber(value, *number, columns[c].Decimals, format.DecimalSeparator);
            row.Field(value);
        }
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (!columns[c].Judged)
                continue;
            const qsizetype index = part.Readings[c];
            row.Field(VerdictWord(index >= 0 ? series.Verdict(index) : std::nullopt, texts.Below,
                                  texts.Within, texts.Above));
        }
        const std::optional<bool> passed = Passed(series, part, columns);
        row.Field(passed ? (*passed ? texts.Pass : texts.Fail) : QString());
        done(row.Line());
    }
}

} // namespace

QByteArray ExportPartsCsv(const TInspection& inspection, const TPartExportTexts& texts,
                          const TExportFormat& format) {
    TCsvLines csv;
    WriteParts(inspection, texts, format, format.FieldSeparator(), csv);
    return csv.Bytes;
}

QString ExportPartsTabText(const TInspection& inspection, const TPartExportTexts& texts,
                           const TExportFormat& format) {
    TTabLines lines;
    WriteParts(inspection, texts, format, u'\t', lines);
    return lines.Text;
}

} // namespace series
