#pragma once

#include "sim/view/statepanel.h"
#include "sim/view/viewstate.h"

namespace kestrava::simview {

// The motor controller's figures: both wheel speeds as bars, its mode spelled out
// (which register drives what), and its settings.
class MotorPanel : public StatePanel<MotorState>
{
    Q_OBJECT
public:
    explicit MotorPanel(QWidget *parent = nullptr) : StatePanel({340, 178}, parent) {}
protected:
    void paint(QPainter &painter, const MotorState &state) const override;
};

// 21 servo horns, each at its angle: 0 degrees (500 µs) points right, 180 degrees
// (2500 µs) left, over a half turn.
class ServoPanel : public StatePanel<ServoState>
{
    Q_OBJECT
public:
    explicit ServoPanel(QWidget *parent = nullptr) : StatePanel({350, 165}, parent) {}
protected:
    void paint(QPainter &painter, const ServoState &state) const override;
};

class RelayPanel : public StatePanel<quint8>
{
    Q_OBJECT
public:
    explicit RelayPanel(QWidget *parent = nullptr) : StatePanel({320, 48}, parent) {}
protected:
    void paint(QPainter &painter, const quint8 &pattern) const override;
};

// The 4 x 20 screen as the display shows it, with its cursor and backlight.
class DisplayPanel : public StatePanel<DisplayState>
{
    Q_OBJECT
public:
    explicit DisplayPanel(QWidget *parent = nullptr) : StatePanel({20 * 14 + 16, 4 * 22 + 16}, parent) {}
protected:
    void paint(QPainter &painter, const DisplayState &state) const override;
};

// The compass rose turned to the bearing, in tenths of a degree.
class CompassPanel : public StatePanel<int>
{
    Q_OBJECT
public:
    explicit CompassPanel(QWidget *parent = nullptr) : StatePanel({150, 150}, parent) {}
protected:
    void paint(QPainter &painter, const int &bearingTenths) const override;
};

// The eight pixels as a strip coloured from cold to hot, and the ambient.
class ThermalPanel : public StatePanel<ThermalState>
{
    Q_OBJECT
public:
    explicit ThermalPanel(QWidget *parent = nullptr) : StatePanel({340, 80}, parent) {}
protected:
    void paint(QPainter &painter, const ThermalState &state) const override;
};

// Cold blue through green to hot red, for degrees Celsius.
QColor temperatureColour(int celsius);

// What the motor controller's mode makes of its two speed registers, in two lines.
QStringList modeMeaning(int mode);

} // namespace kestrava::simview
