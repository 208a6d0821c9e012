#pragma once

#include "link/eventgate.h"
#include "link/reading.h"
#include "link/transactionengine.h"

#include <QWidget>

namespace kestrava {

// What a module's code gets from the window: the engine for its transactions, the
// gate for safe points, the window to find its controls in, and who else hears of
// every reading the window shows.
struct ModuleContext
{
    TransactionEngine &engine;
    EventGate &gate;
    QWidget &panel;
    ReadingSink onShown = {};

    // The control named `name`, or the element `name(index)` of a control array.
    template <class T>
    T &control(const QString &name) const
    {
        T *found = panel.findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return *found;
    }
    template <class T>
    T &control(const QString &name, int index) const
    {
        return control<T>(QStringLiteral("%1(%2)").arg(name).arg(index));
    }
};

} // namespace kestrava
