#include "sim/program/simulator.h"

#include "sim/program/modulekinds.h"

#include <QFile>

#include <cstdio>

namespace kestrava::sim {

bool DeviceLink::pointAt(const QString &device, QString &error)
{
    if (m_path.isEmpty())
        return true;
    removeLink();
    if (QFile::exists(m_path) || !QFile::link(device, m_path)) {
        error = QStringLiteral("cannot make the link %1 (is something else there?)").arg(m_path);
        return false;
    }
    m_device = device;
    return true;
}

void DeviceLink::removeLink()
{
    if (!m_path.isEmpty() && !m_device.isEmpty() && QFile::symLinkTarget(m_path) == m_device)
        QFile::remove(m_path);
    m_device.clear();
}

namespace {

SimBus &filled(SimBus &bus, const SimulatorOptions &options)
{
    if (!options.empty)
        addRobot(bus);
    if (options.arena)
        bus.world().setArena(*options.arena, options.seed);
    if (options.clock == SimClock::Kind::Stepped)
        bus.world().setFixedStep(World::SteppedWorldStep);
    return bus;
}

} // namespace

Simulator::Simulator(const SimulatorOptions &options, QObject *parent)
    : QObject(parent)
    , m_clock(options.clock)
    , m_adapter(filled(m_bus, options), options.fast ? SimTime{0} : WireByteTime)
    , m_line(m_adapter, m_clock)
    , m_link(options.link)
    , m_control(m_bus, m_clock, LineActions{
          [this] {
              const bool wasOpen = m_line.isOpen();
              m_line.close();
              return wasOpen;
          },
          [this](QString &pathOrError) { return restore(pathOrError); },
          [this] {
              // Gone before the answer, so that whoever asked may start another on the same path at once.
              m_link.removeLink();
              m_socket.close();
              emit quitRequested();
          },
      }, options.seed)
    , m_linkPath(options.link)
    , m_socket([this, caller = options.judged ? Caller::JudgedProgram : Caller::Anyone](const QString &line) {
        // Straight to the commands: only standard input and the view let a held program go on.
        return m_control.execute(line, caller);
    })
{
    m_line.setLatencyTimer(options.latencyTimer);
    m_line.holdInputWhile([this] { return holdsTheProgram(); });
    m_socket.holdInputWhile([this] { return holdsTheProgram(); });
}

// A stepped judged run that is over takes nothing more from its program until its judge ends
// it: the program stands at its first request after the run, whatever the judge's pace, so
// that what it printed is the same every time.
bool Simulator::holdsTheProgram() const
{
    return m_clock.stepped() && m_bus.world().overForTheJudge();
}

QStringList Simulator::execute(const QString &line, Caller caller)
{
    const QStringList answer = m_control.execute(line, caller);
    m_line.takeInputAgain();
    m_socket.takeInputAgain();
    return answer;
}

bool Simulator::open(QString &error)
{
    if (!m_line.open()) {
        error = m_line.errorString();
        return false;
    }
    if (!m_link.pointAt(m_line.devicePath(), error))
        return false;
    // Without its socket the simulator still serves the line and standard input: say so and go on.
    QString socketError;
    if (!m_linkPath.isEmpty() && !m_socket.listen(ControlSocket::besideLink(m_linkPath), socketError))
        std::fprintf(stderr, "kestrava-sim: %s; control commands on standard input only\n", qPrintable(socketError));
    return true;
}

bool Simulator::restore(QString &pathOrError)
{
    if (!m_line.open()) {
        pathOrError = m_line.errorString();
        return false;
    }
    pathOrError = m_line.devicePath();
    QString linkError;
    if (!m_link.pointAt(m_line.devicePath(), linkError))
        pathOrError += QStringLiteral(" (") + linkError + QLatin1Char(')');
    return true;
}

} // namespace kestrava::sim
