#pragma once

#include <QPlainTextEdit>

class QMimeData;

// The document's editor. What it puts on the clipboard or into a drag is
// the selection as it is saved: a long line that the editor shows in
// several paragraphs is one line there (see SoftBreak). Typing, a new line,
// a paste or Backspace right behind a soft break's mark acts in front of it,
// and Delete right in front of it acts behind it, so such an edit changes
// the line where it is shown and keeps the break soft.
class TDocumentEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    QMimeData* createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData* source) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // Moves the caret off a soft break's mark it touches: in front of it
    // when it stands behind it, or behind it when forward.
    void StepOverMark(bool forward);
};
