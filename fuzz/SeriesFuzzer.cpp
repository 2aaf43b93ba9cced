// Arbitrary bytes as received on a link: gathered into lines in chunks, read
// as readings into a series; each group's figures stay consistent, its CSV
// export reads back (RFC 4180) as one row per reading with the line's text,
// taking out a group's newest reading leaves what the other readings make,
// and taking out every reading leaves an empty series.
#include "fuzz/FuzzSupport.h"

#include "app/capture/LineAssembler.h"
#include "series/Export.h"
#include "series/Series.h"

#include <QStringList>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

// The fields of each row of a CSV text (no byte-order mark), by RFC 4180.
QList<QStringList> ReadCsv(QStringView text, QChar separator) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == separator) {
            row += field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row += field;
            field.clear();
            rows += row;
            row.clear();
            ++i;
        } else {
            field += c;
        }
    }
    fuzzing::Require(!quoted && row.isEmpty() && field.isEmpty(), "the CSV ends with a row");
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool comma = (data[0] & 1) != 0;
    const qsizetype chunk = 1 + data[0] / 2;
    const QString received = QString::fromLatin1(reinterpret_cast<const char*>(data) + 1,
                                                 static_cast<qsizetype>(size) - 1);
    series::TSeries readings;
    TLineAssembler assembler;
    qint64 time = 1796721330123;
    for (qsizetype at = 0; at < received.size(); at += chunk) {
        assembler.Feed(QStringView(received).mid(at, chunk), time++,
                       [&readings](QStringView line, qint64 arrived) {
                           const auto reading = series::ParseReading(line);
                           fuzzing::Require(!reading || std::isfinite(reading->Value),
                                            "a reading's value is a number");
                           fuzzing::Require(readings.AddLine(line, arrived) == reading.has_value(),
                                            "a line is added exactly when it is a reading");
                       });
    }
    // Limits without a unit on the unlabelled group, in millimetres on the
    // others (they do not convert where a group has no unit).
    readings.SetLimits(QString(), {-1, 1});
    for (int group = 0; group < readings.GroupCount(); ++group)
        if (!readings.GroupLabel(group).isEmpty())
            readings.SetLimits(readings.GroupLabel(group), {-1, 1, series::TUnit::Millimetre});

    qsizetype listed = 0;
    series::TExportFormat format = series::TExportFormat::ForUserSeparator(comma ? u"," : u".");
    format.Zone = QTimeZone(3600);
    const series::TExportTexts texts{"N", "T", "V", "U", "L", "R", "X", "b", "w", "a"};
    for (int group = 0; group < readings.GroupCount(); ++group) {
        const series::TStatistics s = readings.Statistics(group);
        listed += s.Count + s.Excluded;
        fuzzing::Require(s.Count + s.Excluded > 0, "no group is empty");
        fuzzing::Require(s.Below + s.Within + s.Above == (s.HasLimits ? s.Count : 0),
                         "every counted reading judged where the group has limits");
        fuzzing::Require(!s.Minimum || *s.Minimum <= *s.Maximum, "minimum below maximum");
        fuzzing::Require(!s.StandardDeviation || *s.StandardDeviation >= 0, "s is not negative");
        fuzzing::Require(!s.MovingRange || *s.MovingRange >= 0, "moving range not negative");
        fuzzing::Require(!s.Cp == !s.Pp || !s.HasLimits, "Cp and Pp have the same limits");
        fuzzing::Require(s.Decimals >= 0 && s.Decimals <= 40, "decimals within reason");

        const QByteArray csv = series::ExportCsv(readings, group, texts, format);
        fuzzing::Require(csv.startsWith("\xEF\xBB\xBF"), "the CSV has a byte-order mark");
        const QList<QStringList> rows =
            ReadCsv(QString::fromUtf8(csv.mid(3)), format.FieldSeparator());
        fuzzing::Require(rows.size() == s.Count + s.Excluded + 1, "one row per reading");
        qsizetype row = 1;
        for (qsizetype i = 0; i < readings.Size(); ++i) {
            if (readings.Reading(i).Group != group)
                continue;
            fuzzing::Require(rows[row].size() == 9, "nine fields a row");
            const QString text = rows[row++][6];
            fuzzing::Require(text == readings.Text(i) || text == u'\'' + readings.Text(i),
                             "the line's text comes back");
        }
    }
    fuzzing::Require(listed == readings.Size(), "every reading in one group");

    // Taking out a group's newest reading leaves the series the other
    // readings would have made, ids and all.
    if (readings.GroupCount() > 0) {
        const int group = static_cast<int>(data[0] % readings.GroupCount());
        const QString label = readings.GroupLabel(group);
        const qint64 newestId = readings.Reading(readings.NewestInGroup(group, 1).back()).Id;
        fuzzing::Require(readings.RemoveNewest(group), "a group has a newest reading");
        fuzzing::Require(readings.IndexOf(newestId) < 0, "a reading taken out has no index");
        series::TSeries rebuilt;
        rebuilt.SetLimits(readings.Limits());
        for (qsizetype i = 0; i < readings.Size(); ++i) {
            rebuilt.AddLine(readings.Text(i), readings.Reading(i).Time);
            fuzzing::Require(readings.IndexOf(readings.Reading(i).Id) == i, "ids find readings");
        }
        fuzzing::Require(rebuilt.GroupCount() == readings.GroupCount(), "the same groups");
        for (int g = 0; g < readings.GroupCount(); ++g) {
            const series::TStatistics a = readings.Statistics(g);
            const series::TStatistics b = rebuilt.Statistics(g);
            fuzzing::Require(readings.GroupLabel(g) == rebuilt.GroupLabel(g), "the same labels");
            fuzzing::Require(a.Count == b.Count && a.Excluded == b.Excluded && a.Mean == b.Mean &&
                                 a.MovingRange == b.MovingRange && a.Decimals == b.Decimals &&
                                 a.Below == b.Below && a.Above == b.Above && a.Unit == b.Unit,
                             "the figures a series without the reading has");
            fuzzing::Require(readings.NewestInGroup(g, 150) == rebuilt.NewestInGroup(g, 150),
                             "the same newest readings");
        }
        fuzzing::Require(readings.FindGroup(label) >= 0 || rebuilt.FindGroup(label) < 0,
                         "a group goes with its last reading");
    }

    while (readings.RemoveNewest()) {
    }
    fuzzing::Require(readings.GroupCount() == 0, "no groups without readings");
    return 0;
}
