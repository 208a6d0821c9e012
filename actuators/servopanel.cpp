#include "servopanel.h"

#include "frames.h"
#include "modulecontext.h"

#include <QLabel>
#include <QScrollBar>

namespace kestrava {

std::array<QByteArray, 2> servoPositionFrames(int index, quint16 position)
{
    const quint8 firstRegister = quint8(3 * index + 1);
    return {registerWriteFrame(ServoControllerAddress, firstRegister, quint8(position % 256)),
            registerWriteFrame(ServoControllerAddress, quint8(firstRegister + 1), quint8(position / 256))};
}

QByteArray servoSpeedFrame(int index, quint8 speed)
{
    return registerWriteFrame(ServoControllerAddress, quint8(3 * index), speed);
}

QString servoCaption(int position)
{
    return QString::number(position).left(2);
}

ServoPanel::ServoPanel(const ModuleContext &context, QObject *parent)
    : QObject(parent)
    , m_context(context)
{
}

void ServoPanel::ServoScroll_Change(qint16 index)
{
    if (index < 0 || index >= ServoCount)
        return;
    const QScrollBar &bar = m_context.control<QScrollBar>(QStringLiteral("ServoScroll"), index);
    const quint16 position = quint16(qBound(0, bar.value(), 0xFFFF));
    for (const QByteArray &frame : servoPositionFrames(index, position)) {
        if (m_context.engine.transact(frame, 1) == Outcome::NotSent)
            break;
    }
    // The bar may have moved while the answers were awaited; the caption follows the bar.
    m_context.control<QLabel>(QStringLiteral("ServoVal"), index).setText(servoCaption(bar.value()));
}

void ServoPanel::VeloScroll_Change()
{
    const QScrollBar &bar = m_context.control<QScrollBar>(QStringLiteral("VeloScroll"));
    for (int index = 0; index < ServoCount; ++index) {
        const quint8 speed = quint8(qBound(0, bar.value(), 0xFF)); // read afresh for every servo
        if (m_context.engine.transact(servoSpeedFrame(index, speed), 1) == Outcome::NotSent)
            return;
    }
}

} // namespace kestrava
