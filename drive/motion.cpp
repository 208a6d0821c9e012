#include "drive/motion.h"

#include "link/reading.h"

#include "link/frames.h"
#include "link/instep.h"

namespace kestrava {

Outcome writeSetting(TransactionEngine &engine, md23::SettingButton setting)
{
    return engine.writeRegister(md23::Address, setting.reg, setting.value);
}

void runTimedMove(TransactionEngine &engine, quint8 reg, md23::TimedMove move)
{
    // Nothing to stop when the drive frame cannot go out.
    if (!engine.isOpen())
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

Motors::Motors(InStepLink &link)
    : m_link(link)
{
}

Outcome Motors::drive(quint8 speed1, quint8 speed2)
{
    if (!knowMode())
        return m_failure ? m_failure->outcome : Outcome::Refused;
    m_moving = true; // from the first frame on, a wheel may turn
    return writeSpeeds(speed1, speed2);
}

Outcome Motors::stop()
{
    if (!knowMode())
        return m_failure ? m_failure->outcome : Outcome::Refused;
    const quint8 stop = md23::stopFor(*m_mode);
    const Outcome outcome = writeSpeeds(stop, stop);
    if (outcome == Outcome::Taken)
        m_moving = false;
    return outcome;
}

bool Motors::knowMode()
{
    m_failure.reset();
    m_refusal.clear();
    if (m_mode)
        return true;
    const Answer answer = m_link.readRegisters(md23::Address, md23::Mode, 1);
    if (!answer.taken()) {
        m_failure = Unanswered{md23::Address, md23::Mode, answer.outcome};
        m_refusal = QStringLiteral("the motor controller's mode could not be read, and the stop differs between modes");
        return false;
    }
    const quint8 mode = quint8(answer.bytes[0]);
    if (mode > md23::HighestMode) {
        m_refusal = QStringLiteral("the motor controller reports mode %1, not 0 to 3").arg(mode);
        return false;
    }
    m_mode = mode;
    return true;
}

Outcome Motors::writeSpeeds(quint8 speed1, quint8 speed2)
{
    Outcome result = Outcome::Taken;
    const std::array<std::pair<quint8, quint8>, 2> writes{{{md23::Speed1, speed1}, {md23::Speed2Turn, speed2}}};
    for (const auto &[reg, value] : writes) {
        const char byte = char(value);
        const Outcome outcome = m_link.writeRegisters(md23::Address, reg, QByteArrayView(&byte, 1)).outcome;
        if (outcome != Outcome::Taken && !m_failure)
            m_failure = Unanswered{md23::Address, reg, outcome};
        result = worseOf(result, outcome);
        if (outcome == Outcome::NotSent || outcome == Outcome::Lost)
            break;
    }
    return result;
}

} // namespace kestrava
