#include "link/trace.h"

#include "link/frames.h"

namespace kestrava {

bool Trace::open(const QString &path)
{
    m_file.setFileName(path);
    m_clock.start();
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text | QIODevice::Unbuffered);
}

void Trace::write(int comPort, QStringView kind, QByteArrayView bytes)
{
    if (!m_file.isOpen())
        return;
    QString line = QStringLiteral("%1 COM%2 %3").arg(m_clock.elapsed()).arg(comPort).arg(kind);
    if (!bytes.isEmpty())
        line += u' ' + hexBytes(bytes);
    line += u'\n';
    m_file.write(line.toLatin1());
}

} // namespace kestrava
