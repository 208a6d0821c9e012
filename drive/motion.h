#pragma once

#include "drive/md23.h"
#include "link/reading.h"
#include "link/transactionengine.h"

#include <optional>

namespace kestrava {

// One register of the MD23 written once (the setting buttons).
Outcome writeSetting(TransactionEngine &engine, md23::SettingButton setting);

// Drive, wait the move's ticks, stop. Once the drive frame is out, the stop frame
// always follows, whatever became of the drive frame's answer. With the port
// closed nothing is sent and nothing is waited for.
void runTimedMove(TransactionEngine &engine, quint8 reg, md23::TimedMove move);

// Speed 1 then speed 2 (or turn); a first frame that cannot go out ends it.
Outcome driveMotors(TransactionEngine &engine, quint8 speed1, quint8 speed2);
// Both registers to 128.
Outcome stopMotors(TransactionEngine &engine);

// The motors as the command line and the server drive them, over a link kept in
// step: the one owner of the controller's mode, of whether the wheels run, and of
// how to stop them. The mode is read before the first speed frame, so that every
// stop is the stop of that mode: a stop of 128 in modes 1 and 3 would be full reverse.
class Motors
{
public:
    explicit Motors(InStepLink &link);

    // Speed 1 then speed 2, the raw register values of the controller's mode.
    // Refused, with nothing sent, when the mode cannot be read or is not 0 to 3.
    Outcome drive(quint8 speed1, quint8 speed2);
    // Each wheel's steps from the stop (positive forwards, at most md23::FullestStep
    // either way), both in one frame, in md23::WheelsMode. Another mode is left first in
    // one frame that also puts both speeds at the stop of WheelsMode, since they keep
    // their values across the change and mode 1's stop is full reverse in mode 0.
    // Refused, with nothing sent, when the registers cannot be read.
    Outcome wheels(int left, int right);
    // Both registers to the stop of the mode.
    Outcome stop();
    // Set when a speed frame went out, until a stop is answered.
    bool moving() const { return m_moving; }
    // A raw write to the bus, behind this object's back (a register poked by hand): a new
    // mode is read again before the next stop, and speeds written by hand are taken to run.
    void noteRawWrite(quint8 address, quint8 firstRegister, qsizetype count);

    // What the last call met: the register that went unanswered, or why it refused.
    const std::optional<Unanswered> &failure() const { return m_failure; }
    const QString &refusal() const { return m_refusal; }

private:
    void forgetFailure();
    bool knowMode();
    bool enterWheelsMode();
    Outcome writeSpeeds(quint8 speed1, quint8 speed2);
    Outcome writeFrame(quint8 firstRegister, QByteArrayView bytes);

    InStepLink &m_link;
    std::optional<quint8> m_mode;
    bool m_moving = false;
    std::optional<Unanswered> m_failure;
    QString m_refusal;
};

} // namespace kestrava
