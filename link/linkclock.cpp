#include "link/linkclock.h"

namespace kestrava {

LinkClock &realClock()
{
    static LinkClock real;
    return real;
}

} // namespace kestrava
