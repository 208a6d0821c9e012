#pragma once

#include <QComboBox>

namespace kestrava {

// ComboCom: "Com1" to "Com8" under an editable field that starts as "Puerto".
// Typed text selects no entry (list position -1) and never adds one.
class PortCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit PortCombo(QWidget *parent = nullptr);

    int listIndex() const;
    // False for positions outside -1..7; the box then keeps what it shows.
    bool setListIndex(int index);

signals:
    // The operator moved on: by Tab, or by clicking another control.
    void lostFocus();

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool m_typed = false;
};

} // namespace kestrava
