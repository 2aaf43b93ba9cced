#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

class QPrinter;
class QTextDocument;

// How the text stream's font measures, in device pixels of the printer.
class TPrintMetrics {
public:
    virtual ~TPrintMetrics() = default;
    virtual int TextWidth(const QString& text) const = 0;
    // The height of printed text (never asked for an empty text).
    virtual int TextHeight(const QString& text) const = 0;
    virtual int FontHeight() const = 0;
    virtual int AverageCharWidth() const = 0;
};

// A piece of text placed on a page; X and Y are the top-left corner of its
// line within the printable area.
struct TPrintRun {
    int X = 0;
    int Y = 0;
    QString Text;
    bool operator==(const TPrintRun&) const = default;
};
using TPrintPage = std::vector<TPrintRun>;

// Lays out a text stream as a simple line printer does: from the top-left
// corner, characters left to right; a tab moves to the next multiple of
// eight average character widths, a form feed starts a new page, a carriage
// return does nothing, a line feed starts a new line. A line too wide for
// the page breaks at the last character that fits. A new line moves down by
// the tallest text of the line just printed plus 2 pixels (the font height
// for an empty line); a new page begins when that position lies below the
// page height minus twice the height of the line just printed.
std::vector<TPrintPage> LayOutPrintText(const QString& stream, const TPrintMetrics& metrics,
                                        QSize page);

// The editor's display lines as it wraps them at its current width: one
// per line of the laid-out document, a final empty line not counted.
QStringList DisplayLines(QTextDocument& document);

// The stream of the Print commands: each line behind indent blanks, each
// ended by a line feed.
QString PrintStream(const QStringList& lines, int indent);

// The layout of the stream on the printer's printable area in the font.
std::vector<TPrintPage> LayOutForPrinter(QPrinter& printer, const QFont& font,
                                         const QString& stream);

// Prints the stream on the printer in the font; the job is ended also when
// printing fails, which raises an error.
void PrintText(QPrinter& printer, const QFont& font, const QString& stream);
