#pragma once

#include "modulecontext.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>

namespace kestrava {

// The servo controller: 21 servos, three registers each (speed, position low,
// position high), written one byte at a time. Nothing is read back.
inline constexpr quint8 ServoControllerAddress = 0xC2;
inline constexpr int ServoCount = 21;

// Position of servo `index` (0..20): low byte to register 3·index + 1, then high
// byte to register 3·index + 2.
std::array<QByteArray, 2> servoPositionFrames(int index, quint16 position);
// Speed byte to register 3·index, the speed register of servo `index`.
QByteArray servoSpeedFrame(int index, quint8 speed);
// What ServoVal shows: the first two digits of the position (1500 → "15", 500 → "50").
QString servoCaption(int position);

// ServoScroll_Change and VeloScroll_Change. The scroll bars are the only record
// of what was sent.
class ServoPanel : public QObject
{
    Q_OBJECT
public:
    ServoPanel(const ModuleContext &context, QObject *parent);

    void ServoScroll_Change(qint16 index);
    void VeloScroll_Change();

private:
    ModuleContext m_context; // a copy: the one passed in lives only during installation
};

} // namespace kestrava
