#pragma once

#include "sim/view/viewstate.h"

#include <QSet>
#include <QTimer>
#include <QWidget>

class QBoxLayout;
class QGridLayout;
class QScrollArea;

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
class RunPanel;
class ServoPanel;
class ThermalPanel;
class ViewFeed;

// How the view shares its room: the arena beside the module panels or above them,
// the panels in as many columns as fit, scrolled when they do not.
struct Arrangement
{
    bool beside = true;
    int columns = 1;
    QSize arena; // the arena panel's size, its proportions those of the arena
    bool operator==(const Arrangement &) const = default;
};

// The robot view: the simulated robot's modules as they are now, drawn from the
// simulator's own model, and the operator's hands on it (keypad, faults, adapter,
// arena and run). Construct it before the simulator thread starts: it sets the
// thread's watcher.
class RobotView : public QWidget
{
    Q_OBJECT
public:
    explicit RobotView(sim::SimulatorThread &simulator, QWidget *parent = nullptr);
    ~RobotView() override;

    KeypadPanel *keypad() const { return m_keypad; }
    ArenaPanel *arena() const { return m_arena; }
    RunPanel *runPanel() const { return m_run; }
    const Arrangement &arrangement() const { return m_arrangement; }
    // Runs a control command in the simulator's thread, as standard input would.
    QStringList run(const QString &command);

signals:
    // After the panels have taken a new state (for measurements).
    void shown();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showState(const ViewState &state);
    // Runs the command and shows its outcome.
    void act(const QString &command);
    void pressKey(QChar key);
    void releaseKey(QChar key);
    QWidget *framed(const QString &title, QWidget *content);
    void connectArena();
    // The arrangement that gives the arena the most room, the panels fitting when they can.
    Arrangement bestArrangement(QSize room) const;
    void arrange();

    sim::SimulatorThread &m_simulator;
    ViewFeed *m_feed;
    RunPanel *m_run;
    ArenaPanel *m_arena;
    MotorPanel *m_motors;
    ServoPanel *m_servos;
    RelayPanel *m_relays;
    DisplayPanel *m_display;
    KeypadPanel *m_keypad;
    CompassPanel *m_compass;
    ThermalPanel *m_thermal;
    BusPanel *m_bus;
    QList<QWidget *> m_moduleFrames; // in the order they are laid out
    QBoxLayout *m_layout;
    QWidget *m_arenaBlock;
    QScrollArea *m_modulesScroll;
    QGridLayout *m_modulesGrid;
    Arrangement m_arrangement{false, 0, {}}; // none yet
    quint8 m_displayAddress = 0xC6;
    QSet<QChar> m_keysHeldByKeyboard;
    // While something moves by itself, the model is looked at once a frame.
    QTimer m_motion;
};

} // namespace kestrava::simview
