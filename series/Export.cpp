#include "Export.h"

#include <QDateTime>
#include <QLocale>

#include <cstdlib>

namespace series {

namespace {

QString Quoted(QString field, QChar separator) {
    const bool quote = field.contains(separator) || field.contains(u'"') || field.contains(u'\r') ||
                       field.contains(u'\n');
    if (!quote)
        return field;
    field.replace(u'"', QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

// Received text is the device's: it must not become a formula.
QString Inert(QString text) {
    if (!text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front()))
        text.prepend(u'\'');
    return text;
}

QString VerdictWord(std::optional<TVerdict> verdict, const TExportTexts& texts) {
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

// Writes the rows, each field quoted for its separator, each row ended.
template <typename Row>
void ForEachRow(const TSeries& series, int group, const TExportTexts& texts,
                const TExportFormat& format, const Row& row) {
    row(QStringList{texts.Number, texts.Time, texts.Value, texts.Unit, texts.Label, texts.Verdict,
                    texts.Text});
    qsizetype number = 0;
    for (qsizetype i = 0; i < series.Size(); ++i) {
        const TReading reading = series.Reading(i);
        if (reading.Group != group)
            continue;
        const QString text = series.Text(i);
        row(QStringList{QString::number(++number), IsoTime(reading.Time, format.Zone),
                        ValueText(text, format.DecimalSeparator), UnitName(reading.Unit),
                        Inert(series.GroupLabel(group)), VerdictWord(series.Verdict(i), texts),
                        Inert(text)});
    }
}

QString JoinFields(const QStringList& fields, QChar separator) {
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += separator;
        line += Quoted(fields[i], separator);
    }
    return line;
}

} // namespace

TExportFormat TExportFormat::ForUserSeparator(QStringView separator) {
    TExportFormat format;
    format.DecimalSeparator = separator == u"," ? u',' : u'.';
    return format;
}

QString IsoTime(qint64 time, const QTimeZone& zone) {
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(time, zone);
    const int offset = moment.offsetFromUtc() / 60;
    const int minutes = std::abs(offset);
    return QLocale::c().toString(moment, u"yyyy-MM-dd'T'HH:mm:ss.zzz") +
           (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QChar(u'0'))
               .arg(minutes % 60, 2, 10, QChar(u'0'));
}

QByteArray ExportCsv(const TSeries& series, int group, const TExportTexts& texts,
                     const TExportFormat& format) {
    QByteArray csv("\xEF\xBB\xBF");
    ForEachRow(series, group, texts, format, [&](const QStringList& fields) {
        csv += JoinFields(fields, format.FieldSeparator()).toUtf8();
        csv += "\r\n";
    });
    return csv;
}

QString ExportTabText(const TSeries& series, int group, const TExportTexts& texts,
                      const TExportFormat& format) {
    QString text;
    ForEachRow(series, group, texts, format, [&](const QStringList& fields) {
        text += JoinFields(fields, u'\t');
        text += u'\n';
    });
    return text;
}

} // namespace series
