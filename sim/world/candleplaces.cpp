#include "sim/world/candleplaces.h"

#include "sim/world/world.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <deque>

namespace kestrava::sim {

using namespace geometry;

namespace {

// The robot's free positions on a grid through its start, and which of them it can reach
// from there by steps along the grid (a step is shorter than any wall is thin to the robot).
class ReachGrid
{
public:
    explicit ReachGrid(const Arena &arena)
        : m_arena(arena)
        , m_step(std::max(CandleGridStepCm, std::max(arena.width, arena.height) / CandleGridCells))
        , m_originX(std::fmod(arena.start.x, m_step))
        , m_originY(std::fmod(arena.start.y, m_step))
        , m_columns(int((arena.width - m_originX) / m_step) + 1)
        , m_rows(int((arena.height - m_originY) / m_step) + 1)
        , m_reached(std::size_t(m_columns) * std::size_t(m_rows), false)
    {
        flood(int(std::lround((arena.start.x - m_originX) / m_step)),
              int(std::lround((arena.start.y - m_originY) / m_step)));
    }

    std::vector<Point> spotsIn(const Box &room) const
    {
        std::vector<Point> spots;
        for (int row = 0; row < m_rows; ++row) {
            for (int column = 0; column < m_columns; ++column) {
                const Point at = pointOf(column, row);
                if (m_reached[index(column, row)] && room.contains(at) && clearForCandle(at))
                    spots.push_back(at);
            }
        }
        return spots;
    }

private:
    Point pointOf(int column, int row) const { return {m_originX + column * m_step, m_originY + row * m_step}; }
    std::size_t index(int column, int row) const { return std::size_t(row) * std::size_t(m_columns) + std::size_t(column); }

    bool free(Point at) const
    {
        return !collides(at, World::RobotRadiusCm, m_arena.width, m_arena.height, m_arena.boxes, m_arena.walls);
    }
    bool clearForCandle(Point at) const
    {
        return !collides(at, 2 * World::RobotRadiusCm, m_arena.width, m_arena.height, m_arena.boxes, m_arena.walls);
    }

    void flood(int column, int row)
    {
        std::deque<std::pair<int, int>> waiting{{column, row}};
        while (!waiting.empty()) {
            const auto [c, r] = waiting.front();
            waiting.pop_front();
            if (c < 0 || r < 0 || c >= m_columns || r >= m_rows || m_reached[index(c, r)] || !free(pointOf(c, r)))
                continue;
            m_reached[index(c, r)] = true;
            waiting.insert(waiting.end(), {{c + 1, r}, {c - 1, r}, {c, r + 1}, {c, r - 1}});
        }
    }

    const Arena &m_arena;
    double m_step;
    double m_originX, m_originY;
    int m_columns, m_rows;
    std::vector<bool> m_reached;
};

} // namespace

std::vector<std::vector<Point>> candleSpots(const Arena &arena)
{
    const ReachGrid grid(arena);
    std::vector<std::vector<Point>> spots;
    for (const Box &room : arena.rooms)
        spots.push_back(grid.spotsIn(room));
    return spots;
}

Point candlePlace(const Arena &arena, std::optional<quint32> seed)
{
    if (arena.rooms.empty() || (!seed && !arena.candles.empty())) {
        if (arena.candles.empty())
            return {arena.width / 2, arena.height / 2};
        return arena.candles[seed ? QRandomGenerator(*seed).bounded(quint32(arena.candles.size())) : 0];
    }
    const quint32 drawn = seed.value_or(0);
    const std::vector<Point> spots = candleSpots(arena)[drawn % arena.rooms.size()];
    if (spots.empty()) // a file's rooms are checked when it is read; a world of its own may not be
        return {arena.width / 2, arena.height / 2};
    return spots[QRandomGenerator(drawn).bounded(quint32(spots.size()))];
}

} // namespace kestrava::sim
