#pragma once

#include "eventgate.h"
#include "eventhandlers.h"
#include "modulecontext.h"
#include "pseudoterminal.h"
#include "scriptedadapter.h"
#include "serialline.h"
#include "transactionengine.h"

#include <QSignalSpy>
#include <QWidget>

namespace kestrava::test {

// A stand-in window for testing one module's code: a root widget that holds only
// the controls the test adds, and the line, engine, gate and handler table that
// the window would own, with a scripted adapter on the far end of COM1.
struct ModuleRig
{
    PseudoTerminal pty;
    ScriptedAdapter adapter{pty};
    SerialLine line;
    TransactionEngine engine{line};
    EventGate gate;
    EventHandlers handlers;
    QSignalSpy overlaps{&engine, &TransactionEngine::overlapDetected};
    QWidget panel; // destroyed first: the module objects hang from it
    ModuleContext context{engine, gate, panel, handlers};

    // Opens COM1 on the pseudo-terminal; check isOpen() before relying on it.
    ModuleRig()
    {
        mapComPort(1, pty.devicePath());
        if (line.setCommPort(1))
            line.open();
    }

    template <class T>
    T *addControl(const QString &name, QWidget *container = nullptr)
    {
        auto *control = new T(container ? container : &panel);
        control->setObjectName(name);
        return control;
    }

    // A click as the window delivers it: the named handler, through the gate.
    void click(const QString &handlerName)
    {
        const EventHandlers::Entry *entry = handlers.find(handlerName);
        if (!entry)
            qFatal("no handler %s", qPrintable(handlerName));
        gate.run(std::get<EventHandlers::Plain>(entry->handler));
    }
};

} // namespace kestrava::test
