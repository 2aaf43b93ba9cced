#pragma once

#include "Limits.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringView>
#include <QTimeZone>

#include <limits>
#include <optional>

namespace series {

// The rows of the exports, one at a time into a line that keeps its buffer.
class TRowWriter {
public:
    explicit TRowWriter(QChar separator) : FSeparator(separator) {}

    // Appends a field, quoted (RFC 4180) when it holds the separator, a
    // quote or a line end. Inert fields are received or typed text: one that
    // a spreadsheet would take for a formula gets a leading "'". Spreadsheets
    // look past leading blanks for the formula's sign, so the guard does too.
    void Field(QStringView text, bool inert = false);
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

// Arrival times in local time, as ISO 8601 with milliseconds and offset and
// as spreadsheets read a date and time (whole seconds, no offset). The zone's
// offset is looked up once per quarter of an hour of UTC (offsets change only
// at such instants), not once per reading.
class TTimeWriter {
public:
    explicit TTimeWriter(const QTimeZone& zone) : FZone(zone) {}

    void Append(qint64 time, QString& iso, QString& spreadsheet);

private:
    int Offset(qint64 time);

    QTimeZone FZone;
    qint64 FWindow = std::numeric_limits<qint64>::min();
    int FOffset = 0;
};

// Finished lines as a CSV file's bytes: UTF-8 with a byte-order mark, CR LF.
struct TCsvLines {
    QByteArray Bytes = QByteArray("\xEF\xBB\xBF");
    void operator()(const QString& line) {
        Bytes += line.toUtf8();
        Bytes += "\r\n";
    }
};

// Finished lines as the clipboard's tab-separated text: LF.
struct TTabLines {
    QString Text;
    void operator()(const QString& line) {
        Text += line;
        Text += u'\n';
    }
};

// The word for a verdict; empty for none.
QStringView VerdictWord(std::optional<TVerdict> verdict, QStringView below, QStringView within,
                        QStringView above);

} // namespace series
