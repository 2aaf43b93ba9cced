#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

// The outer rectangle of a top-level window, frame included, as the settings
// keep it. A window manager frames the window only after it is mapped, so the
// inner size is fitted again as soon as the frame becomes known; without a
// frame (no window manager) the outer and the inner rectangle are the same.
class TWindowGeometry : public QObject {
public:
    explicit TWindowGeometry(QWidget& window);

    // The smallest outer size the user may make the window.
    void SetMinimumOuterSize(QSize size);
    // Places the window at outer; called when the window is first shown.
    void Apply(const QRect& outer);
    // The outer rectangle as it is now, for saving.
    QRect Outer() const;

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
};
