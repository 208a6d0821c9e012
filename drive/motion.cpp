#include "drive/motion.h"

#include "link/reading.h"

#include "link/frames.h"
#include "link/instep.h"

#include <algorithm>

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

Outcome Motors::wheels(int left, int right)
{
    if (!enterWheelsMode())
        return m_failure ? m_failure->outcome : Outcome::Refused;
    const auto speed = [](int steps) { return char(md23::Stop + std::clamp(steps, -md23::FullestStep, md23::FullestStep)); };
    const std::array<char, 2> speeds{speed(left), speed(right)};
    m_moving = true;
    return writeFrame(md23::Speed1, QByteArrayView(speeds.data(), speeds.size()));
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

void Motors::noteRawWrite(quint8 address, quint8 firstRegister, qsizetype count)
{
    const auto covers = [&](quint8 reg) { return address == md23::Address && firstRegister <= reg && reg < firstRegister + count; };
    if (covers(md23::Mode))
        m_mode.reset();
    if (covers(md23::Speed1) || covers(md23::Speed2Turn))
        m_moving = true;
}

void Motors::forgetFailure()
{
    m_failure.reset();
    m_refusal.clear();
}

bool Motors::knowMode()
{
    forgetFailure();
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

// The registers from the speeds to the mode go back as they were read, but for the mode
// and both speeds at its stop; the read-only ones between ignore the write.
bool Motors::enterWheelsMode()
{
    forgetFailure();
    if (m_mode == md23::WheelsMode)
        return true;
    const Answer answer = m_link.readRegisters(md23::Address, md23::Speed1, md23::Mode + 1);
    if (!answer.taken()) {
        m_failure = Unanswered{md23::Address, md23::Speed1, answer.outcome};
        return false;
    }
    QByteArray registers = answer.bytes;
    if (quint8(registers[md23::Mode]) != md23::WheelsMode) {
        m_mode.reset(); // until the switch is answered, the mode is not known
        registers[md23::Speed1] = registers[md23::Speed2Turn] = char(md23::stopFor(md23::WheelsMode));
        registers[md23::Mode] = char(md23::WheelsMode);
        if (writeFrame(md23::Speed1, registers) != Outcome::Taken)
            return false;
    }
    m_mode = md23::WheelsMode;
    return true;
}

Outcome Motors::writeSpeeds(quint8 speed1, quint8 speed2)
{
    Outcome result = Outcome::Taken;
    for (const auto &[reg, value] : {std::pair{md23::Speed1, speed1}, std::pair{md23::Speed2Turn, speed2}}) {
        const char byte = char(value);
        const Outcome outcome = writeFrame(reg, QByteArrayView(&byte, 1));
        result = worseOf(result, outcome);
        if (outcome == Outcome::NotSent || outcome == Outcome::Lost)
            break;
    }
    return result;
}

// One frame from firstRegister on; the first register to go unanswered is the failure.
Outcome Motors::writeFrame(quint8 firstRegister, QByteArrayView bytes)
{
    const Outcome outcome = m_link.writeRegisters(md23::Address, firstRegister, bytes).outcome;
    if (outcome != Outcome::Taken && !m_failure)
        m_failure = Unanswered{md23::Address, firstRegister, outcome};
    return outcome;
}

} // namespace kestrava
