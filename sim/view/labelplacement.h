#pragma once

#include "sim/world/geometry.h"

#include <span>

namespace kestrava::simview {

// Where a ranger beam's label goes, in arena centimetres: inside the arena, as near
// the beam's end as it can be without touching a wall, an obstacle, the arena's edge or
// a box already taken (other labels, the robot). It tries points back along the beam
// and to either side of it; when nothing is clear, the label sits at the beam's middle.
sim::geometry::Box placeBeamLabel(sim::geometry::Point origin, double headingDegrees, double lengthCm,
                                  double labelWidthCm, double labelHeightCm, const sim::geometry::Box &arena,
                                  std::span<const sim::geometry::Segment> segments,
                                  std::span<const sim::geometry::Box> taken);

} // namespace kestrava::simview
