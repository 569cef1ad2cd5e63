#pragma once
// Where a restored window goes: a window whose stored geometry belongs to a
// screen that is gone (or that lies off every screen) would open where
// nobody can see or grab it. It stays where it was stored while at least
// kGripWidth x kGripHeight pixels of its top edge, where the title bar
// is, lie within the available geometry of one screen; otherwise it moves
// onto the screen nearest its centre, keeping its size where that fits and
// shrinking to the screen's available size where it does not.

#include <QList>
#include <QRect>

class QWidget;

namespace platform {

constexpr int kGripWidth = 100;
constexpr int kGripHeight = 30;

// The frame rectangle for a window stored as `frame`, given the available
// geometries of the screens; `frame` itself when it may stay, or when there
// is no screen at all.
QRect PlaceOnScreens(const QRect& frame, const QList<QRect>& availableGeometries);

// Applies PlaceOnScreens to a top-level window with the screens there are
// now; call it after the stored geometry is set and before the window is
// shown. Until the window manager has framed the window, its frame is the
// window's own rectangle. A window that may stay is left untouched.
void KeepOnScreen(QWidget& window);

}  // namespace platform
