#include "link/addresschange.h"

#include "link/frames.h"
#include "numbers/numberreading.h"

namespace kestrava {

namespace {
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

Outcome sendAddressChange(TransactionEngine &engine, const AddressChange &change)
{
    for (const QByteArray &frame : change.frames) {
        const Outcome sent = engine.send(frame);
        if (sent != Outcome::Sent)
            return sent; // nothing went out, nothing to wait for
    }
    return engine.WaitForReply(1);
}

} // namespace kestrava
