#pragma once

#include "sim/view/statepanel.h"
#include "sim/view/viewstate.h"

namespace kestrava::simview {

// The arena seen from above: walls, obstacles, the robot with its heading and its
// trail, each ranger's beam with the distance it last measured, the candle (lit or
// out) and the fan's reach while it runs. The arena is scaled to the panel, its
// proportions kept; the labels keep the view's font size at any scale.
// The robot is dragged by its body and turned by the handle ahead of it (or the
// mouse wheel); the candle is dragged.
class ArenaPanel : public StatePanel<ArenaState>
{
    Q_OBJECT
public:
    // The smallest the arena is drawn: its labels still find room.
    static constexpr QSize Least{200, 140};

    explicit ArenaPanel(QWidget *parent = nullptr);

    // Takes the arena's size as its own proportions.
    void showState(const std::optional<ArenaState> &state);
    // The largest size of the panel within `room` that the arena fills.
    QSize fittedSize(QSize room) const;

    // A point of the arena (centimetres, y north) in widget pixels, and back.
    QPointF toWidget(QPointF arena) const;
    QPointF toArena(QPointF widget) const;
    // Where the arena's floor is drawn, in widget pixels.
    QRectF floorRect() const;
    // Where the turning handle is drawn, in the arena.
    static QPointF handleOf(const ArenaState &state);

signals:
    void robotPlaced(QPointF where, double heading);
    // Relative, so that turns given faster than the view is refreshed all count.
    void robotTurnedBy(double degrees);
    void warmObjectPlaced(QPointF where);

protected:
    void paint(QPainter &painter, const ArenaState &state) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    enum class Drag { None, Robot, Turn, WarmObject };
    void dragTo(QPointF arena);
    QPointF logicalOf(QPointF arena) const;
    void paintCandle(QPainter &painter, const ArenaState &state) const;
    void paintFan(QPainter &painter, const ArenaState &state) const;
    void paintBeams(QPainter &painter, const ArenaState &state) const;

    QSizeF m_arenaSize{600, 400}; // until the first state arrives
    Drag m_drag = Drag::None;
    QPointF m_grabOffset; // from the grabbed thing's centre to the mouse, in the arena
};

} // namespace kestrava::simview
