#pragma once

#include "app/window/ConnectionStatus.h"

#include <QString>

#include <array>

class QLabel;
class QMainWindow;
class QStatusBar;
class TImageList;

// What the status bar shows: the connection state with its icon, the link
// and port, the serial rate and the chosen instrument.
struct TStatusFacts {
    TConnectionFacts Connection;
    int Port = 0; // 0: no port chosen
    int Baudrate = 0;
    QString Device; // the caption of the chosen Device item
};

// The window's status bar: four panels, the first with the state icon in
// front of its text and a tooltip for the newest note. Touches a widget only
// when what it shows changes: it is refreshed per received event.
class TStatusBarView {
public:
    // Why the tooltip speaks: a newer note of another kind replaces it.
    enum class TNote { None, ConnectFailure, Journal, Reconnected };

    explicit TStatusBarView(QMainWindow& window);
    TStatusBarView(const TStatusBarView&) = delete;
    TStatusBarView& operator=(const TStatusBarView&) = delete;

    void Show(const TStatusFacts& facts);
    // The note, with the time it came, in panel 0's tooltip.
    void ShowNote(TNote kind, const QString& text);
    // Only a note that the news has made stale goes.
    void ClearNote(TNote kind);

private:
    QStatusBar* FBar;
    TImageList* FImages;
    std::array<QLabel*, 4> FPanels{};
    QLabel* FIcon = nullptr;
    TNote FNote = TNote::None;
};
