#pragma once

#include "cli/executor.h"
#include "cli/limits.h"
#include "cli/output.h"
#include "link/linkclock.h"

#include <QTextStream>

namespace kestrava::cli {

// A command carried out once, or with --every pass after pass, each printed as it comes.
struct Passes
{
    Executor &executor;
    Printer &printer;
    QTextStream &errors;
    const LinkClock &clock;  // the link's: a stepped simulator's periods are its own, not the wall's
    Executor::Pause pause;   // returns early when the program must end
    const bool &interrupted; // a termination signal came
    int everyMs = -1;        // -1: once
    int count = 0;           // 0: until interrupted
};

// The exit status of the passes' worst outcome; a lost device ends them.
Status carryOutPasses(const Passes &passes, const Request &request);

} // namespace kestrava::cli
