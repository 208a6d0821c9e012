#include "motion.h"

#include "reading.h"

#include "frames.h"
#include "serialline.h"

namespace kestrava {

Outcome writeSetting(TransactionEngine &engine, md23::SettingButton setting)
{
    return engine.writeRegister(md23::Address, setting.reg, setting.value);
}

void runTimedMove(TransactionEngine &engine, quint8 reg, md23::TimedMove move)
{
    // Nothing to stop when the drive frame cannot go out.
    if (!engine.line().isOpen())
        return;
    engine.writeRegister(md23::Address, reg, move.drive);
    engine.WaitTicks(move.ticks);
    engine.writeRegister(md23::Address, reg, md23::Stop);
}

Outcome driveMotors(TransactionEngine &engine, quint8 speed1, quint8 speed2)
{
    const std::array<QByteArray, 2> frames{registerWriteFrame(md23::Address, md23::Speed1, speed1),
                                           registerWriteFrame(md23::Address, md23::Speed2Turn, speed2)};
    return transactEach(engine, frames);
}

Outcome stopMotors(TransactionEngine &engine)
{
    return driveMotors(engine, md23::Stop, md23::Stop);
}

} // namespace kestrava
