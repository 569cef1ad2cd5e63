#include "platform/gui/ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace platform {
namespace {

// True when enough of the frame's top edge lies on the screen to take hold of it.
bool GripOn(const QRect& frame, const QRect& screen) {
    const QRect topEdge = QRect(frame.left(), frame.top(), frame.width(), kGripHeight) & screen;
    return topEdge.width() >= kGripWidth && topEdge.height() >= kGripHeight;
}

// The squared distance from a point to a rectangle (0 inside it).
int64_t DistanceSquared(const QPoint& p, const QRect& r) {
    const int64_t dx = std::max<int64_t>({int64_t{r.left()} - p.x(), 0, int64_t{p.x()} - r.right()});
    const int64_t dy = std::max<int64_t>({int64_t{r.top()} - p.y(), 0, int64_t{p.y()} - r.bottom()});
    return dx * dx + dy * dy;
}

}  // namespace

QRect PlaceOnScreens(const QRect& frame, const QList<QRect>& availableGeometries) {
    const QRect* nearest = nullptr;
    int64_t best = std::numeric_limits<int64_t>::max();
    for (const QRect& screen : availableGeometries) {
        if (screen.isEmpty()) continue;
        if (GripOn(frame, screen)) return frame;
        const int64_t d = DistanceSquared(frame.center(), screen);
        if (d < best) {
            best = d;
            nearest = &screen;
        }
    }
    if (!nearest) return frame;
    // The least move that puts the whole window on that screen.
    const QSize size = frame.size().boundedTo(nearest->size());
    const int left = std::clamp(frame.left(), nearest->left(), nearest->left() + nearest->width() - size.width());
    const int top = std::clamp(frame.top(), nearest->top(), nearest->top() + nearest->height() - size.height());
    return QRect(QPoint(left, top), size);
}

void KeepOnScreen(QWidget& window) {
    QList<QRect> available;
    for (const QScreen* screen : QGuiApplication::screens()) available.push_back(screen->availableGeometry());
    const QRect frame = window.frameGeometry();
    const QRect placed = PlaceOnScreens(frame, available);
    if (placed == frame) return;
    // The frame's margins (none before the window is framed) stay around the window.
    window.resize(placed.size() - (frame.size() - window.size()));
    window.move(placed.topLeft());
}

}  // namespace platform
