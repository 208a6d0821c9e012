#pragma once

#include "actuators/lcd03.h"
#include "link/transactionengine.h"

#include <QByteArray>
#include <QStringView>

namespace kestrava {

enum DisplayCommand : quint8 {
    ClearScreen = 0x0C,
    CarriageReturn = 0x0D,
    BacklightOn = 0x13,
    BacklightOff = 0x14,
};

// One byte per character, at most 40 characters. A character the display's
// single-byte set cannot hold becomes "?", so the count never differs from the
// number of characters the operator typed.
QByteArray displayBytes(QStringView text);
QByteArray displayTextFrame(QStringView text);
QByteArray displayCommandFrame(quint8 command);

Outcome writeDisplayText(TransactionEngine &engine, QStringView text);
Outcome writeDisplayCommand(TransactionEngine &engine, DisplayCommand command);

} // namespace kestrava
