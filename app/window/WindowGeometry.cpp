#include "app/window/WindowGeometry.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

QSize Inner(QSize outer, const QMargins& frame) {
    return {std::max(0, outer.width() - frame.left() - frame.right()),
            std::max(0, outer.height() - frame.top() - frame.bottom())};
}

} // namespace

TWindowGeometry::TWindowGeometry(QWidget& window) : FWindow(window) {
    FWindow.installEventFilter(this);
}

void TWindowGeometry::SetMinimumOuterSize(QSize size) {
    FMinimumOuter = size;
    FWindow.setMinimumSize(Inner(size, Frame()));
}

void TWindowGeometry::Apply(const QRect& outer) {
    if (QWindow* handle = FWindow.windowHandle())
        handle->installEventFilter(this);
    FWanted = outer;
    FFitting = true;
    Fit();
}

QRect TWindowGeometry::Outer() const {
    return FWindow.frameGeometry();
}

bool TWindowGeometry::eventFilter(QObject* watched, QEvent* event) {
    if (!FWindow.isVisible())
        return false;
    // The frame shows itself by moving the window, or only by exposing it
    // where the window manager keeps the inner position.
    const QEvent::Type type = event->type();
    const bool onScreen = watched == &FWindow ? type == QEvent::Move || type == QEvent::Resize
                                              : type == QEvent::Expose;
    if (onScreen && FFitting && Frame() != FFittedTo)
        Fit();
    return false;
}

QMargins TWindowGeometry::Frame() const {
    const QWindow* handle = FWindow.windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

void TWindowGeometry::Fit() {
    const QMargins frame = Frame();
    FFittedTo = frame;
    FWindow.setMinimumSize(Inner(FMinimumOuter, frame));
    FWindow.resize(Inner(FWanted.size(), frame));
    FWindow.move(FWanted.topLeft());
    if (!frame.isNull())
        FFitting = false;
}
