#include "app/document/PrintLayout.h"

#include "app/document/DocumentFile.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <stdexcept>

namespace {

// The line printer's pen: where the next character goes and how tall the
// line being printed is so far.
class TLinePrinter {
public:
    TLinePrinter(const TPrintMetrics& metrics, QSize page) : FMetrics(metrics), FPage(page) {
        FPages.emplace_back();
    }

    void Write(const QString& text) {
        QString rest = text;
        while (!rest.isEmpty()) {
            const qsizetype fits = Fitting(rest);
            const QString piece = rest.left(fits);
            if (!piece.isEmpty()) {
                FPages.back().push_back({FX, FY, piece});
                FLineHeight = std::max(FLineHeight, FMetrics.TextHeight(piece) + 2);
            }
            rest.remove(0, fits);
            if (rest.isEmpty())
                FX += FMetrics.TextWidth(piece);
            else
                NewLine();
        }
    }

    void Tab() {
        const int step = std::max(1, 8 * FMetrics.AverageCharWidth());
        FX = (FX / step + 1) * step;
    }

    void NewLine() {
        FX = 0;
        FY += FLineHeight > 0 ? FLineHeight : FMetrics.FontHeight();
        if (FY > FPage.height() - 2 * FLineHeight)
            NewPage();
        FLineHeight = 0;
    }

    void NewPage() {
        FX = 0;
        FY = 0;
        FLineHeight = 0;
        FPages.emplace_back();
    }

    std::vector<TPrintPage> Pages() {
        // A page the stream only began (its last line filled the one before)
        // would come out blank.
        while (FPages.size() > 1 && FPages.back().empty())
            FPages.pop_back();
        return std::move(FPages);
    }

private:
    // How many leading characters fit from the pen to the page's right edge;
    // at the left edge at least one, so the stream always moves on.
    qsizetype Fitting(const QString& text) const {
        qsizetype low = FX == 0 ? 1 : 0;
        qsizetype high = text.size();
        if (FX + FMetrics.TextWidth(text) <= FPage.width())
            return high;
        // The width grows with the length: the longest prefix that fits.
        while (low < high) {
            const qsizetype middle = (low + high + 1) / 2;
            if (FX + FMetrics.TextWidth(text.left(middle)) <= FPage.width())
                low = middle;
            else
                high = middle - 1;
        }
        return low;
    }

    const TPrintMetrics& FMetrics;
    QSize FPage;
    std::vector<TPrintPage> FPages;
    int FX = 0;
    int FY = 0;
    int FLineHeight = 0;
};

class TFontPrintMetrics : public TPrintMetrics {
public:
    TFontPrintMetrics(const QFont& font, QPaintDevice* device) : FMetrics(font, device) {}
    int TextWidth(const QString& text) const override { return FMetrics.horizontalAdvance(text); }
    int TextHeight(const QString&) const override { return FMetrics.height(); }
    int FontHeight() const override { return FMetrics.height(); }
    int AverageCharWidth() const override { return FMetrics.averageCharWidth(); }

private:
    QFontMetrics FMetrics;
};

} // namespace

std::vector<TPrintPage> LayOutPrintText(const QString& stream, const TPrintMetrics& metrics,
                                        QSize page) {
    TLinePrinter printer(metrics, page);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= stream.size(); ++i) {
        const QChar ch = i < stream.size() ? stream[i] : QChar();
        const bool control = ch == u'\t' || ch == u'\n' || ch == u'\f' || ch == u'\r';
        if (!control && i < stream.size())
            continue;
        printer.Write(stream.mid(start, i - start));
        start = i + 1;
        if (ch == u'\t')
            printer.Tab();
        else if (ch == u'\n')
            printer.NewLine();
        else if (ch == u'\f')
            printer.NewPage();
    }
    return printer.Pages();
}

QStringList DisplayLines(QTextDocument& document) {
    QStringList lines;
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (!block.next().isValid() && block.length() <= 1)
            break; // the empty line after the last line end, or of an empty editor
        // Asking for the block's extent lays it out if it is not yet.
        layout->blockBoundingRect(block);
        const QString text = block.text();
        const QTextLayout* lineLayout = block.layout();
        if (lineLayout == nullptr || lineLayout->lineCount() == 0) {
            lines << text;
            continue;
        }
        for (int i = 0; i < lineLayout->lineCount(); ++i) {
            const QTextLine line = lineLayout->lineAt(i);
            QString piece = text.mid(line.textStart(), line.textLength());
            piece.remove(QChar::LineSeparator);
            piece.remove(SoftBreak);
            lines << piece;
        }
    }
    return lines;
}

QString PrintStream(const QStringList& lines, int indent) {
    const QString blanks(indent, QLatin1Char(' '));
    QString stream;
    for (const QString& line : lines)
        stream += blanks + line + QLatin1Char('\n');
    return stream;
}

std::vector<TPrintPage> LayOutForPrinter(QPrinter& printer, const QFont& font,
                                         const QString& stream) {
    const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
    return LayOutPrintText(stream, TFontPrintMetrics(font, &printer), area.size());
}

void PrintText(QPrinter& printer, const QFont& font, const QString& stream) {
    const std::vector<TPrintPage> pages = LayOutForPrinter(printer, font, stream);
    const int ascent = QFontMetrics(font, &printer).ascent();
    // The painter ends the job when it goes, also after a failure.
    QPainter painter;
    if (!painter.begin(&printer))
        throw std::runtime_error(
            QStringLiteral("Printing on \"%1\" failed").arg(printer.printerName()).toStdString());
    painter.setFont(font);
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0 && !printer.newPage())
            throw std::runtime_error("Printing failed: the printer took no new page");
        for (const TPrintRun& run : pages[i])
            painter.drawText(run.X, run.Y + ascent, run.Text);
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw std::runtime_error("Printing failed");
}
