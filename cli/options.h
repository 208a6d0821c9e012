#pragma once

#include "cli/limits.h"
#include "cli/output.h"
#include "cli/request.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace kestrava::cli {

// kestrava-cli's options, with its --help text.
struct Options
{
    QCommandLineOption com{QStringLiteral("com"), QStringLiteral("COM port <n> (1 to 16), as in the window; default 1."),
                           QStringLiteral("n"), QStringLiteral("1")};
    QCommandLineOption device{QStringLiteral("device"),
                              QStringLiteral("The adapter's device <path>, absolute or from the current folder."),
                              QStringLiteral("path")};
    QCommandLineOption simulate{QStringLiteral("simulate"),
                                QStringLiteral("Run against a fresh simulated robot (kestrava-sim), started for this "
                                               "command only: nothing carries over to the next command. "
                                               "--simulate=view opens its robot view.")};
    QCommandLineOption arena{QStringLiteral("arena"),
                             QStringLiteral("With --simulate: the arena, a bundled one (open, house, corridor) or a file."),
                             QStringLiteral("name|file")};
    QCommandLineOption seed{QStringLiteral("seed"),
                            QStringLiteral("With --simulate: picks the candle's place among the arena's places "
                                           "(0 to 4294967295)."),
                            QStringLiteral("n")};
    QCommandLineOption watchdog{QStringLiteral("watchdog"),
                                QStringLiteral("serve: stop the motors when no request comes for <ms> while they "
                                               "move (default %1; 0 turns it off).").arg(DefaultWatchdogMs),
                                QStringLiteral("ms"), QString::number(DefaultWatchdogMs)};
    QCommandLineOption keepView{QStringLiteral("keep-view"),
                                QStringLiteral("With --simulate=view: when the command or the server ends, the motors "
                                               "stopped, leave the robot view open with the run's result until it is closed.")};
    QCommandLineOption trace{QStringLiteral("trace"), QStringLiteral("Write every frame and reply to <file>."),
                             QStringLiteral("file")};
    QCommandLineOption timeout{QStringLiteral("timeout"),
                               QStringLiteral("Bound each wait to <ms> milliseconds (default: 11 ticks of 50 ms; "
                                              "probe: 60 ms)."),
                               QStringLiteral("ms")};
    QCommandLineOption every{QStringLiteral("every"),
                             QStringLiteral("Repeat a reading command every <ms> milliseconds (0: back to back)."),
                             QStringLiteral("ms")};
    QCommandLineOption count{QStringLiteral("count"), QStringLiteral("With --every: stop after <n> readings."),
                             QStringLiteral("n")};
    QCommandLineOption oneByOne{QStringLiteral("one-by-one"),
                                QStringLiteral("ranges: fire and read each ranger in turn (five measuring times), for "
                                               "rangers close enough to hear each other's ping. By default the five "
                                               "measure together.")};
    QCommandLineOption csv{QStringLiteral("csv"), QStringLiteral("A header line, then one CSV row per reading.")};
    QCommandLineOption json{QStringLiteral("json"), QStringLiteral("One JSON object per reading and per line.")};
    QCommandLineParser parser;

    Options();
};

// What the options ask for, checked.
struct Settings
{
    int com = 1;
    int timeoutMs = 0; // 0: the window's 11 ticks
    int everyMs = -1;  // -1: once
    int count = 0;     // 0: until interrupted
    Format format = Format::Plain;
    int watchdogMs = DefaultWatchdogMs;
};

struct UsageError
{
    QString message;
};

// What the options ask for, checked against the request; a UsageError says what is wrong.
Settings settingsFrom(const Options &o, const Request &request);

} // namespace kestrava::cli
