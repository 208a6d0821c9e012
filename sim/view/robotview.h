#pragma once

#include "viewstate.h"

#include <QSet>
#include <QTimer>
#include <QWidget>

namespace kestrava::sim {
class SimulatorThread;
}

namespace kestrava::simview {

class ArenaPanel;
class BusPanel;
class CompassPanel;
class DisplayPanel;
class KeypadPanel;
class MotorPanel;
class RelayPanel;
class ServoPanel;
class ThermalPanel;
class ViewFeed;

// The robot view: the simulated robot's modules as they are now, drawn from the
// simulator's own model, and the operator's hands on it (keypad, faults, adapter).
// Construct it before the simulator thread starts: it sets the thread's watcher.
class RobotView : public QWidget
{
    Q_OBJECT
public:
    explicit RobotView(sim::SimulatorThread &simulator, QWidget *parent = nullptr);
    ~RobotView() override;

    KeypadPanel *keypad() const { return m_keypad; }
    ArenaPanel *arena() const { return m_arena; }
    // Runs a control command in the simulator's thread, as standard input would.
    QStringList run(const QString &command);

signals:
    // After the panels have taken a new state (for measurements).
    void shown();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showState(const ViewState &state);
    // Runs the command and shows its outcome.
    void act(const QString &command);
    void pressKey(QChar key);
    void releaseKey(QChar key);
    QWidget *framed(const QString &title, QWidget *content);
    QWidget *arenaWithButton();
    QWidget *side(QWidget *left, QWidget *right, int leftStretch = 1);

    sim::SimulatorThread &m_simulator;
    ViewFeed *m_feed;
    ArenaPanel *m_arena;
    MotorPanel *m_motors;
    ServoPanel *m_servos;
    RelayPanel *m_relays;
    DisplayPanel *m_display;
    KeypadPanel *m_keypad;
    CompassPanel *m_compass;
    ThermalPanel *m_thermal;
    BusPanel *m_bus;
    quint8 m_displayAddress = 0xC6;
    QSet<QChar> m_keysHeldByKeyboard;
    // While something moves by itself, the model is looked at once a frame.
    QTimer m_motion;
};

} // namespace kestrava::simview
