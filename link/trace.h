#pragma once

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

namespace kestrava {

// One line per frame sent and per reply taken or timed out:
//   "<ms since start> COM<n> TX 55 B0 00 01 80"
//   "<ms> COM<n> RX 01"   "<ms> COM<n> TIMEOUT"   "<ms> COM<n> CLOSED 55 ..." (not sent)
// Off unless a file is given (--trace FILE or KESTRAVA_TRACE=FILE).
class Trace
{
public:
    bool open(const QString &path);
    bool isOn() const { return m_file.isOpen(); }
    void write(int comPort, QStringView kind, QByteArrayView bytes = {});

private:
    QFile m_file;
    QElapsedTimer m_clock;
};

} // namespace kestrava
