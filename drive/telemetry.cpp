#include "drive/telemetry.h"

#include "drive/md23.h"

namespace kestrava {

namespace {

qint64 countValue(const std::vector<quint8> &b)
{
    return md23::countFromBytes(b[0], b[1], b[2], b[3]);
}

// The version is read before the currents.
const std::vector<FieldRead> &readOut()
{
    using namespace md23;
    static const std::vector<FieldRead> fields{
        {&fields::Encoder1, -1, {Encoder1, Encoder1 + 1, Encoder1 + 2, Encoder1 + 3}, countValue},
        {&fields::Encoder2, -1, {Encoder2, Encoder2 + 1, Encoder2 + 2, Encoder2 + 3}, countValue},
        {&fields::Battery, -1, {BatteryVoltage}, firstByte},
        {&fields::Version, -1, {SoftwareVersion}, firstByte},
        {&fields::Current1, -1, {Motor1Current}, firstByte},
        {&fields::Current2, -1, {Motor2Current}, firstByte},
    };
    return fields;
}

} // namespace

Outcome readTelemetry(TransactionEngine &engine, const ReadingSink &sink)
{
    // Late answers to an earlier read-out must not be taken for this one's.
    engine.discardInput();
    return readFields(engine, md23::Address, readOut(), sink);
}

Outcome readTelemetryAtOnce(InStepLink &link, const ReadingSink &sink)
{
    return readFieldsAtOnce(link, md23::Address, readOut(), sink);
}

} // namespace kestrava
