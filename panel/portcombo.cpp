#include "panel/portcombo.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QLineEdit>

namespace kestrava {

PortCombo::PortCombo(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    for (int n = 1; n <= 8; ++n)
        addItem(QStringLiteral("Com%1").arg(n), 0);
    setCurrentIndex(-1);
    setEditText(QCoreApplication::translate("kestrava::ControlPanel", "Puerto"));
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { m_typed = true; });
    connect(this, &QComboBox::activated, this, [this] { m_typed = false; });
}

int PortCombo::listIndex() const
{
    return m_typed ? -1 : currentIndex();
}

bool PortCombo::setListIndex(int index)
{
    if (index < -1 || index >= count())
        return false;
    setCurrentIndex(index);
    m_typed = false;
    return true;
}

void PortCombo::focusOutEvent(QFocusEvent *event)
{
    QComboBox::focusOutEvent(event);
    // Opening the list or switching to another window is not moving on.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    emit lostFocus();
}

} // namespace kestrava
