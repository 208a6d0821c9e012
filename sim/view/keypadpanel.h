#pragma once

#include "sim/view/statepanel.h"

namespace kestrava::simview {

// The display's 12 keys. A key is held while the mouse button is down on it; the
// keys the module has down (from any source) are drawn pressed.
class KeypadPanel : public StatePanel<quint16>
{
    Q_OBJECT
public:
    explicit KeypadPanel(QWidget *parent = nullptr);

    // The key under a point in logical coordinates, or a null QChar.
    static QChar keyAt(QPointF logical);
    // Where a key's middle is drawn, in widget pixels (for tests and tooltips).
    QPoint keyCentre(QChar key) const;

signals:
    void keyPressed(QChar key);
    void keyReleased(QChar key);

protected:
    void paint(QPainter &painter, const quint16 &keysDown) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QChar m_held;
};

// The bit of a key in the display's keypad registers: 1..8 bits 0..7 of register 1,
// 9 * 0 # bits 8..11 (bits 0..3 of register 2); -1 for anything else.
int keyBit(QChar key);

} // namespace kestrava::simview
