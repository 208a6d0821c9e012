#pragma once

#include <QRect>
#include <QSize>

namespace kestrava::simview {

// Where the robot view's window goes, frame included: right of the window beside it
// (`besideWidth` pixels from the screen's left), or on the right half of the screen;
// the whole height, and never narrower than `least`.
QRect placement(const QRect &screen, int besideWidth, QSize least);

// The view's own size for a window placed in `place`: what is left once its frame is
// counted, so that the title bar stays on the screen. Before a window manager has framed
// the window, `frameNow` is nothing; a title bar's worth is kept then.
QSize sizeInsideFrame(QSize place, QSize frameNow);

} // namespace kestrava::simview
