#include "panel/padimage.h"

#include "panel/panellayout.h"
#include "panel/pictures.h"

#include <QMouseEvent>
#include <QPainter>

namespace kestrava {

qint16 buttonMask(Qt::MouseButtons buttons)
{
    return qint16((buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0)
                  | (buttons & Qt::MiddleButton ? 4 : 0));
}

qint16 shiftMask(Qt::KeyboardModifiers modifiers)
{
    return qint16((modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
                  | (modifiers & Qt::AltModifier ? 4 : 0));
}

PadImage::PadImage(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PadImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black); // the one-pixel border
    painter.drawPixmap(1, 1, drivePadPicture());
}

MouseArgs PadImage::argsFor(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPointF position) const
{
    return {buttonMask(buttons), shiftMask(modifiers), float(position.x() * TwipsPerPixel),
            float(position.y() * TwipsPerPixel)};
}

void PadImage::mousePressEvent(QMouseEvent *event)
{
    m_held |= event->button();
    m_lastPosition = event->position();
    m_lastModifiers = event->modifiers();
    emit mouseDown(argsFor(event->button(), event->modifiers(), event->position()));
}

void PadImage::mouseMoveEvent(QMouseEvent *event)
{
    m_lastPosition = event->position();
    m_lastModifiers = event->modifiers();
    emit mouseMove(argsFor(event->buttons(), event->modifiers(), event->position()));
}

void PadImage::mouseReleaseEvent(QMouseEvent *event)
{
    if (!(m_held & event->button()))
        return; // already ended for it
    m_held &= ~event->button();
    m_lastPosition = event->position();
    emit mouseUp(argsFor(event->button(), event->modifiers(), event->position()));
}

void PadImage::endDragWithoutRelease()
{
    if (!m_held)
        return;
    const Qt::MouseButtons released = m_held;
    m_held = {};
    emit mouseUp(argsFor(released, m_lastModifiers, m_lastPosition));
}

void PadImage::hideEvent(QHideEvent *event)
{
    endDragWithoutRelease();
    QWidget::hideEvent(event);
}

bool PadImage::event(QEvent *event)
{
    // Another window, a popup or a modal box took the mouse away mid-drag.
    switch (event->type()) {
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
    case QEvent::UngrabMouse:
        endDragWithoutRelease();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

} // namespace kestrava
