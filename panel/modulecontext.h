#pragma once

#include "link/eventgate.h"
#include "link/reading.h"
#include "link/transactionengine.h"

#include <QWidget>

namespace kestrava {

// What a module's code gets from the window: the engine for its transactions, the
// gate for safe points, the window whose closing ends a long operation, and who
// else hears of every reading the window shows. Its controls come apart, typed,
// from the layout (panel/panelcontrols.h).
struct ModuleContext
{
    TransactionEngine &engine;
    EventGate &gate;
    QWidget &panel;
    ReadingSink onShown = {};

};

} // namespace kestrava
