#pragma once

#include <QWidget>

#include <optional>

namespace kestrava {

// Picture1: the compass's drawing surface, in twips from its top-left corner.
// It also holds child controls (the button, letters and value boxes).
//
// What is drawn is kept as state and painted by paintEvent, so the needle
// survives covering, resizing and any other repaint until the next press.
class CompassPicture : public QWidget
{
    Q_OBJECT
public:
    static constexpr double TwipsPerPixel = 15.0;
    static constexpr double NeedleCentreX = 1440.0; // twips
    static constexpr double NeedleCentreY = 960.0;
    static constexpr double NeedleRadius = 650.0;
    static constexpr double TipArc = 0.01; // radians, the short tick at the tip

    explicit CompassPicture(QWidget *parent = nullptr);

    // Removes everything drawn; the child controls stay.
    void clearDrawing();
    // The red needle at `angle` radians counterclockwise from 3 o'clock.
    void drawNeedle(float angle);

    std::optional<float> needle() const { return m_needle; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<float> m_needle;
};

} // namespace kestrava
