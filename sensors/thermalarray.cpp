#include "thermalarray.h"

#include <QLabel>

namespace kestrava {

ThermalArray::ThermalArray(const ModuleContext &context)
    : QObject(&context.panel)
    , m_context(context)
{
}

void ThermalArray::CmdTPA81_Click()
{
    for (int i = 0; i < RegisterCount; ++i) {
        // After a time-out the box shows whatever byte an earlier reply left; a
        // frame that never went out shows nothing and ends the sequence.
        if (m_context.engine.readRegisters(Address, quint8(i), 1) == Outcome::NotSent)
            return;
        m_context.control<QLabel>(QStringLiteral("LblPixel"), i)
            .setText(QString::number(m_context.engine.reply(0)));
        m_context.engine.processPendingEvents(); // lets the caption show before the next read
    }
}

} // namespace kestrava
