#pragma once

#include <QAbstractTextDocumentLayout>
#include <QByteArrayView>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QPlainTextEdit;

// Puts received text into the editor the way the edit control the program
// was designed around does it: the selection is replaced at the caret, the
// caret ends behind the text, and the insertion is not undoable (it clears
// the undo history, so Undo never removes or mangles a reading).
//
// Display work is batched: the text goes into the document at once, but the
// editor learns the document's new size, repaints and scrolls the caret into
// view at most once per frame. Any user input ends the frame first, so the
// user always acts on an editor that has caught up with the document.
class TEditorInserter : public QObject {
    Q_OBJECT
public:
    static constexpr int FrameMs = 16;

    explicit TEditorInserter(QPlainTextEdit* editor);
    ~TEditorInserter() override;

    // ANSI bytes (Windows-1252); NUL bytes are dropped, the rest is kept.
    void InsertAnsi(QByteArrayView bytes);
    void Insert(const QString& text);

    // Finishes a pending frame at once (commands, tests, shut-down).
    void Flush();

    // Told each text as it went in at the caret, once the document counts as
    // modified; every reading of every link passes. The document took CR LF,
    // a lone CR and LF each as one line break.
    void SetInsertedHandler(std::function<void(QStringView)> handler) {
        FInserted = std::move(handler);
    }
    // Whether the document change under way is an insertion.
    bool Inserting() const { return FInserting; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BeginFrame();
    void EndFrame();

    QPlainTextEdit* FEditor;
    QTimer FFrame;
    // The document layout whose signals the frame holds back.
    QPointer<QAbstractTextDocumentLayout> FHeldLayout;
    // Where the last insertion ended with a lone carriage return: a line feed
    // arriving next at the same place completes that line break instead of
    // starting another one.
    int FLoneCRPosition = -1;
    std::function<void(QStringView)> FInserted;
    bool FInserting = false;
};
