#pragma once

#include <QPainter>
#include <QWidget>

#include <optional>

namespace kestrava::simview {

// A panel that draws one part of the view's state, and only that. It repaints when
// it is given a state that differs from the one it shows; paintEvent draws from the
// state alone, in logical coordinates scaled to fit the widget. It is never drawn
// smaller than its logical size, so that its text keeps the size of the view's font.
template <class State>
class StatePanel : public QWidget
{
public:
    explicit StatePanel(QSizeF logicalSize, QWidget *parent = nullptr)
        : QWidget(parent), m_logicalSize(logicalSize)
    {
        setMinimumSize(logicalSize.toSize());
        // The panel paints its whole rectangle, so a repaint leaves the frame around it alone.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void showState(const std::optional<State> &state)
    {
        if (state == m_state)
            return;
        m_state = state;
        update();
    }
    const std::optional<State> &state() const { return m_state; }
    QSize sizeHint() const override { return m_logicalSize.toSize(); }
    QSizeF logicalSize() const { return m_logicalSize; }

protected:
    virtual void paint(QPainter &painter, const State &state) const = 0;

    // Widget pixels to logical coordinates: scaled alike on both axes, centred.
    QTransform logicalTransform() const
    {
        const qreal scale = std::min(width() / m_logicalSize.width(), height() / m_logicalSize.height());
        const QSizeF used = m_logicalSize * scale;
        return QTransform::fromTranslate((width() - used.width()) / 2, (height() - used.height()) / 2)
            .scale(scale, scale);
    }
    QRectF logicalRect() const { return {QPointF(), m_logicalSize}; }
    void setLogicalSize(QSizeF size)
    {
        m_logicalSize = size;
        updateGeometry();
        update();
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setTransform(logicalTransform());
        if (m_state)
            paint(painter, *m_state);
        else
            painter.drawText(logicalRect(), Qt::AlignCenter, QStringLiteral("not on the bus"));
    }

private:
    QSizeF m_logicalSize;
    std::optional<State> m_state;
};

} // namespace kestrava::simview
