#include "sim/view/modulepanels.h"

#include <QtMath>

#include <algorithm>

namespace kestrava::simview {

namespace {

const QColor Lit(255, 200, 40);
const QColor Dark(90, 90, 90);

QString onOff(bool on)
{
    return on ? MotorPanel::tr("on") : MotorPanel::tr("off");
}

// With the locale's decimal separator, as the panel writes its readings.
QString tenths(int value, const char *unit)
{
    return QStringLiteral("%L1 %2").arg(value / 10.0, 0, 'f', 1).arg(QLatin1String(unit));
}

// A vertical bar from the middle line, up for forwards, down for backwards, with a
// mark where the speed register asks the wheel's ramp to go.
void paintSpeedBar(QPainter &painter, const QRectF &box, int speed, int target, const QString &label)
{
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    const qreal middle = box.center().y();
    const qreal length = box.height() / 2 * std::clamp(speed, -128, 128) / 128.0;
    painter.fillRect(QRectF(box.left(), middle - std::max<qreal>(length, 0), box.width(), std::abs(length)),
                     speed >= 0 ? QColor(60, 160, 60) : QColor(200, 80, 60));
    painter.drawLine(QPointF(box.left(), middle), QPointF(box.right(), middle));
    const qreal targetY = middle - box.height() / 2 * std::clamp(target, -128, 128) / 128.0;
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(QPointF(box.left() - 4, targetY), QPointF(box.right() + 4, targetY));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(box.left() - 20, box.bottom() + 2, box.width() + 40, 20), Qt::AlignCenter,
                     QStringLiteral("%1 %2").arg(label).arg(speed));
}

} // namespace

QStringList modeMeaning(int mode)
{
    // The controller reads only the two low bits of its mode register.
    const bool signedSpeeds = mode & 1, speedAndTurn = mode & 2;
    const QString stop = signedSpeeds ? MotorPanel::tr("0 stops, signed") : MotorPanel::tr("128 stops");
    return {MotorPanel::tr("Mode %1: %2").arg(mode).arg(speedAndTurn ? MotorPanel::tr("speed and turn")
                                                                     : MotorPanel::tr("one register a wheel")),
            speedAndTurn ? MotorPanel::tr("reg 0 both wheels, reg 1 turns; %1").arg(stop)
                         : MotorPanel::tr("reg 0 left wheel, reg 1 right; %1").arg(stop)};
}

void MotorPanel::paint(QPainter &painter, const MotorState &state) const
{
    const QStringList meaning = modeMeaning(state.mode);
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRectF(4, 0, 332, 20), Qt::AlignLeft | Qt::AlignVCenter, meaning[0]);
    painter.setFont(font());
    // Two lines' room: narrow enough for the view beside the panel on a laptop, in either language.
    painter.drawText(QRectF(4, 20, 332, 36), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, meaning[1]);
    paintSpeedBar(painter, {22, 64, 30, 90}, state.speed1, state.target1, tr("left"));
    paintSpeedBar(painter, {84, 64, 30, 90}, state.speed2, state.target2, tr("right"));
    const QStringList lines = {
        tr("acceleration %1").arg(state.acceleration),
        tr("regulation %1, auto-stop %2").arg(onOff(state.regulation), onOff(state.autoStop)),
        tr("encoder 1: %1").arg(state.encoder1),
        tr("encoder 2: %1").arg(state.encoder2),
        tr("battery %1").arg(tenths(state.battery, "V")),
        tr("currents %1, %2").arg(tenths(state.current1, "A"), tenths(state.current2, "A")),
    };
    painter.drawText(QRectF(130, 60, 206, 118), Qt::AlignLeft | Qt::AlignTop, lines.join(QLatin1Char('\n')));
}

void ServoPanel::paint(QPainter &painter, const ServoState &state) const
{
    constexpr int PerRow = 7;
    constexpr qreal Cell = 50, Radius = 18;
    for (int servo = 0; servo < ServoState::Servos; ++servo) {
        const QPointF hub(Cell * (servo % PerRow) + Cell / 2, 55.0 * (servo / PerRow) + 30);
        painter.setPen(Qt::gray);
        painter.setBrush(QColor(235, 235, 235));
        painter.drawPie(QRectF(hub - QPointF(Radius, Radius), QSizeF(2 * Radius, 2 * Radius)), 0, 180 * 16);
        const double angle = qDegreesToRadians(state.hornTenths[servo] / 10.0);
        painter.setPen(QPen(Qt::darkBlue, 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(hub, hub + QPointF(std::cos(angle), -std::sin(angle)) * (Radius - 2));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(hub.x() - Cell / 2, hub.y() + 1, Cell, 16), Qt::AlignCenter,
                         QStringLiteral("%1").arg(servo + 1));
    }
}

void RelayPanel::paint(QPainter &painter, const quint8 &pattern) const
{
    for (int relay = 0; relay < 8; ++relay) {
        const QRectF lamp(40.0 * relay + 8, 4, 24, 24);
        painter.setPen(Qt::black);
        painter.setBrush((pattern >> relay) & 1 ? Lit : Dark);
        painter.drawEllipse(lamp);
        painter.drawText(QRectF(lamp.left() - 8, 28, lamp.width() + 16, 20), Qt::AlignCenter, QString::number(relay + 1));
    }
}

void DisplayPanel::paint(QPainter &painter, const DisplayState &state) const
{
    constexpr qreal CellWidth = 14, CellHeight = 22, Margin = 8;
    painter.setPen(Qt::NoPen);
    painter.setBrush(state.backlight ? QColor(150, 215, 80) : QColor(125, 140, 105));
    painter.drawRoundedRect(logicalRect(), 6, 6);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(18);
    painter.setFont(font);
    painter.setPen(QColor(20, 30, 20));
    for (int row = 0; row < state.lines.size(); ++row) {
        for (int column = 0; column < state.lines[row].size(); ++column) {
            const QRectF cell(Margin + column * CellWidth, Margin + row * CellHeight, CellWidth, CellHeight);
            painter.drawText(cell, Qt::AlignCenter, state.lines[row].mid(column, 1));
        }
    }
    const QPointF cursor(Margin + state.cursorColumn * CellWidth, Margin + (state.cursorRow + 1) * CellHeight - 2);
    painter.drawLine(cursor, cursor + QPointF(CellWidth - 2, 0));
}

void CompassPanel::paint(QPainter &painter, const int &bearingTenths) const
{
    const QPointF centre(75, 70);
    painter.setPen(Qt::black);
    painter.setBrush(QColor(245, 245, 235));
    painter.drawEllipse(centre, 55, 55);
    const QString points[] = {tr("N"), tr("E"), tr("S"), tr("W")};
    for (int quarter = 0; quarter < 4; ++quarter) {
        const double angle = qDegreesToRadians(90.0 * quarter);
        const QPointF at = centre + QPointF(std::sin(angle), -std::cos(angle)) * 45;
        painter.drawText(QRectF(at - QPointF(8, 8), QSizeF(16, 16)), Qt::AlignCenter, points[quarter]);
    }
    const double angle = qDegreesToRadians(bearingTenths / 10.0);
    const QPointF tip = centre + QPointF(std::sin(angle), -std::cos(angle)) * 36;
    painter.setPen(QPen(Qt::red, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, tip);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, 128, 150, 20), Qt::AlignCenter, QStringLiteral("%L1°").arg(bearingTenths / 10.0, 0, 'f', 1));
}

QColor temperatureColour(int celsius)
{
    // 10 °C and below blue, 60 °C and above red, the hue turning between them.
    const double share = std::clamp((celsius - 10) / 50.0, 0.0, 1.0);
    return QColor::fromHsvF(float((1.0 - share) * 240.0 / 360.0), 0.8f, 0.95f);
}

void ThermalPanel::paint(QPainter &painter, const ThermalState &state) const
{
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    for (int pixel = 0; pixel < 8; ++pixel) {
        const QRectF cell(10 + 40.0 * pixel, 4, 40, 40);
        painter.setPen(Qt::black);
        painter.setBrush(temperatureColour(state.pixels[pixel]));
        painter.drawRect(cell);
        painter.drawText(cell, Qt::AlignCenter, QString::number(state.pixels[pixel]));
    }
    painter.setFont(font());
    painter.drawText(QRectF(10, 50, 320, 26), Qt::AlignLeft | Qt::AlignVCenter,
                     tr("pixel 1 on the left · ambient %1 °C").arg(state.ambient));
}

} // namespace kestrava::simview
