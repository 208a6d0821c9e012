#include "sensors/thermalarray.h"

#include "sensors/tpa81.h"

namespace kestrava {

namespace {
const std::vector<FieldRead> &readOut()
{
    static const std::vector<FieldRead> fields = [] {
        std::vector<FieldRead> all{{"version", -1, {tpa81::Version}, firstByte, wholeCaption},
                                   {"ambient", -1, {tpa81::Ambient}, firstByte, wholeCaption}};
        for (int pixel = 0; pixel < tpa81::PixelCount; ++pixel)
            all.push_back({"pixel", pixel, {quint8(tpa81::FirstPixel + pixel)}, firstByte, wholeCaption});
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
    return readFields(engine, QStringLiteral("tpa81"), tpa81::Address, readOut(), shownAtOnce);
}

Outcome readThermalAtOnce(InStepLink &link, const ReadingSink &sink)
{
    return readFieldsAtOnce(link, QStringLiteral("tpa81"), tpa81::Address, readOut(), sink);
}

} // namespace kestrava
