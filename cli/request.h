#pragma once

#include "cli/limits.h"
#include "numbers/commandnumbers.h"

#include <QString>

#include <chrono>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

namespace kestrava::cli {

// Each has its row in the table of commands (cli/commands.cpp).
enum class Command {
    Read, Write, Dump, Probe, Telemetry, Ranges, Bearing, Thermal, Relays, Servo, Display, Drive,
    Serve, // the command line's own: a JSON-RPC server on standard input and output
    Sim,   // the command line's own: one control command to a running simulator
    Wheels, // the server's only: each wheel's steps, for the drive base
    Keys, Stop, Hello, Wait, Clock, // the server's only
    SimulatorRun, SimulatorStart, SimulatorArena, SimulatorCandle, SimulatorPose, SimulatorPath, // the server's, on a simulator
};

// One command line's work, checked: every value is in range.
struct Request
{
    Command command = Command::Read;
    std::vector<quint8> addresses; // even bus addresses
    bool wholeBus = false;         // probe: none named, every address from 02 to FE
    quint8 firstRegister = 0;
    int count = 1;                 // registers to read
    std::vector<quint8> bytes;     // write data; relays: the pattern
    int servo = 0;                 // 0..20
    quint16 position = 0;
    QString displayText;           // display: the text to show
    QString controlLine;           // sim and the simulator methods: the simulator's control command
    quint8 speed1 = 128;
    quint8 speed2 = 128;
    int left = 0;                   // wheels: each wheel's steps from the stop, positive forwards
    int right = 0;
    bool together = true;           // ranges: fired together, read after one measuring time
    int milliseconds = 0;           // drive; the server's drive without a time: NoTime
    bool waitForEnd = true;         // the server's timed drive: false answers at once and stops by itself
    static constexpr int NoTime = -1;
    std::chrono::nanoseconds span{}; // the server's wait, on the link's clock
};

// Whether a command only reads, so that --every may repeat it.
bool isReading(Command command);

// The request for the positional arguments, or the message that says what is wrong.
std::variant<Request, QString> parseRequest(const QStringList &arguments);

} // namespace kestrava::cli
