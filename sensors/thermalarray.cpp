#include "sensors/thermalarray.h"

#include "sensors/tpa81.h"

namespace kestrava {

namespace {
const std::vector<FieldRead> &readOut()
{
    static const std::vector<FieldRead> fields = [] {
        std::vector<FieldRead> all{{&tpa81::fields::Version, -1, {tpa81::Version}, firstByte},
                                   {&tpa81::fields::Ambient, -1, {tpa81::Ambient}, firstByte}};
        for (int pixel = 0; pixel < tpa81::PixelCount; ++pixel)
            all.push_back({&tpa81::fields::Pixel, pixel, {quint8(tpa81::FirstPixel + pixel)}, firstByte});
        return all;
    }();
    return fields;
}
} // namespace

Outcome readThermal(TransactionEngine &engine, const ReadingSink &sink)
{
    const auto shownAtOnce = [&engine, &sink](const Reading &reading) {
        sink(reading);
        engine.processPendingEvents(); // lets a caption show before the next read
    };
    return readFields(engine, tpa81::Address, readOut(), shownAtOnce);
}

Outcome readThermalAtOnce(InStepLink &link, const ReadingSink &sink)
{
    return readFieldsAtOnce(link, tpa81::Address, readOut(), sink);
}

} // namespace kestrava
