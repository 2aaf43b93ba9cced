#pragma once

#include "app/capture/CaptureSession.h"
#include "app/document/DocumentFile.h"
#include "app/document/LineMarks.h"

#include <QAbstractTextDocumentLayout>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

class QPlainTextEdit;
class QTextCursor;

// Puts received text into the editor the way the edit control the program
// was designed around does it: the selection is replaced at the caret, the
// caret ends behind the text, and the insertion is not undoable (it clears
// the undo history, so Undo never removes or mangles a reading).
//
// Inserting into the editor costs far more per insertion than per
// character, so readings are gathered and go in together: a lone reading
// within one frame, a stream every StreamMs (and at once when PendingLimit
// characters wait), each batch as one insertion followed by one repaint of
// the rows it changed. Each batch lays out the caret's paragraph anew, so
// fewer batches cost less; the limit bounds a batch's memory and how long
// one insertion holds the window (a gauge at 921,600 baud brings 9 K
// characters in StreamMs, only a flood reaches it).
// Readings come as a stream when more than one arrived within the last
// frame or batch and the next follows soon after it.
// Anything that looks at or changes the text first flushes the batch: user
// input, before it is handled, and the commands, which call Flush. The
// document is thus always what inserting each reading on arrival gives.
// It takes the capture session's text; a hold of the session begins and
// ends with the gathered text put in.
class TEditorInserter : public QObject, public TCaptureSubscriber {
    Q_OBJECT
public:
    static constexpr int FrameMs = 16;
    static constexpr int StreamMs = 100;
    static constexpr qsizetype PendingLimit = 256 * 1024;
    // The newest lines of a batch whose places are marked.
    static constexpr qsizetype MarkedLines = TLineMarks::Capacity;

    explicit TEditorInserter(QPlainTextEdit* editor);

    // ANSI bytes (Windows-1252); NUL bytes are dropped, the rest is kept.
    void InsertAnsi(QByteArrayView bytes);
    void Insert(QStringView text);

    // TCaptureSubscriber
    void TextArrived(const TCaptureText& text) override;
    void HoldChanged(bool) override { Flush(); }

    // Puts the gathered text into the editor now (commands, tests, shut-down).
    void Flush();
    // Whether received text waits to go in.
    bool Pending() const { return !FPending.isEmpty(); }

    // Told each text as it went in at the caret, once the document counts as
    // modified; every reading of every link passes. The document took CR LF,
    // a lone CR and LF each as one line break.
    void SetInsertedHandler(std::function<void(QStringView)> handler) {
        FInserted = std::move(handler);
    }
    // Whether the document change under way is an insertion.
    bool Inserting() const { return FInserting; }
    // Told where each line the capture finished went in; none: not told.
    void SetLineMarks(TLineMarks* marks) { FMarks = marks; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InsertNow(const QString& text);
    // Readies the cursor for text to go in; what the paragraph holds then.
    static TParagraphFill MakeRoom(QTextCursor& cursor);
    // Fits the scroll range, shows the caret and repaints from the line
    // where the text went in.
    void ShowInsertion(int changeStart);

    QPlainTextEdit* FEditor;
    QString FPending;
    QTimer FGather;
    // Texts handed over for the batch being gathered, and for the last one.
    // When more than one came within a frame and the next follows within
    // StreamMs, readings are streaming in.
    int FPieces = 0;
    int FLastBatchPieces = 0;
    QElapsedTimer FSinceBatch;
    // Where the last insertion ended with a lone carriage return: a line feed
    // arriving next at the same place completes that line break instead of
    // starting another one.
    int FLoneCRPosition = -1;
    std::function<void(QStringView)> FInserted;
    bool FInserting = false;
    TLineMarks* FMarks = nullptr;
    // The line feeds in FPending that end a finished line: offset and id.
    using TPendingLines = std::vector<std::pair<qsizetype, uint64_t>>;
    TPendingLines FPendingLines;
    void MarkLines(const TPendingLines& lines, const QString& text, qsizetype skipped,
                   const QString& inserted, int insertedAt);
};
