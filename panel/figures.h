#pragma once

#include <QLine>
#include <QWidget>

namespace kestrava {

// The static outline figures of the window: a circle or oval (Shape1, Shape2)
// and a straight line (Line1..Line5). They only draw; the mouse passes through
// them to the controls underneath.
class OutlineFigure : public QWidget
{
    Q_OBJECT
public:
    explicit OutlineFigure(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

class LineFigure : public QWidget
{
    Q_OBJECT
public:
    explicit LineFigure(QWidget *parent = nullptr);

    // The segment in the container's pixels; the widget covers just its bounding box.
    void setSegment(const QLine &inParent);
    QLine segment() const { return m_local.translated(pos()); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLine m_local;
};

} // namespace kestrava
