#include "sim/view/keypadpanel.h"

#include <QMouseEvent>

namespace kestrava::simview {

namespace {

// Three to a row, as on the keypad; the same order is that of the keys' bits.
constexpr char16_t Layout[] = u"123456789*0#";
constexpr qreal KeySize = 40, Gap = 6;

QRectF keyRect(int index)
{
    return {Gap + (index % 3) * (KeySize + Gap), Gap + (index / 3) * (KeySize + Gap), KeySize, KeySize};
}

} // namespace

int keyBit(QChar key)
{
    for (int bit = 0; bit < 12; ++bit) {
        if (Layout[bit] == key.unicode())
            return bit;
    }
    return -1;
}

KeypadPanel::KeypadPanel(QWidget *parent)
    : StatePanel({3 * KeySize + 4 * Gap, 4 * KeySize + 5 * Gap}, parent)
{
}

QChar KeypadPanel::keyAt(QPointF logical)
{
    for (int index = 0; index < 12; ++index) {
        if (keyRect(index).contains(logical))
            return QChar(Layout[index]);
    }
    return {};
}

QPoint KeypadPanel::keyCentre(QChar key) const
{
    for (int index = 0; index < 12; ++index) {
        if (Layout[index] == key.unicode())
            return logicalTransform().map(keyRect(index).center()).toPoint();
    }
    return {};
}

void KeypadPanel::paint(QPainter &painter, const quint16 &keysDown) const
{
    for (int index = 0; index < 12; ++index) {
        const QChar key(Layout[index]);
        const bool down = (keysDown >> keyBit(key)) & 1;
        painter.setPen(Qt::black);
        painter.setBrush(down ? QColor(120, 120, 120) : QColor(225, 225, 225));
        painter.drawRoundedRect(keyRect(index), 5, 5);
        painter.setPen(down ? Qt::white : Qt::black);
        painter.drawText(keyRect(index), Qt::AlignCenter, key);
    }
}

void KeypadPanel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_held.isNull())
        return;
    m_held = keyAt(logicalTransform().inverted().map(event->position()));
    if (!m_held.isNull())
        emit keyPressed(m_held);
}

void KeypadPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_held.isNull())
        return;
    emit keyReleased(std::exchange(m_held, QChar()));
}

} // namespace kestrava::simview
