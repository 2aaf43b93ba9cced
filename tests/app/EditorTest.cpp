#include "app/capture/EditorInserter.h"
#include "app/document/DocumentEditor.h"
#include "app/document/DocumentFile.h"
#include "app/document/LineMarks.h"
#include "app/document/PrintLayout.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// A shown editor as the window has it, fed through the inserter.
struct TShownEditor {
    TShownEditor() {
        Editor.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        Editor.resize(400, 300);
        Editor.show();
    }
    // Each reading handed over on its own, without the event loop running,
    // so they all wait for one batch.
    void Stream(int first, int count) {
        for (int i = first; i < first + count; ++i)
            Inserter.InsertAnsi(QByteArray::number(i) + " um\r\n");
    }
    bool FrameEnded() const { return !Inserter.Pending(); }
    QRect EndRect() {
        QTextCursor end(Editor.document());
        end.movePosition(QTextCursor::End);
        return Editor.cursorRect(end);
    }
    // The text's end sits at the bottom edge: inside the viewport with less
    // than one line of blank below it, and the scroll range ends there: it
    // stops where the last page of text begins (the editor keeps one partly
    // shown line of range beyond the caret's own scrolling).
    void ExpectEndAtBottomEdge(const char* when) {
        const QScrollBar* bar = Editor.verticalScrollBar();
        const QRect end = EndRect();
        const int height = Editor.viewport()->height();
        EXPECT_LT(end.bottom(), height) << when;
        EXPECT_LT(height - end.bottom(), end.height()) << when << ": blank space below the text";
        EXPECT_EQ(bar->maximum(), Editor.document()->lineCount() - bar->pageStep()) << when;
        EXPECT_GT(bar->maximum(), 0) << when;
        EXPECT_LE(bar->maximum() - bar->value(), 1) << when;
    }

    QPlainTextEdit Editor;
    TEditorInserter Inserter{&Editor};
};

TEST(EditorTest, NewestReadingStaysAtTheBottomEdge) {
    TShownEditor shown;
    ASSERT_TRUE(testing_support::WaitFor([&] { return shown.Editor.viewport()->height() > 100; }));
    const int perFrame = 150;
    for (int frame = 0; frame < 4; ++frame) {
        shown.Stream(frame * perFrame, perFrame);
        ASSERT_TRUE(testing_support::WaitFor([&] { return shown.FrameEnded(); }));
        shown.ExpectEndAtBottomEdge("after a frame of readings");
    }
    const QString text = shown.Editor.toPlainText();
    EXPECT_TRUE(text.endsWith("\n599 um\n"));
    EXPECT_EQ(text.count('\n'), 600);
    QTextCursor newest(shown.Editor.document());
    newest.movePosition(QTextCursor::End);
    newest.movePosition(QTextCursor::Left, QTextCursor::MoveAnchor, 7);
    const QRect newestRect = shown.Editor.cursorRect(newest);
    EXPECT_EQ(newestRect.bottom() + 1, shown.EndRect().top()) << "the newest line right above";
    // Scrolled fully down, the text still fills the viewport to its foot.
    QScrollBar* bar = shown.Editor.verticalScrollBar();
    bar->setValue(bar->maximum());
    const int blank = shown.Editor.viewport()->height() - shown.EndRect().bottom();
    EXPECT_GE(blank, 0);
    EXPECT_LT(blank, 2 * shown.EndRect().height()) << "blank space below the text";
}

// Input arriving while readings wait acts on an editor that already shows
// them in place, as if each had been inserted and displayed on arrival.
TEST(EditorTest, UserInputWithinAFrameSeesTheReadingsInPlace) {
    struct TCase {
        const char* Name;
        std::function<void(QPlainTextEdit&)> Send;
        std::function<void(TShownEditor&)> Check;
    };
    const TCase cases[] = {
        {"mouse press at the bottom edge",
         [](QPlainTextEdit& editor) {
             const QPointF at(5, editor.viewport()->height() - 3);
             QMouseEvent press(QEvent::MouseButtonPress, at, editor.viewport()->mapToGlobal(at),
                               Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
             QCoreApplication::sendEvent(editor.viewport(), &press);
             QMouseEvent release(QEvent::MouseButtonRelease, at, editor.viewport()->mapToGlobal(at),
                                 Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
             QCoreApplication::sendEvent(editor.viewport(), &release);
         },
         [](TShownEditor& shown) {
             EXPECT_TRUE(shown.Editor.textCursor().atEnd())
                 << "the click lands on the line shown at the bottom: the text's end";
         }},
        {"key press",
         [](QPlainTextEdit& editor) {
             QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "X");
             QCoreApplication::sendEvent(&editor, &press);
         },
         [](TShownEditor& shown) {
             EXPECT_TRUE(shown.Editor.toPlainText().endsWith("199 um\nX"));
             shown.ExpectEndAtBottomEdge("right after the key press");
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TShownEditor shown;
        ASSERT_TRUE(
            testing_support::WaitFor([&] { return shown.Editor.viewport()->height() > 100; }));
        shown.Stream(0, 200);
        ASSERT_FALSE(shown.FrameEnded());
        c.Send(shown.Editor);
        EXPECT_TRUE(shown.FrameEnded()) << "input lets the readings in before it is handled";
        c.Check(shown);
        // Readings after the input go where the input left the caret.
        shown.Stream(200, 1);
        shown.Inserter.Flush();
        EXPECT_TRUE(shown.Editor.toPlainText().endsWith("200 um\n"));
    }
}

// Gathering readings into one insertion gives the document, caret, undo
// state and journal record that inserting each on arrival gives, whatever
// way the readings were split.
TEST(EditorTest, ABatchEqualsInsertingEachReading) {
    struct TCase {
        const char* Name;
        const char* Before; // the text, with the selection between [ and ]
        std::vector<QByteArray> Chunks;
    };
    const TCase cases[] = {
        {"line breaks split between chunks", "", {"1,5\r", "\n2,5\r", "\n", "\r\n", "3\r"}},
        {"a lone CR, then text", "", {"a\r", "b\n", "\n", "c"}},
        {"selection replaced by the first", "ab[cd]ef", {"1", "2\r", "\n"}},
        {"line feed first after a selection", "x[y]z", {"\r", "\n", "7"}},
        {"NUL bytes dropped, code page kept",
         "",
         {QByteArray("1\0 2\r", 5), QByteArray("\n\xB5m", 4)}},
        {"a line feed where no CR went before", "q[]", {"\n", "\r\n\r", "\n"}},
    };
    struct TResult {
        QString Text;
        int Caret = 0;
        bool Undo = false;
        QString Journal;
    };
    const auto run = [](const TCase& c, bool eachAlone) {
        QPlainTextEdit editor;
        TEditorInserter inserter(&editor);
        TResult result;
        inserter.SetInsertedHandler([&](QStringView text) { result.Journal += text; });
        QString before = QString::fromLatin1(c.Before);
        const qsizetype open = before.indexOf('[');
        const qsizetype close = before.indexOf(']');
        before.remove('[').remove(']');
        editor.setPlainText(before);
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(open < 0 ? static_cast<int>(before.size()) : static_cast<int>(open));
        if (open >= 0)
            cursor.setPosition(static_cast<int>(close - 1), QTextCursor::KeepAnchor);
        editor.setTextCursor(cursor);
        for (const QByteArray& chunk : c.Chunks) {
            inserter.InsertAnsi(chunk);
            if (eachAlone)
                inserter.Flush();
        }
        inserter.Flush();
        result.Text = editor.toPlainText();
        result.Caret = editor.textCursor().position();
        result.Undo = editor.document()->isUndoAvailable();
        return result;
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TResult alone = run(c, true);
        const TResult batch = run(c, false);
        EXPECT_EQ(batch.Text, alone.Text);
        EXPECT_EQ(batch.Caret, alone.Caret);
        EXPECT_FALSE(batch.Undo);
        EXPECT_FALSE(alone.Undo);
        // The journal may see the breaks as CR LF or one by one; as text
        // they read the same.
        EXPECT_EQ(QTextDocument(batch.Journal).toPlainText(),
                  QTextDocument(alone.Journal).toPlainText());
    }
}

// A stream waits for its batch, but a burst beyond the limit goes in at
// once, so no burst is held back unboundedly.
TEST(EditorTest, ALargeBurstGoesInWithoutWaiting) {
    QPlainTextEdit editor;
    TEditorInserter inserter(&editor);
    inserter.InsertAnsi("1\r\n");
    EXPECT_TRUE(inserter.Pending());
    EXPECT_TRUE(editor.toPlainText().isEmpty());
    const QByteArray line = "  12,5 \xB5m\r\n";
    for (qsizetype sent = 0; sent < TEditorInserter::PendingLimit; sent += line.size())
        inserter.InsertAnsi(line);
    EXPECT_GE(editor.toPlainText().count('\n'), TEditorInserter::PendingLimit / line.size());
    EXPECT_TRUE(editor.document()->isModified());
    // What is left goes in by itself, without a command.
    inserter.InsertAnsi("end");
    ASSERT_TRUE(testing_support::WaitFor([&] { return !inserter.Pending(); }));
    EXPECT_TRUE(editor.toPlainText().endsWith("m\nend"));
}

// Readings that come one at a time share paragraphs, as a stream's do, and
// a gauge that never ends its line fills paragraphs of bounded size: no
// insertion lays out an ever longer one. What went in comes out whole in
// the journal, the text saved and the clipboard.
TEST(EditorTest, ParagraphsStayFewAndSmallAndTheTextComesOutAsItCame) {
    TDocumentEditor editor;
    editor.resize(400, 300);
    editor.show();
    TEditorInserter inserter(&editor);
    QString journal;
    inserter.SetInsertedHandler([&](QStringView text) { journal += text; });
    QByteArray sent;
    const auto insert = [&](const QByteArray& bytes) {
        inserter.InsertAnsi(bytes);
        sent += bytes;
    };
    for (int i = 0; i < 2 * GroupedLines; ++i) {
        insert(QByteArray::number(i) + " um\r\n");
        inserter.Flush();
    }
    EXPECT_EQ(editor.document()->blockCount(), 3) << "two paragraphs full, and the caret's";
    // A megabyte without a line end, in the infrared link's chunks, a batch
    // every thousand of them; then a line end and a reading.
    const QByteArray digits = QByteArray("0123456789").repeated(100'000);
    for (qsizetype at = 0; at < digits.size(); at += 101) {
        insert(digits.mid(at, 101));
        if (at / 101 % 1000 == 999)
            inserter.Flush();
    }
    insert("\r\n  12.5 um\r\n");
    inserter.Flush();

    const QTextDocument* doc = editor.document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        ASSERT_LE(block.length(), ParagraphLength + 2) << block.blockNumber();
    EXPECT_EQ(doc->lastBlock().previous().text().section(QChar::LineSeparator, -1), "  12.5 um")
        << "the reading after it, on a line of its own";
    EXPECT_TRUE(editor.textCursor().atEnd());
    const QString expected = UnifyLineBreaks(QString::fromLatin1(sent));
    EXPECT_TRUE(UngroupLines(doc->toRawText()) == expected) << "as saved";
    EXPECT_TRUE(UnifyLineBreaks(journal) == expected) << "as journaled";
    editor.selectAll();
    editor.copy();
    EXPECT_TRUE(QGuiApplication::clipboard()->text() == expected) << "as copied";
}

// Edits right at a soft break act on the line where the window shows them:
// typing at the end of the row goes into the line, a new line ends it
// there, Backspace takes the character shown before the caret, Delete
// joins the rows, which changes no text. Copying and printing see no mark.
TEST(EditorTest, EditsAtASoftBreakKeepTheLineWhole) {
    const QString line = QString(ParagraphLength, u'a') + QString(100, u'b');
    const QString head(ParagraphLength, u'a');
    const QString tail(100, u'b');
    struct TCase {
        const char* Name;
        int Key;
        const char* Text;
        bool InFrontOfMark; // the caret stands in front of the mark, not behind it
        QString Saved;
    };
    const TCase cases[] = {
        {"typed", Qt::Key_X, "X", false, head + "X" + tail},
        {"typed in front of the mark", Qt::Key_X, "X", true, head + "X" + tail},
        {"new line", Qt::Key_Return, "\r", false, head + "\n" + tail},
        {"backspace", Qt::Key_Backspace, "", false, head.chopped(1) + tail},
        {"delete", Qt::Key_Delete, "", false, line},
        {"delete in front of the mark", Qt::Key_Delete, "", true, line},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TDocumentEditor editor;
        editor.setPlainText(GroupLines(line));
        ASSERT_EQ(editor.document()->blockCount(), 2);
        const QTextBlock first = editor.document()->firstBlock();
        QTextCursor cursor(first);
        cursor.setPosition(first.position() + first.length() - (c.InFrontOfMark ? 2 : 1));
        editor.setTextCursor(cursor);
        QKeyEvent press(QEvent::KeyPress, c.Key, Qt::NoModifier, QString::fromLatin1(c.Text));
        QCoreApplication::sendEvent(&editor, &press);
        EXPECT_EQ(UngroupLines(editor.document()->toRawText()), c.Saved);
    }
    TDocumentEditor editor;
    editor.resize(400, 300);
    editor.setPlainText(GroupLines(line));
    QTextCursor across(editor.document());
    across.setPosition(ParagraphLength - 2);
    across.setPosition(ParagraphLength + 4, QTextCursor::KeepAnchor);
    editor.setTextCursor(across);
    editor.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "aabb");
    EXPECT_FALSE(DisplayLines(*editor.document()).join("").contains(SoftBreak));
}

} // namespace

// Each finished line's place is marked as it goes in, in whatever pieces and
// batches it came, wherever the caret is, and followed through edits: a
// line still as it came is taken out (one Undo step), one that changed is
// left.
TEST(EditorTest, FinishedLinesAreMarkedWhereTheyWentIn) {
    TShownEditor shown;
    TLineMarks marks(*shown.Editor.document());
    shown.Inserter.SetLineMarks(&marks);
    const auto text = [&](const char16_t* piece, uint64_t lastLine) {
        shown.Inserter.TextArrived(
            {.Link = TLinkKind::Usb, .Text = QStringView(piece), .LastLine = lastLine});
    };
    // Lines 1-2 in one piece, 3 across two batches, a lone CR's line feed in
    // the next batch (4), three lines of one batch in two pieces (5-7).
    text(u"A1\r\nB22\r\nC3", 2);
    shown.Inserter.Flush();
    text(u"33\r", 0);
    shown.Inserter.Flush();
    text(u"\nD4\r\nE5", 4);
    text(u"\nF6\nG7\r\n", 7);
    shown.Inserter.Flush();
    QPlainTextEdit& editor = shown.Editor;
    ASSERT_EQ(editor.toPlainText(), "A1\nB22\nC333\nD4\nE5\nF6\nG7\n");
    // Readings at a caret in the middle: between B22 and C333.
    QTextCursor caret = editor.textCursor();
    caret.setPosition(7);
    editor.setTextCursor(caret);
    text(u"H8\r\n", 8);
    shown.Inserter.Flush();
    ASSERT_EQ(editor.toPlainText(), "A1\nB22\nH8\nC333\nD4\nE5\nF6\nG7\n");
    // An edit inside E5 and one in front of the text.
    QTextCursor edit(editor.document());
    edit.setPosition(19);
    edit.insertText("x");
    edit.setPosition(0);
    edit.insertText("typed\n");
    ASSERT_EQ(editor.toPlainText(), "typed\nA1\nB22\nH8\nC333\nD4\nEx5\nF6\nG7\n");

    struct TCase {
        uint64_t Id;
        const char16_t* Line;
        bool Removed;
        const char* After;
    };
    const TCase cases[] = {
        {5, u"E5", false, "typed\nA1\nB22\nH8\nC333\nD4\nEx5\nF6\nG7\n"},
        {7, u"G7", true, "typed\nA1\nB22\nH8\nC333\nD4\nEx5\nF6\n"},
        {3, u"C333", true, "typed\nA1\nB22\nH8\nD4\nEx5\nF6\n"},
        {8, u"H8", true, "typed\nA1\nB22\nD4\nEx5\nF6\n"},
        {1, u"A1", true, "typed\nB22\nD4\nEx5\nF6\n"},
        {4, u"D4", true, "typed\nB22\nEx5\nF6\n"},
        {6, u"F6", true, "typed\nB22\nEx5\n"},
        {2, u"B2", false, "typed\nB22\nEx5\n"},
        {9, u"", false, "typed\nB22\nEx5\n"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(marks.Remove(c.Id, QStringView(c.Line)), c.Removed) << c.Id;
        EXPECT_EQ(editor.toPlainText(), c.After) << c.Id;
    }
    editor.undo();
    EXPECT_EQ(editor.toPlainText(), "typed\nB22\nEx5\nF6\n");
}
