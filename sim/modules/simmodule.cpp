#include "sim/modules/simmodule.h"

namespace kestrava::sim {

void SimModule::write(quint8 firstRegister, QByteArrayView data, SimTime now)
{
    quint8 reg = firstRegister;
    for (const char byte : data)
        writeRegister(reg++, quint8(byte), now);
}

QByteArray SimModule::read(quint8 firstRegister, quint8 count, SimTime now)
{
    QByteArray bytes;
    bytes.reserve(count);
    quint8 reg = firstRegister;
    for (int i = 0; i < count; ++i)
        bytes.append(char(readRegister(reg++, now)));
    return bytes;
}

quint8 SimModule::peek(quint8 reg, SimTime) const
{
    return m_registers[reg];
}

void SimModule::writeRegister(quint8 reg, quint8 value, SimTime)
{
    m_registers[reg] = value;
}

} // namespace kestrava::sim
