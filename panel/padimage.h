#pragma once

#include "panel/eventhandlers.h"

#include <QWidget>

namespace kestrava {

// Image1, the drive pad: the white picture with its centre cross. It only reports
// the mouse, in twips from its top-left corner, as press, move and release.
// While a button is held the moves keep coming outside the pad. A drag that ends
// without its release reaching the pad (the window loses activation, the pad is
// hidden, the grab is lost) is ended here with a release of the held buttons, so
// the motors are always told to stop.
class PadImage : public QWidget
{
    Q_OBJECT
public:
    explicit PadImage(QWidget *parent = nullptr);

    Qt::MouseButtons heldButtons() const { return m_held; }

signals:
    void mouseDown(const MouseArgs &args);
    void mouseMove(const MouseArgs &args);
    void mouseUp(const MouseArgs &args);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool event(QEvent *event) override;

private:
    MouseArgs argsFor(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPointF position) const;
    void endDragWithoutRelease();

    Qt::MouseButtons m_held;
    QPointF m_lastPosition;
    Qt::KeyboardModifiers m_lastModifiers;
};

// The button mask of the drive-pad handlers: 1 left, 2 right, 4 middle.
qint16 buttonMask(Qt::MouseButtons buttons);
// The shift mask: 1 Shift, 2 Ctrl, 4 Alt.
qint16 shiftMask(Qt::KeyboardModifiers modifiers);

} // namespace kestrava
