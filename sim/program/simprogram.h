#pragma once

#include <QCommandLineOption>
#include <QList>

#include <functional>
#include <memory>

class QCommandLineParser;
class QCoreApplication;
class QObject;

namespace kestrava::sim {

class SimulatorThread;

// A window on the simulator, opened by an option of kestrava-sim. With it the
// simulator runs in a thread of its own and the window in the main thread.
struct SimulatorFrontEnd
{
    QCommandLineOption option;
    QList<QCommandLineOption> moreOptions; // for the window, taken with `option` only
    // The application object for the window (the core alone needs Qt Core only).
    std::function<std::unique_ptr<QCoreApplication>(int &argc, char **argv)> makeApplication;
    std::function<std::unique_ptr<QObject>(SimulatorThread &, const QCommandLineParser &)> open;
};

// kestrava-sim: a simulated USB-to-I2C adapter with the robot's modules behind it,
// on a pseudo-terminal, controlled by commands on standard input. Returns the exit code.
int runSimulator(int argc, char *argv[], const SimulatorFrontEnd *frontEnd = nullptr);

} // namespace kestrava::sim
