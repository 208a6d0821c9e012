#include "link/frames.h"

#include <QString>

namespace kestrava {

QByteArray registerWriteFrame(quint8 address, quint8 firstRegister, QByteArrayView data)
{
    Q_ASSERT(data.size() <= 255);
    QByteArray frame;
    frame.reserve(4 + data.size());
    frame.append(char(AdapterRegisterCommand));
    frame.append(char(address));
    frame.append(char(firstRegister));
    frame.append(char(quint8(data.size())));
    frame.append(data);
    return frame;
}

QByteArray registerWriteFrame(quint8 address, quint8 reg, quint8 value)
{
    const char byte = char(value);
    return registerWriteFrame(address, reg, QByteArrayView(&byte, 1));
}

QByteArray registerReadFrame(quint8 address, quint8 firstRegister, quint8 count)
{
    QByteArray frame;
    frame.append(char(AdapterRegisterCommand));
    frame.append(char(quint8(address + 1)));
    frame.append(char(firstRegister));
    frame.append(char(count));
    return frame;
}

QString hexBytes(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

} // namespace kestrava
