#include "panel/drivebinding.h"

#include "drive/drivepad.h"
#include "panel/modulecontext.h"
#include "drive/motion.h"
#include "panel/readingbinding.h"
#include "drive/telemetry.h"

#include <QLabel>

namespace kestrava {

namespace {

constexpr qint16 LeftButtonAlone = 1;

// An array's click handler: the element's index picks the move from the table.
EventHandlers::Indexed timedMoveHandler(TransactionEngine &engine, quint8 reg,
                                        const std::array<md23::TimedMove, 8> &table)
{
    return [&engine, reg, &table](qint16 index) {
        if (index < 0 || size_t(index) >= table.size()) {
            qWarning("kestrava: no timed move for index %d", index);
            return;
        }
        runTimedMove(engine, reg, table[size_t(index)]);
    };
}

void installCommandButtons(const ModuleContext &context)
{
    TransactionEngine &engine = context.engine;
    for (const md23::SettingButton &button : md23::SettingButtons)
        context.handlers.add(QString::fromLatin1(button.handler), [&engine, button] { writeSetting(engine, button); });
    context.handlers.add(QStringLiteral("CmdAdelante1_Click"),
                         timedMoveHandler(engine, md23::Speed1, md23::StraightMoves));
    context.handlers.add(QStringLiteral("CmdGiro_Click"),
                         timedMoveHandler(engine, md23::Speed2Turn, md23::TurnMoves));
}

// Image1_MouseDown and Image1_MouseMove: the two values are shown, then sent.
void padUpdate(const ModuleContext &context, const MouseArgs &mouse)
{
    if (mouse.button != LeftButtonAlone)
        return;
    const PadSpeeds speeds = padSpeeds(mouse.x, mouse.y);
    context.control<QLabel>(QStringLiteral("Label10")).setText(QString::number(speeds.turn));
    context.control<QLabel>(QStringLiteral("Label9")).setText(QString::number(speeds.speed));
    driveMotors(context.engine, speeds.speed, speeds.turn);
}

void installDrivePad(const ModuleContext &context)
{
    const auto update = [context](const MouseArgs &mouse) { padUpdate(context, mouse); };
    context.handlers.add(QStringLiteral("Image1_MouseDown"), EventHandlers::Mouse(update));
    // Moves that arrive while an update waits merge into the latest one; the
    // release is of another kind, so it keeps its place behind them.
    context.handlers.add(QStringLiteral("Image1_MouseMove"), EventHandlers::Mouse(update),
                         Deferral::MergeWithLatest);
    TransactionEngine &engine = context.engine;
    context.handlers.add(QStringLiteral("Image1_MouseUp"),
                         EventHandlers::Mouse([&engine](const MouseArgs &) { stopMotors(engine); }));
}

} // namespace

void installDrive(const ModuleContext &context)
{
    installCommandButtons(context);
    addReadingHandler(context, QStringLiteral("CmdLeerDatos_Click"), readTelemetry);
    installDrivePad(context);
}

} // namespace kestrava
