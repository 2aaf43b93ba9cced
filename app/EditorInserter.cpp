#include "app/EditorInserter.h"

#include "platform/CodePage.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

TEditorInserter::TEditorInserter(QPlainTextEdit* editor) : QObject(editor), FEditor(editor) {
    FFrame.setSingleShot(true);
    FFrame.setInterval(FrameMs);
    connect(&FFrame, &QTimer::timeout, this, &TEditorInserter::EndFrame);
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
    if (!FFrame.isActive()) {
        // Hold painting until the frame ends; the document changes at once.
        FEditor->setUpdatesEnabled(false);
        FFrame.start();
    }
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

void TEditorInserter::EndFrame() {
    FEditor->setUpdatesEnabled(true);
    FEditor->ensureCursorVisible();
}
