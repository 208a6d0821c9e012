#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace kestrava {

// Register 0 takes the commands of most modules (ranging, display codes and
// text, the address change sequence).
inline constexpr quint8 CommandRegister = 0;

// The adapter command that reaches a register of a module with one-byte register numbers.
inline constexpr quint8 AdapterRegisterCommand = 0x55;

// 55, even module address, first register, N, then the N data bytes. One answer byte.
QByteArray registerWriteFrame(quint8 address, quint8 firstRegister, QByteArrayView data);
QByteArray registerWriteFrame(quint8 address, quint8 reg, quint8 value);

// 55, module address + 1, first register, N. N answer bytes.
QByteArray registerReadFrame(quint8 address, quint8 firstRegister, quint8 count);

// "55 B0 00 01 80": how frames appear in traces and messages.
QString hexBytes(QByteArrayView bytes);

} // namespace kestrava
