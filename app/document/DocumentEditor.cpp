#include "app/document/DocumentEditor.h"

#include "app/document/DocumentFile.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>

QMimeData* TDocumentEditor::createMimeDataFromSelection() const {
    auto* data = new QMimeData;
    data->setText(UngroupLines(textCursor().selectedText()));
    return data;
}

void TDocumentEditor::insertFromMimeData(const QMimeData* source) {
    StepOverMark(false);
    QPlainTextEdit::insertFromMimeData(source);
}

void TDocumentEditor::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (event->matches(QKeySequence::Delete))
        StepOverMark(true);
    else if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Return ||
             event->key() == Qt::Key_Enter ||
             (!text.isEmpty() && (text.front().isPrint() || text.front() == u'\t')))
        StepOverMark(false);
    QPlainTextEdit::keyPressEvent(event);
}

void TDocumentEditor::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty())
        StepOverMark(false);
    QPlainTextEdit::inputMethodEvent(event);
}

// A mark stands at the end of its paragraph, so the caret touches it only
// there or right in front of it.
void TDocumentEditor::StepOverMark(bool forward) {
    QTextCursor cursor = textCursor();
    if (cursor.hasSelection())
        return;
    const QTextBlock block = cursor.block();
    const int end = block.position() + block.length() - 1;
    if (block.length() < 2 || document()->characterAt(end - 1) != SoftBreak)
        return;
    if (!forward && cursor.position() == end)
        cursor.setPosition(end - 1);
    else if (forward && cursor.position() == end - 1)
        cursor.setPosition(end);
    else
        return;
    setTextCursor(cursor);
}
