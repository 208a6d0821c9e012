#include "panel/figures.h"

#include <QPainter>

namespace kestrava {

OutlineFigure::OutlineFigure(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void OutlineFigure::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

LineFigure::LineFigure(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineFigure::setSegment(const QLine &inParent)
{
    const QRect box = QRect(inParent.p1(), inParent.p2()).normalized();
    setGeometry(box);
    m_local = inParent.translated(-box.topLeft());
}

void LineFigure::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawLine(QLineF(m_local).translated(0.5, 0.5));
}

} // namespace kestrava
