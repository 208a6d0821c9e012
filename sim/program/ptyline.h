#pragma once

#include "sim/program/latencytimer.h"
#include "sim/program/precisetimer.h"
#include "sim/world/simclock.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace kestrava::sim {

class SimAdapter;

// The simulator's end of the serial line: a pseudo-terminal in raw mode whose slave
// device the panel opens as its COM port. What the panel writes goes to the adapter;
// the adapter's answers are written back when their wire time has passed. On a stepped
// clock that time is not waited for: the clock moves on to it and the answer goes out at once.
class PtyLine : public QObject
{
    Q_OBJECT
public:
    PtyLine(SimAdapter &adapter, SimClock &clock, QObject *parent = nullptr);
    ~PtyLine() override;

    // Opens a fresh pseudo-terminal; false with errorString() when it cannot.
    bool open();
    // Closes the master: for the panel, the adapter has been unplugged.
    void close();
    bool isOpen() const { return m_master >= 0; }
    QString devicePath() const { return m_devicePath; }
    QString errorString() const { return m_error; }
    // Answers then wait in an emulated USB serial chip (0: they go out at once).
    void setLatencyTimer(SimTime timer) { m_latency = LatencyTimer(timer); }
    // While `holds` says so, nothing more is read from the line: what the program sends waits
    // there. takeInputAgain() reads it once `holds` no longer does.
    void holdInputWhile(std::function<bool()> holds) { m_holds = std::move(holds); }
    void takeInputAgain();

private:
    bool fail(const char *step);
    void readMaster();
    void pump();
    void writeMaster(const QByteArray &bytes);

    void pumpStepped();

    SimAdapter &m_adapter;
    SimClock &m_clock;
    int m_master = -1;
    // The simulator keeps the slave open itself, so the master never reads a hang-up
    // while no panel has the device open (which would wake the event loop without end).
    int m_slaveKeeper = -1;
    QString m_devicePath;
    QString m_error;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::function<bool()> m_holds;
    PreciseTimer m_timer;
    LatencyTimer m_latency;
};

} // namespace kestrava::sim
