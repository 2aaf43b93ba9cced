#pragma once

#include <QList>
#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

// The outer rectangle for a window from saved values, which a hand-edited or
// damaged settings file may hold: at least minimum and no larger than the
// screens together; and where it would not show on a screen far enough to be
// grabbed by its title bar, moved onto the screen nearest to it. screens are
// the screens' available areas; any int is taken without overflow.
QRect FitToScreens(int left, int top, int width, int height, const QList<QRect>& screens,
                   QSize minimum);
// The same for the screens the application has now.
QRect FitToScreens(int left, int top, int width, int height, QSize minimum);

// The outer rectangle of a top-level window, frame included, as the settings
// keep it. A window manager frames the window only after it is mapped, so the
// inner size is fitted again as soon as the frame becomes known; without a
// frame (no window manager) the outer and the inner rectangle are the same.
class TWindowGeometry : public QObject {
public:
    explicit TWindowGeometry(QWidget& window);

    // The smallest outer size the user may make the window.
    void SetMinimumOuterSize(QSize size);
    QSize MinimumOuterSize() const { return FMinimumOuter; }
    // Places the window at outer; called when the window is first shown.
    void Apply(const QRect& outer);
    // The outer rectangle as it is now, for saving: without the width lent
    // to a panel.
    QRect Outer() const;

    // Widens the window by width for a panel, as far as the screen has room
    // (moving it left where the right edge is near), and gives back the
    // width lent before; 0 gives it all back, which narrows the window again
    // unless the user resized it meanwhile (then the size is the user's).
    // Returns the width now lent. A maximised or full-screen window lends
    // none.
    int Lend(int width);
    int Lent() const { return FLent; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMargins Frame() const;
    void Fit();

    QWidget& FWindow;
    QSize FMinimumOuter;
    QRect FWanted;         // the outer rectangle to reach
    QMargins FFittedTo;    // the frame the inner size was last fitted to
    bool FFitting = false; // until the frame is known
    int FLent = 0;         // width added for a panel
    QSize FLentSize;       // the inner size the loan gave: another one is the user's
};
