#include "sim/modules/simlcd03.h"

namespace kestrava::sim {

namespace {
// Key characters in bit order: register 1 bits 0..7, then register 2 bits 0..3.
constexpr char16_t KeyOrder[] = u"12345678" u"9*0#";
constexpr qsizetype MaxTypedKeys = 256;
} // namespace

SimLcd03::SimLcd03()
{
    clear();
}

void SimLcd03::write(quint8 firstRegister, QByteArrayView data, SimTime now)
{
    // The command register is a stream: every byte of a run goes to the display.
    if (firstRegister != CommandRegister) {
        SimModule::write(firstRegister, data, now);
        return;
    }
    for (const char byte : data)
        show(quint8(byte));
}

void SimLcd03::show(quint8 byte)
{
    switch (byte) {
    case 1: m_row = m_column = 0; return;
    case 12: clear(); return;
    case 13: m_column = 0; m_row = (m_row + 1) % Rows; return;
    case 19: m_backlight = true; return;
    case 20: m_backlight = false; return;
    default: break;
    }
    if (byte < 32)
        return; // other control codes are not simulated
    m_lines[size_t(m_row)][m_column] = char(byte);
    if (++m_column == Columns) {
        m_column = 0;
        m_row = (m_row + 1) % Rows;
    }
}

void SimLcd03::clear()
{
    for (QByteArray &line : m_lines)
        line = QByteArray(Columns, ' ');
    m_row = m_column = 0;
}

QStringList SimLcd03::screen() const
{
    QStringList lines;
    for (const QByteArray &line : m_lines)
        lines << QString::fromLatin1(line);
    return lines;
}

std::optional<int> SimLcd03::keyBit(QChar key)
{
    for (int bit = 0; bit < 12; ++bit) {
        if (KeyOrder[bit] == key.unicode())
            return bit;
    }
    return std::nullopt;
}

bool SimLcd03::isKey(QChar key)
{
    return keyBit(key).has_value();
}

bool SimLcd03::press(QChar key)
{
    const std::optional<int> bit = keyBit(key);
    if (bit)
        m_held |= quint16(1 << *bit);
    return bit.has_value();
}

bool SimLcd03::release(QChar key)
{
    const std::optional<int> bit = keyBit(key);
    if (bit)
        m_held &= quint16(~(1 << *bit));
    return bit.has_value();
}

bool SimLcd03::type(const QString &keys, int reads)
{
    if (reads < 1 || keys.isEmpty() || m_typing.size() + keys.size() > MaxTypedKeys)
        return false;
    for (const QChar key : keys) {
        if (!isKey(key))
            return false;
    }
    for (const QChar key : keys)
        m_typing.push_back({*keyBit(key), reads});
    return true;
}

quint16 SimLcd03::keysDown() const
{
    quint16 bits = m_held;
    if (!m_releaseRead && !m_typing.empty())
        bits |= quint16(1 << m_typing.front().bit);
    return bits;
}

quint8 SimLcd03::peek(quint8 reg, SimTime now) const
{
    switch (reg) {
    case CommandRegister: return FreeBuffer;
    case KeypadLow: return quint8(keysDown() & 0xFF);
    case KeypadHigh: return quint8(keysDown() >> 8);
    case VersionRegister: return SoftwareVersion;
    default: return SimModule::peek(reg, now);
    }
}

quint8 SimLcd03::readRegister(quint8 reg, SimTime now)
{
    const quint8 value = peek(reg, now);
    if (reg != KeypadLow && reg != KeypadHigh)
        return value;
    if (m_releaseRead) {
        m_releaseRead = false;
    } else if (!m_typing.empty() && registerOfBit(m_typing.front().bit) == reg
               && --m_typing.front().readsLeft == 0) {
        m_typing.pop_front();
        m_releaseRead = true;
    }
    return value;
}

QStringList SimLcd03::describe(SimTime) const
{
    return {QStringLiteral("backlight %1, cursor row %2 column %3, %4 keys waiting to be typed")
                .arg(m_backlight ? "on" : "off").arg(m_row + 1).arg(m_column + 1).arg(m_typing.size())};
}

} // namespace kestrava::sim
