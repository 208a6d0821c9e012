#pragma once

#include "cli/output.h"
#include "link/reading.h"
#include "cli/request.h"

#include <QTextStream>

namespace kestrava {
class InStepLink;
class Motors;
}

namespace kestrava::cli {

// Runs one pass of a request over a link kept in step: the frames, the rows
// printed, and the complaints about registers whose own answer did not come.
class Session
{
public:
    Session(InStepLink &link, Motors &motors, Printer &printer, QTextStream &errors);

    // One pass; the worst outcome met (Taken when everything answered).
    Outcome run(const Request &request, double secondsSinceStart);

    // drive's wait; returns early when `interrupted` says so.
    using Interruptible = std::function<void(int milliseconds)>;
    void setDriveWait(Interruptible wait) { m_driveWait = std::move(wait); }

private:
    Outcome read(const Request &request, double t);
    Outcome write(const Request &request, double t);
    Outcome dump(const Request &request, double t);
    Outcome probe(const Request &request, double t);
    Outcome sequence(Outcome (*run)(InStepLink &, const ReadingSink &), double t);
    Outcome actuate(const Request &request);
    Outcome writeEach(std::span<const QByteArray> frames);
    Outcome drive(const Request &request);
    Outcome stopMotors();
    // A complaint for a write or read whose answer did not come; the outcome passes through.
    Outcome complain(Outcome outcome, quint8 address, quint8 reg);
    Outcome complainOfMotors(Outcome outcome);

    InStepLink &m_link;
    Motors &m_motors;
    Printer &m_printer;
    QTextStream &m_errors;
    Interruptible m_driveWait;
};

// The readings of one pass as a row: single fields as columns, repeated fields
// (pixel, range) as one array column named in the plural; the plain lines carry
// the units and name each ranger by its address.
Row rowOf(const std::vector<Reading> &readings);
// "B0 register 13".
QString registerText(quint8 address, quint8 reg);
// The frames of relays, servo or display, each answered by one byte.
std::vector<QByteArray> actuatorFrames(const Request &request);
// What the command line says of a register whose answer did not come.
QString complaintText(Outcome outcome, quint8 address, quint8 reg);

} // namespace kestrava::cli
