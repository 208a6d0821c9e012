#pragma once

#include "sim/world/arena.h"
#include "sim/program/ptyline.h"
#include "sim/program/simadapter.h"
#include "sim/program/simbus.h"
#include "sim/program/controlsocket.h"
#include "sim/program/simcontrol.h"

#include <QObject>
#include <QString>

#include <chrono>

namespace kestrava::sim {

struct SimulatorOptions
{
    bool fast = false;  // no wire time
    bool empty = false; // no module on the bus
    QString link;       // a symbolic link that follows the device, or empty; its control socket beside it
    bool judged = false; // a judged trial: the control socket answers only the commands a trial may use
    std::chrono::milliseconds latencyTimer{0}; // a USB serial chip's hold on answers; 0: none
    std::optional<Arena> arena;   // the "open" arena when left out
    std::optional<quint32> seed;  // picks the candle's place among the arena's; the first when left out
    SimClock::Kind clock = SimClock::Kind::Real;
};

// A symbolic link that follows the line: it is pointed at each new device and
// removed at the end. Only a link (or nothing) is ever replaced, never a file, and
// only our own link is removed: a simulator started on the same path as this one
// ends may already have made its own.
class DeviceLink
{
public:
    explicit DeviceLink(QString path) : m_path(std::move(path)) {}
    ~DeviceLink() { removeLink(); }
    DeviceLink(const DeviceLink &) = delete;
    DeviceLink &operator=(const DeviceLink &) = delete;

    bool pointAt(const QString &device, QString &error);
    void removeLink();

private:
    QString m_path;
    QString m_device;
};

// The simulated adapter with the robot behind it: bus, adapter, line, device link and
// control commands, all living in the thread that made it.
class Simulator : public QObject
{
    Q_OBJECT
public:
    explicit Simulator(const SimulatorOptions &options, QObject *parent = nullptr);

    // Opens the line, points the link at it and opens the control socket beside it.
    bool open(QString &error);
    QString devicePath() const { return m_line.devicePath(); }
    bool isPlugged() const { return m_line.isOpen(); }

    // One control command, now; the lines to print. Standard input and the view may use
    // every command; the socket of a judged trial only those a trial may.
    QStringList execute(const QString &line, Caller caller = Caller::Anyone);
    SimBus &bus() { return m_bus; }
    const SimClock &clock() const { return m_clock; }

signals:
    // A quit command, or the controlling program has gone.
    void quitRequested();

private:
    bool restore(QString &pathOrError);
    bool holdsTheProgram() const;

    SimClock m_clock;
    SimBus m_bus;
    SimAdapter m_adapter;
    PtyLine m_line;
    DeviceLink m_link;
    SimControl m_control;
    QString m_linkPath;
    ControlSocket m_socket;
};

} // namespace kestrava::sim
