#pragma once
// Keeping a window on the screens there are: a position stored by an earlier run (on another
// desktop, or by a run without a display) may leave part of the window's frame where no screen is.
#include <QPoint>
#include <QRect>
#include <vector>

class QWidget;

namespace platform {

// Where a window whose frame is `frame` goes: where it is when every part of the frame lies on one
// screen or another; otherwise moved onto the nearest screen (the one it overlaps most, else the
// closest), as little as keeps it inside, its top left corner on the screen when it is larger.
// `screens` are the screens' usable areas; with none the frame stays where it is.
QPoint OnScreens(const QRect& frame, const std::vector<QRect>& screens);

// Moves a top-level window so, on the application's screens (their areas without panels).
void KeepOnScreen(QWidget* window);

}  // namespace platform
