#include "panel/eventhandlers.h"

#include "drive/drivepad.h"
#include "drive/motion.h"
#include "drive/telemetry.h"
#include "panel/readingbinding.h"

#include <QLabel>

namespace kestrava {

namespace {

constexpr qint16 LeftButtonAlone = 1;

// An array's click: the element's index picks the move from the table.
void runTimedMoveAt(TransactionEngine &engine, quint8 reg, const std::array<md23::TimedMove, 8> &table,
                    qint16 index)
{
    if (index < 0 || size_t(index) >= table.size()) {
        qWarning("kestrava: no timed move for index %d", index);
        return;
    }
    runTimedMove(engine, reg, table[size_t(index)]);
}

// Image1_MouseDown and Image1_MouseMove: the two values are shown, then sent.
void padUpdate(const ModuleContext &context, const MotorControls &shown, const MouseArgs &mouse)
{
    if (mouse.button != LeftButtonAlone)
        return;
    const PadSpeeds speeds = padSpeeds(mouse.x, mouse.y);
    shown.Label10->setText(QString::number(speeds.turn));
    shown.Label9->setText(QString::number(speeds.speed));
    driveMotors(context.engine, speeds.speed, speeds.turn);
}

} // namespace

void EventHandlers::Command2_Click() { writeSetting(m_context.engine, md23::settings::Motor1Run); }
void EventHandlers::Command3_Click() { writeSetting(m_context.engine, md23::settings::Motor1Stop); }
void EventHandlers::CmdStopOff_Click() { writeSetting(m_context.engine, md23::settings::TimeoutStopOff); }
void EventHandlers::CmdStopOn_Click() { writeSetting(m_context.engine, md23::settings::TimeoutStopOn); }
void EventHandlers::CmdAcel10_Click() { writeSetting(m_context.engine, md23::settings::Acceleration10); }
void EventHandlers::CmdAcel5_Click() { writeSetting(m_context.engine, md23::settings::Acceleration5); }
void EventHandlers::CmdAcel1_Click() { writeSetting(m_context.engine, md23::settings::Acceleration1); }
void EventHandlers::CmdModo2_Click() { writeSetting(m_context.engine, md23::settings::Mode2); }
void EventHandlers::CmdModo0_Click() { writeSetting(m_context.engine, md23::settings::Mode0); }
void EventHandlers::CmdAutoOn_Click() { writeSetting(m_context.engine, md23::settings::SpeedRegulationOn); }
void EventHandlers::CmdAutoOff_Click() { writeSetting(m_context.engine, md23::settings::SpeedRegulationOff); }
void EventHandlers::CmdResetCounter_Click() { writeSetting(m_context.engine, md23::settings::ResetEncoders); }

void EventHandlers::CmdAdelante1_Click(qint16 index)
{
    runTimedMoveAt(m_context.engine, md23::Speed1, md23::StraightMoves, index);
}

void EventHandlers::CmdGiro_Click(qint16 index)
{
    runTimedMoveAt(m_context.engine, md23::Speed2Turn, md23::TurnMoves, index);
}

void EventHandlers::CmdLeerDatos_Click()
{
    showSequence(readTelemetry);
}

void EventHandlers::Image1_MouseDown(const MouseArgs &mouse)
{
    padUpdate(m_context, m_controls, mouse);
}

void EventHandlers::Image1_MouseMove(const MouseArgs &mouse)
{
    padUpdate(m_context, m_controls, mouse);
}

void EventHandlers::Image1_MouseUp(const MouseArgs &)
{
    stopMotors(m_context.engine);
}

} // namespace kestrava
