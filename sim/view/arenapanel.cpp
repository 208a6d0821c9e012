#include "arenapanel.h"

#include "geometry.h"
#include "world.h"

#include <QMouseEvent>
#include <QPainterPath>

namespace kestrava::simview {

using sim::World;
namespace geometry = sim::geometry;

namespace {

constexpr qreal Margin = 14;
constexpr qreal HandleCm = 28;    // ahead of the robot's centre
constexpr qreal GrabCm = 10;      // how near the warm object or the handle a press must be
constexpr qreal WarmRadiusCm = 6;
constexpr double WheelStepDegrees = 5;

QPointF unitTowards(double heading)
{
    const geometry::Point step = geometry::headingVector(heading);
    return {step.x, step.y};
}

qreal distance(QPointF a, QPointF b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

// Logical coordinates run down from the top-left corner; the arena's y runs north.
QPointF logicalOf(QPointF arena)
{
    return {Margin + arena.x(), Margin + World::ArenaHeightCm - arena.y()};
}

} // namespace

ArenaPanel::ArenaPanel(QWidget *parent)
    : StatePanel({World::ArenaWidthCm + 2 * Margin, World::ArenaHeightCm + 2 * Margin}, parent)
{
    setMinimumSize(440, 340);
    setCursor(Qt::OpenHandCursor);
}

QPointF ArenaPanel::toWidget(QPointF arena) const
{
    return logicalTransform().map(logicalOf(arena));
}

QPointF ArenaPanel::toArena(QPointF widget) const
{
    const QPointF logical = logicalTransform().inverted().map(widget);
    return {logical.x() - Margin, World::ArenaHeightCm - (logical.y() - Margin)};
}

QPointF ArenaPanel::handleOf(const ArenaState &state)
{
    return state.robot + unitTowards(state.heading) * HandleCm;
}

void ArenaPanel::paint(QPainter &painter, const ArenaState &state) const
{
    painter.fillRect(QRectF(logicalOf({0, state.size.height()}), state.size), QColor(250, 248, 240));
    painter.setPen(QPen(Qt::black, 3));
    painter.drawRect(QRectF(logicalOf({0, state.size.height()}), state.size));
    painter.setPen(Qt::black);
    painter.setBrush(QColor(170, 130, 90));
    for (const QRectF &box : state.obstacles)
        painter.drawRect(QRectF(logicalOf({box.x(), box.y() + box.height()}), box.size()));

    QPolygonF trail;
    for (const QPointF &p : state.trail)
        trail << logicalOf(p);
    painter.setPen(QPen(QColor(120, 160, 230), 1.5));
    painter.drawPolyline(trail);

    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    for (const BeamState &beam : state.beams) {
        const bool echoed = beam.lastCm > 0;
        const QPointF end = beam.origin + unitTowards(beam.heading) * (echoed ? beam.lastCm : 30.0);
        painter.setPen(QPen(beam.handSet ? QColor(200, 0, 200) : QColor(0, 150, 0), 1, echoed ? Qt::SolidLine : Qt::DotLine));
        painter.drawLine(logicalOf(beam.origin), logicalOf(end));
        painter.drawText(logicalOf(end) + QPointF(2, -2),
                         QStringLiteral("%1: %2").arg(beam.address, 2, 16).toUpper().arg(echoed ? QString::number(beam.lastCm) : QStringLiteral("—")));
    }

    painter.setPen(Qt::darkRed);
    painter.setBrush(QColor(255, 140, 0));
    painter.drawEllipse(logicalOf(state.warmObject), WarmRadiusCm, WarmRadiusCm);

    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(QColor(80, 110, 160, 200));
    painter.drawEllipse(logicalOf(state.robot), World::RobotRadiusCm, World::RobotRadiusCm);
    painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(logicalOf(state.robot), logicalOf(state.robot + unitTowards(state.heading) * World::RobotRadiusCm));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawEllipse(logicalOf(handleOf(state)), 4, 4);
}

void ArenaPanel::mousePressEvent(QMouseEvent *event)
{
    if (!state() || event->button() != Qt::LeftButton)
        return;
    const QPointF at = toArena(event->position());
    if (distance(at, state()->warmObject) <= GrabCm) {
        m_drag = Drag::WarmObject;
        m_grabOffset = at - state()->warmObject;
    } else if (distance(at, handleOf(*state())) <= GrabCm) {
        m_drag = Drag::Turn;
    } else if (distance(at, state()->robot) <= World::RobotRadiusCm) {
        m_drag = Drag::Robot;
        m_grabOffset = at - state()->robot;
    }
    if (m_drag != Drag::None)
        setCursor(Qt::ClosedHandCursor);
}

void ArenaPanel::mouseMoveEvent(QMouseEvent *event)
{
    if (m_drag != Drag::None && state())
        dragTo(toArena(event->position()));
}

void ArenaPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_drag == Drag::None || event->button() != Qt::LeftButton)
        return;
    dragTo(toArena(event->position()));
    m_drag = Drag::None;
    setCursor(Qt::OpenHandCursor);
}

void ArenaPanel::dragTo(QPointF arena)
{
    const ArenaState &now = *state();
    switch (m_drag) {
    case Drag::WarmObject: emit warmObjectPlaced(arena - m_grabOffset); break;
    case Drag::Robot: emit robotPlaced(arena - m_grabOffset, now.heading); break;
    case Drag::Turn:
        emit robotPlaced(now.robot, geometry::headingTowards({now.robot.x(), now.robot.y()}, {arena.x(), arena.y()}));
        break;
    case Drag::None: break;
    }
}

void ArenaPanel::wheelEvent(QWheelEvent *event)
{
    if (!state() || distance(toArena(event->position()), state()->robot) > World::RobotRadiusCm)
        return;
    emit robotTurnedBy(event->angleDelta().y() > 0 ? -WheelStepDegrees : WheelStepDegrees);
}

} // namespace kestrava::simview
