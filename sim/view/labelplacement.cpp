#include "sim/view/labelplacement.h"

#include <algorithm>

namespace kestrava::simview {

using namespace sim::geometry;

namespace {

bool overlaps(const Box &a, const Box &b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

bool clear(const Box &box, const Box &arena, std::span<const Segment> segments, std::span<const Box> taken)
{
    return arena.contains({box.x, box.y}) && arena.contains({box.x + box.width, box.y + box.height})
        && std::none_of(segments.begin(), segments.end(), [&](const Segment &s) { return segmentMeetsBox(s, box); })
        && std::none_of(taken.begin(), taken.end(), [&](const Box &other) { return overlaps(box, other); });
}

} // namespace

Box placeBeamLabel(Point origin, double headingDegrees, double lengthCm, double labelWidthCm, double labelHeightCm,
                   const Box &arena, std::span<const Segment> segments, std::span<const Box> taken)
{
    const Point along = headingVector(headingDegrees);
    const Point across = headingVector(headingDegrees + 90);
    const auto boxAround = [&](Point centre) {
        return Box{centre.x - labelWidthCm / 2, centre.y - labelHeightCm / 2, labelWidthCm, labelHeightCm};
    };
    const double step = std::max({2.0, labelHeightCm / 2, lengthCm / 40}); // at most 40 tries along the beam
    const double sideways = labelWidthCm / 2 + labelHeightCm / 2;
    for (double back = 0; back <= lengthCm; back += step) {
        for (const double side : {0.0, sideways, -sideways}) {
            const Point centre{origin.x + along.x * (lengthCm - back) + across.x * side,
                               origin.y + along.y * (lengthCm - back) + across.y * side};
            const Box box = boxAround(centre);
            if (clear(box, arena, segments, taken))
                return box;
        }
    }
    return boxAround({origin.x + along.x * lengthCm / 2, origin.y + along.y * lengthCm / 2});
}

} // namespace kestrava::simview
