#include "app/capture/EditorInserter.h"

#include "app/document/DocumentFile.h"
#include "app/document/LineMarks.h"
#include "platform/CodePage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <utility>

namespace {

// Events through which the user can look at or change the text, the caret or
// the scroll position.
bool IsUserInput(const QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
        return true;
    case QEvent::MouseMove:
        // Only a drag selects or scrolls; hovering leaves the frame alone.
        return static_cast<const QMouseEvent*>(event)->buttons() != Qt::NoButton;
    default:
        return false;
    }
}

// Where the line holding position begins. Text going into a line may move
// words between its wrapped rows, the first row included.
int LineStart(const QTextDocument& doc, int position) {
    const QTextBlock block = doc.findBlock(position);
    const int offset = position - block.position();
    if (offset <= 0)
        return block.position();
    const qsizetype separator = block.text().lastIndexOf(QChar::LineSeparator, offset - 1);
    return block.position() + static_cast<int>(separator + 1);
}

} // namespace

TEditorInserter::TEditorInserter(QPlainTextEdit* editor) : QObject(editor), FEditor(editor) {
    FGather.setSingleShot(true);
    connect(&FGather, &QTimer::timeout, this, &TEditorInserter::Flush);
    // Input reaches the editor, its viewport, its scroll bars and the
    // window's shortcuts; watching the application sees all of them.
    QCoreApplication::instance()->installEventFilter(this);
}

void TEditorInserter::TextArrived(const TCaptureText& text) {
    // The lines a text finishes end at its last line feeds, the newest last;
    // only the newest lines are marked, so a flood costs no more than that.
    if (FMarks != nullptr && text.LastLine > 0) {
        const qsizetype count = std::ssize(FPendingLines);
        uint64_t id = text.LastLine;
        for (qsizetype at = text.Text.lastIndexOf(u'\n');
             at >= 0 && id > 0 && std::ssize(FPendingLines) - count<MarkedLines; at = at> 0
                 ? text.Text.lastIndexOf(u'\n', at - 1)
                 : -1)
            FPendingLines.emplace_back(FPending.size() + at, id--);
        std::reverse(FPendingLines.begin() + count, FPendingLines.end());
        if (std::ssize(FPendingLines) > 2 * MarkedLines)
            FPendingLines.erase(FPendingLines.begin(), FPendingLines.end() - MarkedLines);
    }
    Insert(text.Text);
}

void TEditorInserter::InsertAnsi(QByteArrayView bytes) {
    Insert(ReceivedText(bytes));
}

void TEditorInserter::Insert(QStringView text) {
    if (text.isEmpty())
        return;
    FPending += text;
    ++FPieces;
    if (FPending.size() >= PendingLimit) {
        Flush();
        return;
    }
    if (FGather.isActive())
        return;
    const bool stream =
        FLastBatchPieces > 1 && FSinceBatch.isValid() && FSinceBatch.elapsed() < StreamMs;
    FGather.start(stream ? StreamMs : FrameMs);
}

void TEditorInserter::Flush() {
    FGather.stop();
    if (FPending.isEmpty())
        return;
    const QString text = std::exchange(FPending, QString());
    const int changeStart = FEditor->textCursor().selectionStart();
    // Hold the layout's notices while the text goes in: on each one the
    // editor would lay out the lines at the bottom again to fit its scroll
    // range, costing time and memory per line.
    QAbstractTextDocumentLayout* layout = FEditor->document()->documentLayout();
    const bool wasBlocked = layout->blockSignals(true);
    InsertNow(text);
    layout->blockSignals(wasBlocked);
    ShowInsertion(changeStart);
    FLastBatchPieces = std::exchange(FPieces, 0);
    FSinceBatch.start();
}

// The finished lines of text (offsets ascending), which went in at
// insertedAt as inserted (text's first skipped characters left out). Each
// line's break is found by counting the breaks behind it, as
// UnifyLineBreaks counts them, among the breaks of what went in (a soft
// break's is no line's); both are read from their ends, as far back as the
// oldest line marked.
void TEditorInserter::MarkLines(const TPendingLines& lines, const QString& text, qsizetype skipped,
                                const QString& inserted, int insertedAt) {
    if (FMarks == nullptr || lines.empty())
        return;
    std::vector<int> breaks; // positions in the document, the last first
    qsizetype scanned = inserted.size();
    const auto breakAt = [&](qsizetype rank) -> int {
        while (std::ssize(breaks) <= rank && scanned > 0) {
            const QChar c = inserted[--scanned];
            if ((c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator) &&
                !(scanned > 0 && inserted[scanned - 1] == SoftBreak))
                breaks.push_back(insertedAt + static_cast<int>(scanned));
        }
        return rank < std::ssize(breaks) ? breaks[static_cast<size_t>(rank)] : -1;
    };
    struct TFound {
        uint64_t Id;
        int Start;
        int End;
    };
    std::vector<TFound> found; // the newest first
    auto line = lines.rbegin();
    qsizetype rank = -1;
    for (qsizetype i = text.size() - 1; i >= skipped && line != lines.rend(); --i) {
        const QChar c = text[i];
        const bool crBefore = c == u'\n' && i > skipped && text[i - 1] == u'\r';
        if (c == u'\r' || (c == u'\n' && !crBefore))
            ++rank;
        while (line != lines.rend() && line->first > i)
            ++line;
        if (line == lines.rend() || line->first != i)
            continue;
        // A line feed behind a carriage return ends the break that begins there.
        const qsizetype own = crBefore ? rank + 1 : rank;
        const int end = breakAt(own);
        if (end >= 0) {
            const int before = breakAt(own + 1);
            found.push_back({line->second,
                             before >= 0 ? before + 1 : LineStart(*FEditor->document(), insertedAt),
                             end});
        }
        ++line;
    }
    // A line feed left out completes the carriage return that ended the
    // last batch, right in front of the caret.
    if (skipped > 0 && line != lines.rend() && line->first == skipped - 1 && insertedAt > 0)
        found.push_back(
            {line->second, LineStart(*FEditor->document(), insertedAt - 1), insertedAt - 1});
    for (auto mark = found.rbegin(); mark != found.rend(); ++mark)
        FMarks->Add(mark->Id, mark->Start, mark->End);
}

void TEditorInserter::InsertNow(const QString& text) {
    TPendingLines lines = std::exchange(FPendingLines, {});
    QTextDocument* doc = FEditor->document();
    QTextCursor cursor = FEditor->textCursor();
    QStringView piece = text;
    if (piece.front() == u'\n' && !cursor.hasSelection() && cursor.position() == FLoneCRPosition)
        piece = piece.mid(1);
    QString grouped;
    int at = 0;
    FInserting = true;
    // With undo off the document keeps no copy of the change, and turning it
    // on again clears the history, as the non-undoable replace does.
    doc->setUndoRedoEnabled(false);
    {
        // Inside an edit block the cursor leaves its block unlaid-out; laying
        // out every new line as it arrives would cost time and memory per line.
        QTextCursor block(doc);
        block.beginEditBlock();
        if (cursor.hasSelection())
            cursor.removeSelectedText();
        if (!piece.isEmpty()) {
            grouped = GroupLines(UnifyLineBreaks(piece), MakeRoom(cursor));
            at = cursor.position();
            cursor.insertText(grouped);
        }
        block.endEditBlock();
    }
    doc->setUndoRedoEnabled(true);
    // Once the document told of the change as a whole: the lines' places
    // are those of the text as it is now.
    if (!grouped.isEmpty())
        MarkLines(lines, text, text.size() - piece.size(), grouped, at);
    doc->setModified(true);
    if (FInserted && !piece.isEmpty())
        FInserted(piece);
    FInserting = false;
    // The editor's own cursor sat where the text went in, so the document
    // moved it behind the text.
    FLoneCRPosition = text.back() == u'\r' ? cursor.position() : -1;
}

// Text goes into the paragraph at the caret, grouped as an opened file's
// lines are. At the start of an empty paragraph it goes on in the one
// before, if that has room: a paragraph of its own would keep a layout of
// its own for every reading that comes alone. Behind a soft break's mark it
// goes in before the mark, which keeps the break soft.
TParagraphFill TEditorInserter::MakeRoom(QTextCursor& cursor) {
    QTextBlock paragraph = cursor.block();
    if (paragraph.length() > 1 &&
        cursor.position() == paragraph.position() + paragraph.length() - 1 &&
        paragraph.text().back() == SoftBreak)
        cursor.movePosition(QTextCursor::PreviousCharacter);
    const auto fill = [](const QTextBlock& block) {
        const QString text = block.text();
        return TParagraphFill{static_cast<int>(text.count(QChar::LineSeparator)), text.size()};
    };
    const QTextBlock previous = paragraph.previous();
    if (paragraph.length() > 1 || !previous.isValid())
        return fill(paragraph);
    const TParagraphFill before = fill(previous);
    if (before.Separators + 1 >= GroupedLines || before.Length >= ParagraphLength / 2 ||
        (before.Length > 0 && previous.text().back() == SoftBreak))
        return fill(paragraph);
    cursor.deletePreviousChar();
    cursor.insertText(QString(QChar::LineSeparator));
    return {before.Separators + 1, before.Length + 1};
}

void TEditorInserter::ShowInsertion(int changeStart) {
    // One notice of the final size lets the editor fit its scroll range to
    // the text's end.
    QTextDocument* doc = FEditor->document();
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
    FEditor->ensureCursorVisible();
    // The held notices also told the viewport what to repaint. Everything
    // from the changed line down may have changed or moved; the lines above
    // stay as they are. Asked for after scrolling, so the rows are where the
    // lines now show.
    // A line that begins above the view is not laid out to find its row:
    // a stream would keep a layout of a block gone from view for every
    // batch. The change then reaches the top.
    // The paragraph at the top is found by line number, as the editor finds
    // it when it scrolls: asking for a position at the top would work out
    // that paragraph's character attributes and keep them, for every
    // paragraph that passes the top.
    const int lineStart = LineStart(*doc, changeStart);
    const int shownFrom =
        doc->findBlockByLineNumber(FEditor->verticalScrollBar()->value()).position();
    int top = 0;
    if (lineStart > shownFrom) {
        QTextCursor cursor(doc);
        cursor.setPosition(lineStart);
        top = std::max(0, FEditor->cursorRect(cursor).top());
    }
    QWidget* viewport = FEditor->viewport();
    if (top < viewport->height())
        viewport->update(0, top, viewport->width(), viewport->height() - top);
}

bool TEditorInserter::eventFilter(QObject*, QEvent* event) {
    if (!FPending.isEmpty() && IsUserInput(event))
        Flush();
    return false;
}
