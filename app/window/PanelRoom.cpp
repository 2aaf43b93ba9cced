#include "app/window/PanelRoom.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cmath>

int TPanelRoom::EditorWidthFor(const QPlainTextEdit& editor, int columns) {
    const QFontMetricsF metrics(editor.font());
    const double text = metrics.horizontalAdvance(QString(columns, u'0'));
    const double margins = 2 * editor.document()->documentMargin();
    // The frame, the scroll bar (always shown), the caret: all that is not
    // text, measured where the editor has been laid out.
    const int around = editor.isVisible() ? editor.width() - editor.viewport()->width()
                                          : 2 * editor.frameWidth() +
                                                editor.verticalScrollBar()->sizeHint().width();
    const int caret = editor.cursorWidth() + 1;
    return static_cast<int>(std::ceil(text + margins)) + around + caret;
}

void TPanelRoom::DockShown(bool shown) {
    if (!FLend)
        return;
    auto* editor = qobject_cast<QPlainTextEdit*>(FWindow.centralWidget());
    if (editor == nullptr)
        return;
    if (!shown || FDock.isFloating()) {
        editor->setMinimumWidth(0);
        FLent = FLend(0);
        return;
    }
    const int editorWidth = EditorWidthFor(*editor, EditorColumns);
    const int separator =
        FWindow.style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, &FWindow);
    const int panel = FDock.sizeHint().width();
    const int least = FDock.minimumSizeHint().width();
    const int own = FWindow.width() - FLent; // the user's width
    FLent = FLend(std::max(0, editorWidth + separator + panel - own));
    // The layout keeps the editor's width from then on, however the window
    // is resized, as far as the screen lets the window be wide enough; what
    // the screen could not give comes from the panel.
    const QScreen* screen = FWindow.screen();
    const int widest = screen != nullptr ? screen->availableGeometry().width() -
                                               (FWindow.frameGeometry().width() - FWindow.width())
                                         : editorWidth + separator + least;
    editor->setMinimumWidth(std::max(0, std::min(editorWidth, widest - separator - least)));
    const int left = own + FLent - editorWidth - separator;
    FWindow.resizeDocks({&FDock}, {std::clamp(left, least, panel)}, Qt::Horizontal);
}
