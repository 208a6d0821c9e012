#include "actuators/display.h"

#include <QList>

namespace kestrava {

namespace {
constexpr char Unrepresentable = '?';
} // namespace

QByteArray displayBytes(QStringView text)
{
    // Counted in characters, not UTF-16 units: a character outside the basic
    // plane is one character on screen and so one byte on the wire.
    const QList<uint> characters = text.toUcs4();
    const qsizetype count = qMin(characters.size(), lcd03::TextLimit);
    QByteArray bytes;
    bytes.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        bytes.append(characters[i] <= 0xFF ? char(characters[i]) : Unrepresentable);
    return bytes;
}

QByteArray displayTextFrame(QStringView text)
{
    return registerWriteFrame(lcd03::Address, lcd03::Command, displayBytes(text));
}

QByteArray displayCommandFrame(quint8 command)
{
    return registerWriteFrame(lcd03::Address, lcd03::Command, command);
}

Outcome writeDisplayText(TransactionEngine &engine, QStringView text)
{
    return engine.transact(displayTextFrame(text), 1);
}

Outcome writeDisplayCommand(TransactionEngine &engine, DisplayCommand command)
{
    return engine.transact(displayCommandFrame(command), 1);
}

} // namespace kestrava
