#include "panel/eventhandlers.h"

#include "link/addresschange.h"

#include <QApplication>
#include <QLineEdit>

namespace kestrava {

namespace {

void changeModuleAddress(TransactionEngine &engine, QLineEdit &currentBox, QLineEdit &newBox)
{
    const AddressChange change = addressChangeFrames(currentBox.text(), newBox.text());
    if (change.refused == AddressChange::Refused::None) {
        sendAddressChange(engine, change);
        return;
    }
    // A value past 0xFF would go on the wire cut to one byte and renumber the
    // module to an address nobody typed. Nothing is sent; a beep and the
    // offending text selected show what to correct without a modal box that
    // would stop the operator's flow.
    QLineEdit &offending = change.refused == AddressChange::Refused::NewAddress ? newBox : currentBox;
    QApplication::beep();
    offending.setFocus(Qt::OtherFocusReason);
    offending.selectAll();
}

} // namespace

void EventHandlers::CmdDireccion_Click()
{
    changeModuleAddress(m_context.engine, *m_controls.TxtActDir, *m_controls.TxtNueDir);
}

} // namespace kestrava
