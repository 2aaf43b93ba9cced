#include "app/EditorInserter.h"

#include "platform/CodePage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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

} // namespace

TEditorInserter::TEditorInserter(QPlainTextEdit* editor) : QObject(editor), FEditor(editor) {
    FFrame.setSingleShot(true);
    FFrame.setInterval(FrameMs);
    connect(&FFrame, &QTimer::timeout, this, &TEditorInserter::EndFrame);
    // Input reaches the editor, its viewport, its scroll bars and the
    // window's shortcuts; watching the application sees all of them.
    QCoreApplication::instance()->installEventFilter(this);
}

TEditorInserter::~TEditorInserter() {
    if (FHeldLayout)
        FHeldLayout->blockSignals(false);
}

void TEditorInserter::InsertAnsi(QByteArrayView bytes) {
    if (!bytes.contains('\0')) {
        Insert(platform::AnsiToUnicode(bytes));
        return;
    }
    QByteArray kept;
    kept.reserve(bytes.size());
    for (char c : bytes)
        if (c != '\0')
            kept.append(c);
    Insert(platform::AnsiToUnicode(kept));
}

void TEditorInserter::Insert(const QString& text) {
    if (text.isEmpty())
        return;
    QTextDocument* doc = FEditor->document();
    QTextCursor cursor = FEditor->textCursor();
    QStringView piece = text;
    if (piece.front() == u'\n' && !cursor.hasSelection() && cursor.position() == FLoneCRPosition)
        piece = piece.mid(1);
    if (!FFrame.isActive())
        BeginFrame();
    FInserting = true;
    // With undo off the document keeps no copy of the change, and turning it
    // on again clears the history, as the non-undoable replace does.
    doc->setUndoRedoEnabled(false);
    {
        // Inside an edit block the cursor leaves its block unlaid-out; laying
        // out every new line as it arrives would cost time and memory per line.
        QTextCursor block(doc);
        block.beginEditBlock();
        if (!piece.isEmpty())
            cursor.insertText(piece.toString());
        else if (cursor.hasSelection())
            cursor.removeSelectedText();
        block.endEditBlock();
    }
    doc->setUndoRedoEnabled(true);
    doc->setModified(true);
    if (FInserted && !piece.isEmpty())
        FInserted(piece);
    FInserting = false;
    // The editor's own cursor sat where the text went in, so the document
    // moved it behind the text; setting it again would scroll per insertion.
    FLoneCRPosition = text.back() == u'\r' ? cursor.position() : -1;
}

void TEditorInserter::Flush() {
    if (FFrame.isActive()) {
        FFrame.stop();
        EndFrame();
    }
}

bool TEditorInserter::eventFilter(QObject*, QEvent* event) {
    if (FFrame.isActive() && IsUserInput(event))
        Flush();
    return false;
}

void TEditorInserter::BeginFrame() {
    // Hold painting until the frame ends. Hold the layout's notices too: on
    // each one the editor would lay out the lines at the bottom again to fit
    // its scroll range to the text, costing time and memory per line.
    FEditor->setUpdatesEnabled(false);
    FHeldLayout = FEditor->document()->documentLayout();
    FHeldLayout->blockSignals(true);
    FFrame.start();
}

void TEditorInserter::EndFrame() {
    if (FHeldLayout)
        FHeldLayout->blockSignals(false);
    FHeldLayout = nullptr;
    // One notice of the final size lets the editor fit its scroll range to
    // the text's end.
    QAbstractTextDocumentLayout* layout = FEditor->document()->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
    FEditor->setUpdatesEnabled(true);
    FEditor->ensureCursorVisible();
}
