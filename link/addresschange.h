#pragma once

#include "link/transactionengine.h"

#include <QByteArray>
#include <QList>
#include <QStringView>

#include <optional>

namespace kestrava {

// A box's text read as a bus address: "&H" is put in front and the number reading
// applies, so "e2", "E 2" and "E2x" give 0xE2, and "0xE0" or an empty box give 0.
// No address (nullopt) when the value lies outside 0x00..0xFF ("100", "FFFF").
std::optional<quint8> readAddressBox(QStringView text);

// The address change: the four register-0 writes A0, AA, A5, new address to the
// module at the current address, or the box that refuses it.
struct AddressChange
{
    enum class Refused { None, NewAddress, CurrentAddress };
    QList<QByteArray> frames; // empty when refused
    Refused refused = Refused::None;
};
AddressChange addressChangeFrames(QStringView currentText, QStringView newText);

// The four frames back to back, each followed by its event pass, then one wait
// for the first answer. A frame that cannot go out ends it.
Outcome sendAddressChange(TransactionEngine &engine, const AddressChange &change);

} // namespace kestrava
