#include "sim/view/arenapanel.h"

#include "sim/program/buslog.h"
#include "sim/world/geometry.h"
#include "sim/view/labelplacement.h"
#include "sim/world/world.h"

#include <QMouseEvent>
#include <QPainterPath>

namespace kestrava::simview {

using sim::World;
namespace geometry = sim::geometry;

namespace {

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

geometry::Point toPoint(QPointF p)
{
    return {p.x(), p.y()};
}

QString beamLabel(const BeamState &beam)
{
    return QStringLiteral("%1: %2").arg(sim::hexAddress(beam.address), beam.lastCm > 0 ? QString::number(beam.lastCm)
                                                                                         : QStringLiteral("—"));
}

// Room around the floor for its border: a small share of the arena, so that it fills the panel.
qreal marginOf(QSizeF arena)
{
    return 0.015 * std::max(arena.width(), arena.height());
}

QSizeF withMargins(QSizeF arena)
{
    return arena + 2 * QSizeF(marginOf(arena), marginOf(arena));
}

} // namespace

ArenaPanel::ArenaPanel(QWidget *parent)
    : StatePanel(withMargins({600, 400}), parent)
{
    setMinimumSize(Least);
    setCursor(Qt::OpenHandCursor);
}

void ArenaPanel::showState(const std::optional<ArenaState> &state)
{
    if (state && state->size != m_arenaSize) {
        m_arenaSize = state->size;
        setLogicalSize(withMargins(m_arenaSize));
    }
    StatePanel::showState(state);
}

QSize ArenaPanel::fittedSize(QSize room) const
{
    return logicalSize().scaled(QSizeF(room), Qt::KeepAspectRatio).toSize();
}

QPointF ArenaPanel::logicalOf(QPointF arena) const
{
    // Logical coordinates run down from the top-left corner; the arena's y runs north.
    const qreal margin = marginOf(m_arenaSize);
    return {margin + arena.x(), logicalSize().height() - margin - arena.y()};
}

QPointF ArenaPanel::toWidget(QPointF arena) const
{
    return logicalTransform().map(logicalOf(arena));
}

QPointF ArenaPanel::toArena(QPointF widget) const
{
    const QPointF logical = logicalTransform().inverted().map(widget);
    const qreal margin = marginOf(m_arenaSize);
    return {logical.x() - margin, logicalSize().height() - margin - logical.y()};
}

QRectF ArenaPanel::floorRect() const
{
    return QRectF(toWidget({0, m_arenaSize.height()}), toWidget({m_arenaSize.width(), 0}));
}

QPointF ArenaPanel::handleOf(const ArenaState &state)
{
    return state.robot + unitTowards(state.heading) * HandleCm;
}

void ArenaPanel::paint(QPainter &painter, const ArenaState &state) const
{
    const QRectF floor(logicalOf({0, state.size.height()}), state.size);
    painter.fillRect(floor, QColor(250, 248, 240));
    painter.setPen(Qt::black);
    painter.setBrush(QColor(170, 130, 90));
    for (const QRectF &box : state.obstacles)
        painter.drawRect(QRectF(logicalOf({box.x(), box.y() + box.height()}), box.size()));
    QPen wallPen(QColor(60, 60, 60), 4, Qt::SolidLine, Qt::RoundCap);
    wallPen.setCosmetic(true); // as thick at any scale
    painter.setPen(wallPen);
    for (const QLineF &wall : state.walls)
        painter.drawLine(logicalOf(wall.p1()), logicalOf(wall.p2()));
    wallPen.setColor(Qt::black);
    painter.setPen(wallPen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(floor);

    QPolygonF trail;
    for (const QPointF &p : state.trail)
        trail << logicalOf(p);
    painter.setPen(QPen(QColor(120, 160, 230), 1.5));
    painter.drawPolyline(trail);

    paintFan(painter, state);
    paintCandle(painter, state);

    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(QColor(80, 110, 160, 200));
    painter.drawEllipse(logicalOf(state.robot), World::RobotRadiusCm, World::RobotRadiusCm);
    painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(logicalOf(state.robot), logicalOf(state.robot + unitTowards(state.heading) * World::RobotRadiusCm));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawEllipse(logicalOf(handleOf(state)), 4, 4);

    paintBeams(painter, state);
}

// The wedge of air the fan reaches while its relay is on.
void ArenaPanel::paintFan(QPainter &painter, const ArenaState &state) const
{
    if (!state.fanOn)
        return;
    const QPointF front = state.robot + unitTowards(state.heading) * World::RobotRadiusCm;
    const QPointF centre = logicalOf(front);
    const qreal reach = World::FanReachCm;
    // Qt's angles run anticlockwise from east; a compass heading runs clockwise from north.
    const qreal startAngle = 90 - state.heading - World::FanHalfAngleDegrees;
    QPainterPath wedge(centre);
    wedge.arcTo(QRectF(centre - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach)), startAngle,
                2 * World::FanHalfAngleDegrees);
    wedge.closeSubpath();
    painter.setPen(QPen(QColor(40, 120, 200), 1, Qt::DashLine));
    painter.setBrush(QColor(120, 190, 255, 90));
    painter.drawPath(wedge);
}

// A lit candle: a flame with a bright core; put out: a grey stub.
void ArenaPanel::paintCandle(QPainter &painter, const ArenaState &state) const
{
    const QPointF at = logicalOf(state.warmObject);
    if (!state.candleLit) {
        painter.setPen(QPen(QColor(90, 90, 90), 1.5));
        painter.setBrush(QColor(200, 200, 200));
        painter.drawEllipse(at, WarmRadiusCm, WarmRadiusCm);
        painter.drawLine(at + QPointF(-WarmRadiusCm, WarmRadiusCm), at + QPointF(WarmRadiusCm, -WarmRadiusCm));
        return;
    }
    painter.setPen(QPen(Qt::darkRed, 1));
    painter.setBrush(QColor(255, 140, 0));
    painter.drawEllipse(at, WarmRadiusCm, WarmRadiusCm);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 235, 120));
    painter.drawEllipse(at, WarmRadiusCm / 2, WarmRadiusCm / 2);
}

// Each beam as a line to what it met, and its label near that end, clear of the walls,
// drawn at the view's font size whatever the arena's scale.
void ArenaPanel::paintBeams(QPainter &painter, const ArenaState &state) const
{
    const std::vector<geometry::Box> boxes = [&] {
        std::vector<geometry::Box> found;
        for (const QRectF &box : state.obstacles)
            found.push_back({box.x(), box.y(), box.width(), box.height()});
        return found;
    }();
    std::vector<geometry::Segment> walls;
    for (const QLineF &wall : state.walls)
        walls.push_back({toPoint(wall.p1()), toPoint(wall.p2())});
    const std::vector<geometry::Segment> segments =
        geometry::wallsAndObstacles(state.size.width(), state.size.height(), boxes, walls);
    const double diagonal = std::hypot(state.size.width(), state.size.height());
    const qreal pixelsPerCm = painter.transform().m11();
    const QFontMetricsF metrics(painter.font());
    const auto around = [](QPointF centre, double radius) {
        return geometry::Box{centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius};
    };
    std::vector<geometry::Box> taken{around(state.robot, World::RobotRadiusCm), around(state.warmObject, WarmRadiusCm)};
    for (const BeamState &beam : state.beams) {
        const bool echoed = beam.lastCm > 0;
        const double length = std::min(echoed ? double(beam.lastCm) : 30.0, diagonal);
        const QColor colour = beam.handSet ? QColor(170, 0, 170) : QColor(0, 120, 0);
        painter.setPen(QPen(colour, 1, echoed ? Qt::SolidLine : Qt::DotLine));
        painter.drawLine(logicalOf(beam.origin), logicalOf(beam.origin + unitTowards(beam.heading) * length));
        const QString text = beamLabel(beam);
        const QSizeF textSize = metrics.size(0, text) + QSizeF(6, 2);
        const geometry::Box place = placeBeamLabel(toPoint(beam.origin), beam.heading, length,
                                                   textSize.width() / pixelsPerCm, textSize.height() / pixelsPerCm,
                                                   {0, 0, state.size.width(), state.size.height()}, segments, taken);
        taken.push_back(place);
        const QRectF onScreen = painter.transform().mapRect(
            QRectF(logicalOf({place.x, place.y + place.height}), QSizeF(place.width, place.height)));
        painter.save();
        painter.resetTransform();
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 215));
        painter.drawRoundedRect(onScreen, 3, 3);
        painter.setPen(colour);
        painter.drawText(onScreen, Qt::AlignCenter, text);
        painter.restore();
    }
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
