#pragma once

#include "sim/world/arena.h"
#include "sim/world/geometry.h"

#include <QtGlobal>

#include <optional>
#include <vector>

namespace kestrava::sim {

// Where a candle may stand in a room, as the contests place it: clear of every wall, box
// and the arena's edge by the robot's size (so the robot can come at it from any side),
// and where the robot can drive from its start. The spots lie on a grid of the robot's
// free positions, at most CandleGridCells a side, so a large arena costs no more.
constexpr int CandleGridCells = 160;
constexpr double CandleGridStepCm = 5;

// Each room's spots, in the order of the arena's rooms (one grid serves them all).
std::vector<std::vector<geometry::Point>> candleSpots(const Arena &arena);

// The candle's place for a run. With a seed and rooms, seed n draws a spot in room
// n modulo the number of rooms, so that consecutive seeds visit every room; with a seed
// and no rooms, it picks one of the fixed places. Without a seed: the first fixed place,
// or the draw of seed 0 when there are none.
geometry::Point candlePlace(const Arena &arena, std::optional<quint32> seed);

} // namespace kestrava::sim
