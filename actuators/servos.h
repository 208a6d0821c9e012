#pragma once

#include "actuators/sd21.h"
#include "link/transactionengine.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

namespace kestrava {

// Position of servo `index` (0..20): low byte to its position low register, then
// high byte to its position high register.
std::array<QByteArray, 2> servoPositionFrames(int index, quint16 position);
// Speed byte to the speed register of servo `index`.
QByteArray servoSpeedFrame(int index, quint8 speed);
// What ServoVal shows: the first two digits of the position (1500 → "15", 500 → "50").
QString servoCaption(int position);

// The two position frames; a first frame that cannot go out ends it.
Outcome writeServoPosition(TransactionEngine &engine, int index, quint16 position);
// The speed to every servo in turn, asked afresh for each (the bar may move meanwhile).
Outcome writeServoSpeeds(TransactionEngine &engine, const std::function<quint8()> &speed);

} // namespace kestrava
