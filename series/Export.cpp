#include "Export.h"

#include "FigureText.h"

#include <QDate>
#include <QDateTime>

#include <cstdlib>
#include <limits>

namespace series {

namespace {

// One row at a time into a line that keeps its buffer.
class TRowWriter {
public:
    explicit TRowWriter(QChar separator) : FSeparator(separator) {}

    // Appends a field, quoted (RFC 4180) when it holds the separator, a
    // quote or a line end. Inert fields are received text: one that a
    // spreadsheet would take for a formula gets a leading "'". Spreadsheets
    // look past leading blanks for the formula's sign, so the guard does too.
    void Field(QStringView text, bool inert = false) {
        if (FFields > 0)
            FLine += FSeparator;
        ++FFields;
        qsizetype first = 0;
        while (first < text.size() && text[first] == u' ')
            ++first;
        const bool formula =
            inert && first < text.size() && QStringView(u"=+-@\t\r").contains(text[first]);
        const bool quote = text.contains(FSeparator) || text.contains(u'"') ||
                           text.contains(u'\r') || text.contains(u'\n');
        if (quote)
            FLine += u'"';
        if (formula)
            FLine += u'\'';
        if (quote) {
            for (const QChar c : text) {
                if (c == u'"')
                    FLine += u'"';
                FLine += c;
            }
            FLine += u'"';
        } else {
            FLine += text;
        }
    }
    QString& Line() { return FLine; }
    // Starts the next row, keeping the buffer.
    void Next() {
        FLine.resize(0);
        FFields = 0;
    }

private:
    QChar FSeparator;
    QString FLine;
    int FFields = 0;
};

void AppendDigits(QString& out, qint64 value, int width) {
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 || count < width);
    while (count > 0)
        out += QLatin1Char(digits[--count]);
}

// Arrival times in local time, as ISO 8601 with milliseconds and offset and
// as spreadsheets read a date and time (whole seconds, no offset). The zone's
// offset is looked up once per quarter of an hour of UTC (offsets change only
// at such instants), not once per reading.
class TTimeWriter {
public:
    explicit TTimeWriter(const QTimeZone& zone) : FZone(zone) {}

    void Append(qint64 time, QString& iso, QString& spreadsheet) {
        // Beyond the years 1 to 9999 the general path writes what it can.
        if (time < -62135596800000 || time > 253402214400000) {
            const QDateTime general = QDateTime::fromMSecsSinceEpoch(time, FZone);
            iso += general.toString(Qt::ISODateWithMs);
            spreadsheet += general.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            return;
        }
        const int offset = Offset(time);
        const qint64 local = time + offset * qint64(1000);
        constexpr qint64 Day = 86400000;
        const qint64 days = local >= 0 ? local / Day : -((-local + Day - 1) / Day);
        const qint64 ms = local - days * Day;
        int year = 0, month = 0, day = 0;
        QDate::fromJulianDay(days + 2440588).getDate(&year, &month, &day);
        const qsizetype start = iso.size();
        AppendDigits(iso, year, 4);
        iso += u'-';
        AppendDigits(iso, month, 2);
        iso += u'-';
        AppendDigits(iso, day, 2);
        iso += u'T';
        AppendDigits(iso, ms / 3600000, 2);
        iso += u':';
        AppendDigits(iso, ms / 60000 % 60, 2);
        iso += u':';
        AppendDigits(iso, ms / 1000 % 60, 2);
        spreadsheet += QStringView(iso).mid(start);
        spreadsheet[spreadsheet.size() - 9] = u' ';
        iso += u'.';
        AppendDigits(iso, ms % 1000, 3);
        iso += offset < 0 ? u'-' : u'+';
        AppendDigits(iso, std::abs(offset) / 3600, 2);
        iso += u':';
        AppendDigits(iso, std::abs(offset) / 60 % 60, 2);
    }

private:
    int Offset(qint64 time) {
        constexpr qint64 Quarter = 15 * 60 * 1000;
        const qint64 window = time >= 0 ? time / Quarter : -((-time + Quarter - 1) / Quarter);
        if (window != FWindow) {
            FWindow = window;
            FOffset = FZone.offsetFromUtc(
                QDateTime::fromMSecsSinceEpoch(window * Quarter, QTimeZone::utc()));
        }
        return FOffset;
    }

    QTimeZone FZone;
    qint64 FWindow = std::numeric_limits<qint64>::min();
    int FOffset = 0;
};

QStringView VerdictWord(std::optional<TVerdict> verdict, const TExportTexts& texts) {
    if (!verdict)
        return {};
    switch (*verdict) {
    case TVerdict::Below:
        return texts.Below;
    case TVerdict::Above:
        return texts.Above;
    case TVerdict::Within:
        break;
    }
    return texts.Within;
}

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
               const TExportFormat& format, QChar separator, const Done& done) {
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
        row.Field(VerdictWord(value ? Judge(*value, statistics.Limits) : std::nullopt, texts));
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
    QByteArray csv("\xEF\xBB\xBF");
    WriteRows(series, group, texts, format, format.FieldSeparator(), [&csv](const QString& line) {
        csv += line.toUtf8();
        csv += "\r\n";
    });
    return csv;
}

QString ExportTabText(const TSeries& series, int group, const TExportTexts& texts,
                      const TExportFormat& format) {
    QString text;
    WriteRows(series, group, texts, format, u'\t', [&text](const QString& line) {
        text += line;
        text += u'\n';
    });
    return text;
}

} // namespace series
