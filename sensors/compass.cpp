#include "sensors/compass.h"

#include "sensors/cmps03.h"

namespace kestrava {

namespace {
qint64 bearingValue(const std::vector<quint8> &b)
{
    return cmps03::bearingFromBytes(b[0], b[1]);
}

const std::vector<FieldRead> &readOut()
{
    using namespace cmps03;
    static const std::vector<FieldRead> fields{
        {&fields::Version, -1, {Version}, firstByte},
        {&fields::Bearing, -1, {BearingHigh, BearingLow}, bearingValue},
    };
    return fields;
}
} // namespace

Outcome readCompass(TransactionEngine &engine, const ReadingSink &sink)
{
    return readFields(engine, cmps03::Address, readOut(), sink);
}

Outcome readCompassAtOnce(InStepLink &link, const ReadingSink &sink)
{
    return readFieldsAtOnce(link, cmps03::Address, readOut(), sink);
}

} // namespace kestrava
