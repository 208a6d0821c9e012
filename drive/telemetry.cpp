#include "drive/telemetry.h"

#include "drive/md23.h"
#include "numbers/numberformat.h"
#include "link/serialline.h"

namespace kestrava {

namespace {

double countValue(const std::vector<quint8> &b)
{
    return encoderCount(b[0], b[1], b[2], b[3]);
}

double tenthsValue(const std::vector<quint8> &b)
{
    return tenths(b[0]);
}

QString singleCaption(double value)
{
    return formatSingle(float(value));
}

// The version is read before the currents.
const std::vector<FieldRead> &readOut()
{
    using namespace md23;
    static const std::vector<FieldRead> fields{
        {&fields::Encoder1, -1, {Encoder1, Encoder1 + 1, Encoder1 + 2, Encoder1 + 3}, countValue, singleCaption},
        {&fields::Encoder2, -1, {Encoder2, Encoder2 + 1, Encoder2 + 2, Encoder2 + 3}, countValue, singleCaption},
        {&fields::Battery, -1, {BatteryVoltage}, tenthsValue, singleCaption},
        {&fields::Version, -1, {SoftwareVersion}, firstByte, wholeCaption},
        {&fields::Current1, -1, {Motor1Current}, tenthsValue, singleCaption},
        {&fields::Current2, -1, {Motor2Current}, tenthsValue, singleCaption},
    };
    return fields;
}

} // namespace

Outcome readTelemetry(TransactionEngine &engine, const ReadingSink &sink)
{
    // Late answers to an earlier read-out must not be taken for this one's.
    engine.line().discardInput();
    return readFields(engine, md23::Address, readOut(), sink);
}

Outcome readTelemetryAtOnce(InStepLink &link, const ReadingSink &sink)
{
    return readFieldsAtOnce(link, md23::Address, readOut(), sink);
}

float encoderCount(quint8 b0, quint8 b1, quint8 b2, quint8 b3)
{
    const quint32 count = quint32(b0) << 24 | quint32(b1) << 16 | quint32(b2) << 8 | b3;
    return float(count); // nearest single, ties to even
}

float tenths(quint8 byte)
{
    return float(byte / 10.0);
}

} // namespace kestrava
