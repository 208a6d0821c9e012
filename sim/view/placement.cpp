#include "sim/view/placement.h"

#include <algorithm>

namespace kestrava::simview {

namespace {
constexpr int WidestView = 1280;
constexpr QSize LeastFrame{8, 32}; // a border each side and a title bar, as most window managers draw them
} // namespace

QRect placement(const QRect &screen, int besideWidth, QSize least)
{
    const int left = besideWidth > 0 ? std::min(besideWidth, screen.width() - least.width()) : screen.width() / 2;
    const int width = std::min(screen.width() - std::max(left, 0), WidestView);
    return {screen.right() + 1 - width, screen.top(), width, screen.height()};
}

QSize sizeInsideFrame(QSize place, QSize frameNow)
{
    return place - frameNow.expandedTo(LeastFrame);
}

} // namespace kestrava::simview
