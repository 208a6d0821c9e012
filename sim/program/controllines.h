#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace kestrava::sim {

// One command line as it came: its text, or only that it was too long.
struct ControlLine
{
    QString text;
    bool tooLong = false;
};

// Control commands arrive in pieces of any size, on standard input or a socket: this
// cuts them into whole lines. A line longer than MaxLine is refused whole when its end
// comes, so a runaway writer cannot grow the buffer.
class ControlLines
{
public:
    static constexpr qsizetype MaxLine = 4096;

    // The lines these bytes complete, in order; a line's start waits for its end.
    std::vector<ControlLine> take(QByteArrayView bytes);

    // The one answer to a line too long to carry out.
    static QString tooLongAnswer();

private:
    QByteArray m_pending;
    bool m_tooLong = false;
};

} // namespace kestrava::sim
