#include "app/EditorInserter.h"
#include "tests/support/TestEnvironment.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <functional>

namespace {

// A shown editor as the window has it, fed through the inserter.
struct TShownEditor {
    TShownEditor() {
        Editor.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        Editor.resize(400, 300);
        Editor.show();
    }
    // Each reading its own insertion, without the event loop running, so
    // they all fall into one frame.
    void Stream(int first, int count) {
        for (int i = first; i < first + count; ++i)
            Inserter.InsertAnsi(QByteArray::number(i) + " um\r\n");
    }
    bool FrameEnded() { return Editor.updatesEnabled(); }
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
    const QTextBlock newest = shown.Editor.document()->lastBlock().previous();
    EXPECT_EQ(newest.text(), "599 um");
    const QRect newestRect = shown.Editor.cursorRect(QTextCursor(newest));
    EXPECT_EQ(newestRect.bottom() + 1, shown.EndRect().top()) << "the newest line right above";
    EXPECT_EQ(shown.Editor.document()->blockCount(), 601);
    // Scrolled fully down, the text still fills the viewport to its foot.
    QScrollBar* bar = shown.Editor.verticalScrollBar();
    bar->setValue(bar->maximum());
    const int blank = shown.Editor.viewport()->height() - shown.EndRect().bottom();
    EXPECT_GE(blank, 0);
    EXPECT_LT(blank, 2 * shown.EndRect().height()) << "blank space below the text";
}

// Input arriving while a frame is pending acts on an editor that already
// shows the readings in place, as if each had been displayed on arrival.
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
        EXPECT_TRUE(shown.FrameEnded()) << "input ends the frame before it is handled";
        c.Check(shown);
        // Readings after the input go where the input left the caret.
        shown.Stream(200, 1);
        EXPECT_TRUE(shown.Editor.toPlainText().endsWith("200 um\n"));
    }
}

} // namespace
