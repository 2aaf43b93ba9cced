#pragma once

#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QTimer>

class QPlainTextEdit;

// Puts received text into the editor the way the edit control the program
// was designed around does it: the selection is replaced at the caret, the
// caret ends behind the text, and the insertion is not undoable (it clears
// the undo history, so Undo never removes or mangles a reading).
//
// Display work is batched: the text goes into the document at once, but the
// editor repaints and scrolls the caret into view at most once per frame.
class TEditorInserter : public QObject {
    Q_OBJECT
public:
    static constexpr int FrameMs = 16;

    explicit TEditorInserter(QPlainTextEdit* editor);

    // ANSI bytes (Windows-1252); NUL bytes are dropped, the rest is kept.
    void InsertAnsi(QByteArrayView bytes);
    void Insert(const QString& text);

    // Finishes a pending frame at once (tests, shut-down).
    void Flush();

private:
    void EndFrame();

    QPlainTextEdit* FEditor;
    QTimer FFrame;
    // Where the last insertion ended with a lone carriage return: a line feed
    // arriving next at the same place completes that line break instead of
    // starting another one.
    int FLoneCRPosition = -1;
};
