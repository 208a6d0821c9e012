// Whatever an arena file holds, the loader gives an arena within its caps or a message,
// and the world takes any arena it gives without crashing.
#include "sim/world/arena.h"
#include "sim/world/world.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrava::sim;
    const ArenaLoad load = parseArena(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!load.arena)
        return load.error.isEmpty() ? (std::abort(), 0) : 0;
    const Arena &arena = *load.arena;
    if (qsizetype(arena.walls.size()) > Arena::MaxWalls || qsizetype(arena.boxes.size()) > Arena::MaxBoxes
        || (arena.candles.empty() && arena.rooms.empty()) || arena.width > Arena::MaxSideCm || arena.height > Arena::MaxSideCm)
        std::abort();
    World world;
    world.setArena(arena, 7);
    world.advanceTo(std::chrono::seconds(2), {}, true);
    return 0;
}
