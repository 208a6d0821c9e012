#include "actuators/servos.h"

#include "link/frames.h"
#include "link/reading.h"

namespace kestrava {

namespace {
quint8 servoRegister(int index, quint8 reg)
{
    return quint8(sd21::RegistersPerServo * index + reg);
}

} // namespace

std::array<QByteArray, 2> servoPositionFrames(int index, quint16 position)
{
    return {registerWriteFrame(sd21::Address, servoRegister(index, sd21::PositionLow), quint8(position % 256)),
            registerWriteFrame(sd21::Address, servoRegister(index, sd21::PositionHigh), quint8(position / 256))};
}

QByteArray servoSpeedFrame(int index, quint8 speed)
{
    return registerWriteFrame(sd21::Address, servoRegister(index, sd21::Speed), speed);
}

QString servoCaption(int position)
{
    return QString::number(position).left(2);
}

Outcome writeServoPosition(TransactionEngine &engine, int index, quint16 position)
{
    return transactEach(engine, servoPositionFrames(index, position));
}

Outcome writeServoSpeeds(TransactionEngine &engine, const std::function<quint8()> &speed)
{
    return transactEach(engine, sd21::ServoCount, [&speed](int index) { return servoSpeedFrame(index, speed()); });
}

} // namespace kestrava
