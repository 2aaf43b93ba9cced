#pragma once

#include <functional>

class QDockWidget;
class QMainWindow;
class QPlainTextEdit;

// Room for a panel docked beside the document: the document keeps at least
// EditorColumns characters of its font. Where the window is too narrow for
// both, it grows by what is missing, as far as the screen has room, and
// narrows again when the panel hides; what the screen cannot give is taken
// from the panel, whose contents then scroll.
class TPanelRoom {
public:
    static constexpr int EditorColumns = 40;

    // lend widens the window by the width asked for (0: back to the user's
    // width) and returns the width it could lend (TWindowGeometry::Lend).
    TPanelRoom(QMainWindow& window, QDockWidget& dock, std::function<int(int)> lend)
        : FWindow(window), FDock(dock), FLend(std::move(lend)) {}

    // The dock was shown or hidden by the user (its menu item, its close
    // button, the settings at start).
    void DockShown(bool shown);

    // The editor's width that shows columns characters of its font on a line.
    static int EditorWidthFor(const QPlainTextEdit& editor, int columns);

private:
    QMainWindow& FWindow;
    QDockWidget& FDock;
    std::function<int(int)> FLend;
    int FLent = 0;
};
