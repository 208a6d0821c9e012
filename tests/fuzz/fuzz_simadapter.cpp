// Whatever the line sends, and however time advances between its chunks, the simulated
// adapter with the whole robot behind it neither crashes nor queues more than its bound.
#include "sim/program/modulekinds.h"
#include "sim/program/simadapter.h"
#include "sim/program/simbus.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrava::sim;
    SimBus bus;
    addRobot(bus);
    SimAdapter adapter(bus, size % 2 ? WireByteTime : SimTime{});
    SimTime now{1'000'000'000};
    size_t i = 0;
    while (i < size) {
        // Each chunk: a length byte, a time step byte, then up to 64 line bytes.
        const size_t length = std::min<size_t>(data[i] % 65, size - i - 1);
        const SimTime step = std::chrono::milliseconds(i + 1 < size ? data[i + 1] % 100 : 0);
        i += 2;
        const size_t available = i < size ? std::min(length, size - i) : 0;
        adapter.receive(QByteArrayView(reinterpret_cast<const char *>(data + i), qsizetype(available)), now);
        i += available;
        now += step;
        adapter.takeDue(now);
        if (adapter.waitingFrames() > SimAdapter::MaxWaitingFrames)
            std::abort();
    }
    adapter.takeDue(now + std::chrono::seconds(120));
    return 0;
}
