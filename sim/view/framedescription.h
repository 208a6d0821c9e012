#pragma once

#include <QByteArray>
#include <QString>

namespace kestrava::simview {

// One line of the bus list: a frame as it came off the line and the answer the
// adapter gave (empty when it gave none), with the name of the module at its
// address ("MD23", or empty for no module). For instance 55 B1 02 04 answered
// 00 00 01 F4 by the MD23 reads
//   "B0 MD23  read  reg 2, 4 bytes → 00 00 01 F4".
QString describeFrame(const QByteArray &frame, const QByteArray &answer, const QString &module);

} // namespace kestrava::simview
