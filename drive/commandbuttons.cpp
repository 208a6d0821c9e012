#include "commandbuttons.h"

#include "modulecontext.h"
#include "serialline.h"

namespace kestrava {

namespace {

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

} // namespace

void installCommandButtons(const ModuleContext &context)
{
    TransactionEngine &engine = context.engine;
    for (const md23::SettingButton &button : md23::SettingButtons) {
        context.handlers.add(QString::fromLatin1(button.handler), [&engine, button] {
            engine.writeRegister(md23::Address, button.reg, button.value);
        });
    }
    context.handlers.add(QStringLiteral("CmdAdelante1_Click"),
                         timedMoveHandler(engine, md23::Speed1, md23::StraightMoves));
    context.handlers.add(QStringLiteral("CmdGiro_Click"),
                         timedMoveHandler(engine, md23::Speed2Turn, md23::TurnMoves));
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

} // namespace kestrava
