#pragma once

#include "cli/checks.h"
#include "cli/request.h"

#include <QString>

#include <vector>

// The one table of commands: each command of kestrava-cli and each method of its server,
// with its values, their types and ranges, and what it reads. A new command is a row here
// and its case in Executor::carryOut (cli/executor.cpp), which carries it out for both.
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
    // On the server; method nullptr: the command line's only.
    const char *method = nullptr;
    // Its values, in their order by position (as words, those with a word), each
    // checked by its type and range whether it comes as a word or as a param.
    std::vector<Param> params = {};
    void (*fill)(Request &, const Values &) = nullptr;
    bool reads = false; // only reads: --every may repeat it
};

const std::vector<CommandRow> &commands();
const CommandRow *commandNamed(const QString &name);
const CommandRow *methodNamed(const QString &method);
const CommandRow &tableRow(Command command);

// --help's list of commands, each with an example.
QString commandList();

} // namespace kestrava::cli
