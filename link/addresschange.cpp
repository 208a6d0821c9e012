#include "addresschange.h"

#include "frames.h"
#include "modulecontext.h"
#include "numberreading.h"
#include "transactionengine.h"

#include <QApplication>
#include <QLineEdit>

namespace kestrava {

namespace {
constexpr quint8 CommandRegister = 0;
constexpr quint8 AddressChangeSequence[] = {0xA0, 0xAA, 0xA5};
} // namespace

std::optional<quint8> readAddressBox(QStringView text)
{
    const std::optional<qint16> value = readInt16(QStringLiteral("&H") + text.toString());
    if (!value || *value < 0x00 || *value > 0xFF)
        return std::nullopt;
    return quint8(*value);
}

AddressChange addressChangeFrames(QStringView currentText, QStringView newText)
{
    // Either refusal stops the whole sequence before any frame is built.
    const std::optional<quint8> newAddress = readAddressBox(newText);
    if (!newAddress)
        return {{}, AddressChange::Refused::NewAddress};
    const std::optional<quint8> current = readAddressBox(currentText);
    if (!current)
        return {{}, AddressChange::Refused::CurrentAddress};

    AddressChange change;
    for (quint8 step : AddressChangeSequence)
        change.frames.append(registerWriteFrame(*current, CommandRegister, step));
    change.frames.append(registerWriteFrame(*current, CommandRegister, *newAddress));
    return change;
}

void changeModuleAddress(TransactionEngine &engine, QLineEdit &currentBox, QLineEdit &newBox)
{
    const AddressChange change = addressChangeFrames(currentBox.text(), newBox.text());
    if (change.refused != AddressChange::Refused::None) {
        // A value past 0xFF would go on the wire cut to one byte and renumber the
        // module to an address nobody typed. Nothing is sent; a beep and the
        // offending text selected show what to correct without a modal box that
        // would stop the operator's flow.
        QLineEdit &offending = change.refused == AddressChange::Refused::NewAddress ? newBox : currentBox;
        QApplication::beep();
        offending.setFocus(Qt::OtherFocusReason);
        offending.selectAll();
        return;
    }
    for (const QByteArray &frame : change.frames) {
        if (engine.send(frame) != Outcome::Sent)
            return; // the port is closed: nothing went out, nothing to wait for
    }
    engine.WaitForReply(1);
}

void installAddressChange(const ModuleContext &context)
{
    QLineEdit &currentBox = context.control<QLineEdit>(QStringLiteral("TxtActDir"));
    QLineEdit &newBox = context.control<QLineEdit>(QStringLiteral("TxtNueDir"));
    TransactionEngine &engine = context.engine;
    context.handlers.add(QStringLiteral("CmdDireccion_Click"),
                         EventHandlers::Plain([&engine, &currentBox, &newBox] {
                             changeModuleAddress(engine, currentBox, newBox);
                         }));
}

} // namespace kestrava
