// Whatever bytes reach the simulator's control commands, in whatever pieces, every line
// gets exactly one answer, whose last line alone is "ok..." or "error: ...", and the
// line being received stays bounded.
#include "sim/program/controllines.h"
#include "sim/program/modulekinds.h"
#include "sim/program/simbus.h"
#include "sim/program/simcontrol.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

bool endsAnswer(const QString &line)
{
    return line == QLatin1String("ok") || line.startsWith(QLatin1String("ok ")) || line.startsWith(QLatin1String("error: "));
}

void checkOneAnswer(const QStringList &answer)
{
    if (answer.isEmpty() || !endsAnswer(answer.last()))
        std::abort();
    for (qsizetype i = 0; i + 1 < answer.size(); ++i) {
        if (endsAnswer(answer[i]))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrava::sim;
    SimBus bus;
    addRobot(bus);
    bool plugged = true;
    SimClock clock;
    SimControl control(bus, clock, LineActions{
        [&] { return std::exchange(plugged, false); },
        [&](QString &path) { plugged = true; path = QStringLiteral("/dev/pts/99"); return true; },
        [] {},
    });
    ControlLines lines;
    SimTime now{1'000'000'000};
    size_t i = 0;
    while (i < size) {
        // Each piece: a length byte, then up to 255 bytes of the line.
        const size_t length = std::min<size_t>(data[i], size - i - 1);
        ++i;
        for (const ControlLine &line : lines.take(QByteArrayView(reinterpret_cast<const char *>(data + i), qsizetype(length)))) {
            if (line.text.size() > ControlLines::MaxLine)
                std::abort();
            if (!line.tooLong)
                checkOneAnswer(control.execute(line.text, now));
        }
        i += length;
        now += std::chrono::milliseconds(50);
    }
    return 0;
}
