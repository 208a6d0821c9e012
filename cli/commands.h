#pragma once

#include "cli/checks.h"
#include "cli/request.h"

#include <QString>

#include <vector>

// The one table of commands: each command of kestrava-cli and each method of its server,
// with its arguments or params, their checks, and what it reads. A new command is a row
// here and its handler (Session::run for the command line, Dispatcher::carryOut for the
// server), whose switches have no default so that a missing case fails the build.
namespace kestrava::cli {

struct CommandRow
{
    Command command;
    // On the command line; name nullptr: the server's only.
    const char *name = nullptr;
    const char *usage = nullptr;   // as --help and the man page's COMMANDS give it
    const char *example = nullptr; // --help's example; a line break goes on under it
    int least = 0;                 // arguments after the name
    int most = 0;                  // -1: no limit
    void (*fromWords)(Request &, const Words &) = nullptr;
    // On the server; method nullptr: the command line's only.
    const char *method = nullptr;
    std::vector<Param> params = {}; // in their order by position
    void (*fromParams)(Request &, const Params &) = nullptr;
    bool reads = false; // only reads: --every may repeat it
};

const std::vector<CommandRow> &commands();
const CommandRow *commandNamed(const QString &name);
const CommandRow *methodNamed(const QString &method);
const CommandRow &rowOf(Command command);

// --help's list of commands, each with an example.
QString commandList();

} // namespace kestrava::cli
