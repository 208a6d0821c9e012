#include "drive/telemetry.h"

#include "drive/md23.h"
#include "numbers/numberformat.h"
#include "link/serialline.h"

namespace kestrava {

namespace {

// The window's caption rule: unsigned, in single precision.
double windowCountValue(const std::vector<quint8> &b)
{
    return encoderCount(b[0], b[1], b[2], b[3]);
}

// The count the controller holds, exact.
double trueCountValue(const std::vector<quint8> &b)
{
    return md23::countFromBytes(b[0], b[1], b[2], b[3]);
}

double tenthsValue(const std::vector<quint8> &b)
{
    return tenths(b[0]);
}

QString singleCaption(double value)
{
    return formatSingle(float(value));
}

struct CountRule
{
    double (*value)(const std::vector<quint8> &bytes);
    QString (*caption)(double value);
};

// The version is read before the currents.
std::vector<FieldRead> readOut(CountRule counts)
{
    using namespace md23;
    return {
        {&fields::Encoder1, -1, {Encoder1, Encoder1 + 1, Encoder1 + 2, Encoder1 + 3}, counts.value, counts.caption},
        {&fields::Encoder2, -1, {Encoder2, Encoder2 + 1, Encoder2 + 2, Encoder2 + 3}, counts.value, counts.caption},
        {&fields::Battery, -1, {BatteryVoltage}, tenthsValue, singleCaption},
        {&fields::Version, -1, {SoftwareVersion}, firstByte, wholeCaption},
        {&fields::Current1, -1, {Motor1Current}, tenthsValue, singleCaption},
        {&fields::Current2, -1, {Motor2Current}, tenthsValue, singleCaption},
    };
}

} // namespace

Outcome readTelemetry(TransactionEngine &engine, const ReadingSink &sink)
{
    // Late answers to an earlier read-out must not be taken for this one's.
    engine.line().discardInput();
    static const std::vector<FieldRead> fields = readOut({windowCountValue, singleCaption});
    return readFields(engine, md23::Address, fields, sink);
}

Outcome readTelemetryAtOnce(InStepLink &link, const ReadingSink &sink)
{
    // Programs compute with these counts: they get the controller's own numbers,
    // not the window's rounded captions.
    static const std::vector<FieldRead> fields = readOut({trueCountValue, wholeCaption});
    return readFieldsAtOnce(link, md23::Address, fields, sink);
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
