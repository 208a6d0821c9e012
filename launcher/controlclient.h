#pragma once

#include <QString>
#include <QStringList>

namespace kestrava::launcher {

// A running kestrava-sim takes control commands on a local socket beside its --link.

// That socket for a device path, or empty when no simulator listens beside it.
QString controlSocketBeside(const QString &device);

// Sends one command line and blocks until its answer has come whole (the last line
// "ok..." or "error: ..."), at most timeoutMs. Empty, with the reason in `error`,
// when the simulator cannot be reached or does not answer in time.
QStringList commandOverSocket(const QString &socketPath, const QString &line, QString &error, int timeoutMs = 3000);

} // namespace kestrava::launcher
