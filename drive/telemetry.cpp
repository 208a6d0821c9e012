#include "telemetry.h"

#include "frames.h"
#include "md23.h"
#include "modulecontext.h"
#include "numberformat.h"
#include "serialline.h"

#include <QLabel>

#include <optional>
#include <vector>

namespace kestrava {

namespace {

using RegisterBytes = std::vector<quint8>;

// One value of the read-out: the registers it is made of, in reading order, how
// its caption is made from their bytes, and the label that shows it.
struct Reading
{
    RegisterBytes registers;
    QString (*caption)(const RegisterBytes &bytes);
    const char *label;
};

QString countCaption(const RegisterBytes &b)
{
    return formatSingle(encoderCount(b[0], b[1], b[2], b[3]));
}

QString tenthsCaption(const RegisterBytes &b)
{
    return formatSingle(tenths(b[0]));
}

QString wholeCaption(const RegisterBytes &b)
{
    return QString::number(b[0]);
}

// The version is read before the currents.
const std::vector<Reading> &readOut()
{
    using namespace md23;
    static const std::vector<Reading> readings{
        {{Encoder1, Encoder1 + 1, Encoder1 + 2, Encoder1 + 3}, countCaption, "LblConta1"},
        {{Encoder2, Encoder2 + 1, Encoder2 + 2, Encoder2 + 3}, countCaption, "LblConta2"},
        {{BatteryVoltage}, tenthsCaption, "LblBateria"},
        {{SoftwareVersion}, wholeCaption, "LblVersionMD23"},
        {{Motor1Current}, tenthsCaption, "LblCon1"},
        {{Motor2Current}, tenthsCaption, "LblCon2"},
    };
    return readings;
}

// One register read transaction. After a time-out the byte is whatever
// ReplyBuffer[0] still holds; nothing at all when the frame could not be sent.
std::optional<quint8> readRegister(TransactionEngine &engine, quint8 reg)
{
    if (engine.send(registerReadFrame(md23::Address, reg, 1)) != Outcome::Sent)
        return std::nullopt;
    engine.WaitForReply(1);
    return engine.reply(0);
}

void CmdLeerDatos_Click(const ModuleContext &context)
{
    // Late answers to an earlier click must not be taken for this one's.
    context.engine.line().discardInput();
    for (const Reading &reading : readOut()) {
        RegisterBytes bytes;
        for (quint8 reg : reading.registers) {
            const std::optional<quint8> byte = readRegister(context.engine, reg);
            if (!byte)
                return; // port closed: the labels keep what they show
            bytes.push_back(*byte);
        }
        context.control<QLabel>(QString::fromLatin1(reading.label)).setText(reading.caption(bytes));
    }
}

} // namespace

void installTelemetry(const ModuleContext &context)
{
    context.handlers.add(QStringLiteral("CmdLeerDatos_Click"),
                         [context] { CmdLeerDatos_Click(context); });
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
