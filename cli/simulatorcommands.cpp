// The way to a simulated robot's control commands, and kestrava-cli sim, which passes one on.
#include "cli/simulatorcommands.h"

#include "cli/limits.h"
#include "launcher/controlclient.h"
#include "launcher/simanswers.h"
#include "launcher/simulatedbus.h"

namespace kestrava::cli {

Executor::SimulatorCommands simulatorAt(launcher::SimulatedBus *started, const QString &device)
{
    if (started)
        return [started](const QString &line, QString &) { return started->command(line); };
    const QString socket = launcher::controlSocketBeside(device);
    if (socket.isEmpty())
        return {};
    return [socket](const QString &line, QString &error) { return launcher::commandOverSocket(socket, line, error); };
}

int passControlCommand(const Executor::SimulatorCommands &commands, const QString &device, const QString &line,
                       Format format, QTextStream &out, QTextStream &err)
{
    if (!commands) {
        err << "error: no kestrava-sim takes commands beside " << device
            << "; start one with kestrava-sim --link PATH and name PATH with --device PATH\n";
        return PortNotOpened;
    }
    QString error;
    const QStringList lines = commands(format == Format::Json ? launcher::askingForJson(line) : line, error);
    if (lines.isEmpty()) {
        err << "error: " << error << '\n';
        return PortNotOpened;
    }
    for (const QString &answerLine : lines)
        out << answerLine << '\n';
    return launcher::succeeded(lines) ? AllAnswered : NoAnswer;
}

} // namespace kestrava::cli
