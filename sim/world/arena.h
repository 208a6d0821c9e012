#pragma once

#include "sim/world/geometry.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kestrava::sim {

// A room for the robot as an arena file gives it: centimetres and degrees, the origin
// at the south-west corner, x east and y north. Teachers write these files, so the
// field names are fixed: name, size, walls, boxes, start, candles, rooms, fan_relay.
struct Arena
{
    // What a file may ask for at most: no file can make the simulator slow or big.
    static constexpr qsizetype MaxFileBytes = 256 * 1024;
    static constexpr qsizetype MaxNameLength = 60;
    static constexpr double MinSideCm = 60, MaxSideCm = 2000;
    static constexpr qsizetype MaxWalls = 256, MaxBoxes = 64, MaxCandles = 16, MaxRooms = 16;

    QString name;
    double width = 0, height = 0;
    std::vector<geometry::Segment> walls;
    std::vector<geometry::Box> boxes; // each by its south-west corner
    geometry::Pose start;             // heading as the compass reads it
    std::vector<geometry::Point> candles; // fixed places a candle may stand
    std::vector<geometry::Box> rooms;     // areas a candle may stand anywhere in; candles or rooms, or both
    int fanRelay = 1;                 // the relay (1 to 8) that runs the fan
};

// An arena, or one message that names the field and says what is wrong with it.
struct ArenaLoad
{
    std::optional<Arena> arena;
    QString error;
};

// The arena in a file's text (JSON); the robot must fit at its start.
ArenaLoad parseArena(QByteArrayView text);
// A bundled arena by its name, or else an arena file by its path; errors name the file.
ArenaLoad loadArena(const QString &nameOrPath);
// The arenas that come with the simulator: "open", "house", "corridor".
QStringList bundledArenaNames();

} // namespace kestrava::sim
