#include "CsvRows.h"

#include <QDate>
#include <QDateTime>

#include <cstdlib>

namespace series {

namespace {

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

} // namespace

void TRowWriter::Field(QStringView text, bool inert) {
    if (FFields > 0)
        FLine += FSeparator;
    ++FFields;
    qsizetype first = 0;
    while (first < text.size() && text[first] == u' ')
        ++first;
    const bool formula =
        inert && first < text.size() && QStringView(u"=+-@\t\r").contains(text[first]);
    const bool quote = text.contains(FSeparator) || text.contains(u'"') || text.contains(u'\r') ||
                       text.contains(u'\n');
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

void TTimeWriter::Append(qint64 time, QString& iso, QString& spreadsheet) {
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

int TTimeWriter::Offset(qint64 time) {
    constexpr qint64 Quarter = 15 * 60 * 1000;
    const qint64 window = time >= 0 ? time / Quarter : -((-time + Quarter - 1) / Quarter);
    if (window != FWindow) {
        FWindow = window;
        FOffset =
            FZone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(window * Quarter, QTimeZone::utc()));
    }
    return FOffset;
}

QStringView VerdictWord(std::optional<TVerdict> verdict, QStringView below, QStringView within,
                        QStringView above) {
    if (!verdict)
        return {};
    switch (*verdict) {
    case TVerdict::Below:
        return below;
    case TVerdict::Above:
        return above;
    case TVerdict::Within:
        break;
    }
    return within;
}

} // namespace series
