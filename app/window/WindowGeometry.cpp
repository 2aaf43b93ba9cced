#include "app/window/WindowGeometry.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdint>

namespace {

// How much of the window, from its top edge, must lie on a screen for the
// user to reach its title bar.
constexpr std::int64_t Grip = 48;
// Without any screen: a size no window system refuses.
constexpr int Unbounded = 16384;

struct TSpan {
    std::int64_t First;
    std::int64_t End; // one past the last
};

std::int64_t Overlap(TSpan a, TSpan b) {
    return std::max<std::int64_t>(0, std::min(a.End, b.End) - std::max(a.First, b.First));
}

bool Reachable(TSpan x, TSpan y, const QRect& screen) {
    const TSpan across{screen.left(), std::int64_t(screen.left()) + screen.width()};
    const TSpan down{screen.top(), std::int64_t(screen.top()) + screen.height()};
    return y.First >= down.First && y.First + std::min(Grip, y.End - y.First) <= down.End &&
           Overlap(x, across) >= std::min(Grip, x.End - x.First);
}

std::int64_t Distance(TSpan x, TSpan y, const QRect& screen) {
    const auto gap = [](TSpan a, std::int64_t first, std::int64_t end) {
        return a.End <= first ? first - a.End : (a.First >= end ? a.First - end : 0);
    };
    return gap(x, screen.left(), std::int64_t(screen.left()) + screen.width()) +
           gap(y, screen.top(), std::int64_t(screen.top()) + screen.height());
}

// first, or as near to it as keeps [first, first + size) inside the screen's
// span (its start when it is too small).
int Within(std::int64_t first, int size, int start, int length) {
    return static_cast<int>(std::clamp<std::int64_t>(
        first, start, std::max<std::int64_t>(start, start + length - size)));
}

QSize Inner(QSize outer, const QMargins& frame) {
    return {std::max(0, outer.width() - frame.left() - frame.right()),
            std::max(0, outer.height() - frame.top() - frame.bottom())};
}

} // namespace

QRect FitToScreens(int left, int top, int width, int height, const QList<QRect>& screens,
                   QSize minimum) {
    QRect bounds;
    for (const QRect& screen : screens)
        bounds |= screen;
    const QSize largest = bounds.isEmpty() ? QSize(Unbounded, Unbounded) : bounds.size();
    const int w = std::clamp(width, minimum.width(), std::max(minimum.width(), largest.width()));
    const int h =
        std::clamp(height, minimum.height(), std::max(minimum.height(), largest.height()));
    if (screens.isEmpty())
        return {Within(left, w, -Unbounded, 2 * Unbounded),
                Within(top, h, -Unbounded, 2 * Unbounded), w, h};
    const TSpan x{left, std::int64_t(left) + w};
    const TSpan y{top, std::int64_t(top) + h};
    const QRect* nearest = &screens.front();
    for (const QRect& screen : screens) {
        if (Reachable(x, y, screen))
            return {left, top, w, h};
        if (Distance(x, y, screen) < Distance(x, y, *nearest))
            nearest = &screen;
    }
    return {Within(left, w, nearest->left(), nearest->width()),
            Within(top, h, nearest->top(), nearest->height()), w, h};
}

QRect FitToScreens(int left, int top, int width, int height, QSize minimum) {
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    return FitToScreens(left, top, width, height, screens, minimum);
}

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
    QRect outer = FWindow.frameGeometry();
    outer.setWidth(std::max(FMinimumOuter.width(), outer.width() - FLent));
    return outer;
}

int TWindowGeometry::Lend(int width) {
    if (FLent > 0 && FWindow.size() != FLentSize)
        FLent = 0; // resized by the user since: the size is theirs
    if (FWindow.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        width = 0;
    width = std::max(0, width);
    if (width > FLent) {
        // Only as far as the screen reaches.
        const QScreen* screen = FWindow.screen();
        const QRect room = screen != nullptr ? screen->availableGeometry() : QRect();
        const QRect outer = FFitting ? FWanted : FWindow.frameGeometry();
        if (!room.isEmpty())
            width = std::min(width, FLent + std::max(0, room.width() - outer.width()));
    }
    const int change = width - FLent;
    FLent = width;
    if (change == 0)
        return FLent;
    if (FFitting) {
        Fit(); // the frame is not known yet: the wanted size and the loan
    } else {
        const QRect outer = FWindow.frameGeometry();
        FWindow.resize(FWindow.width() + change, FWindow.height());
        // Moved left where the right edge would leave the screen.
        if (const QScreen* screen = FWindow.screen()) {
            const int over = outer.right() + change - screen->availableGeometry().right();
            if (change > 0 && over > 0)
                FWindow.move(outer.left() - over, outer.top());
        }
    }
    FLentSize = FWindow.size();
    return FLent;
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
    FWindow.resize(Inner(FWanted.size() + QSize(FLent, 0), frame));
    FLentSize = FWindow.size();
    FWindow.move(FWanted.topLeft());
    if (!frame.isNull())
        FFitting = false;
}
