#include "panel/compasspicture.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kestrava {

namespace {
constexpr QColor NeedleColour{255, 0, 0};

double degrees(double radians)
{
    return radians * 180.0 / M_PI;
}
} // namespace

CompassPicture::CompassPicture(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true); // a picture box paints its own background
}

void CompassPicture::clearDrawing()
{
    m_needle.reset();
    update();
}

void CompassPicture::drawNeedle(float angle)
{
    m_needle = angle;
    update();
}

void CompassPicture::paintEvent(QPaintEvent *)
{
    if (!m_needle)
        return;
    const double a = *m_needle;
    const QPointF centre(NeedleCentreX, NeedleCentreY);
    const QPointF tip(NeedleCentreX + NeedleRadius * std::cos(a),
                      NeedleCentreY - NeedleRadius * std::sin(a));
    const QRectF circle(centre - QPointF(NeedleRadius, NeedleRadius),
                        QSizeF(2 * NeedleRadius, 2 * NeedleRadius));

    // The screen's angles, like the needle's, run counterclockwise from 3 o'clock.
    QPainterPath needle(centre);
    needle.lineTo(tip);
    needle.arcTo(circle, degrees(a), degrees(TipArc));

    QPainter painter(this);
    painter.scale(1.0 / TwipsPerPixel, 1.0 / TwipsPerPixel);
    QPen pen(NeedleColour);
    pen.setCosmetic(true); // one pixel wide whatever the twips scale
    pen.setWidth(1);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(needle);
}

} // namespace kestrava
