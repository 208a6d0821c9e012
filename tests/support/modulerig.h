#pragma once

#include "eventgate.h"
#include "eventhandlers.h"
#include "modulecontext.h"
#include "pseudoterminal.h"
#include "scriptedadapter.h"
#include "serialline.h"
#include "transactionengine.h"

#include <QSignalSpy>
#include <QTimer>
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
    // No test may ever see a transaction start inside another's wait.
    QSignalSpy overlaps{&engine, &TransactionEngine::overlapDetected};
    QWidget panel; // destroyed first: the module objects hang from it
    ModuleContext context{engine, gate, panel, handlers};

    // Opens COM1 on the pseudo-terminal; check ready() before relying on it.
    ModuleRig()
    {
        mapComPort(1, pty.devicePath());
        if (line.setCommPort(1))
            line.open();
    }
    bool ready() const { return pty.isValid() && line.isOpen(); }

    template <class T>
    T *addControl(const QString &name, QWidget *container = nullptr)
    {
        auto *control = new T(container ? container : &panel);
        control->setObjectName(name);
        return control;
    }
    template <class T>
    T *addControl(const QString &name, int index)
    {
        return addControl<T>(QStringLiteral("%1(%2)").arg(name).arg(index));
    }

    // An event as the window delivers it: the named handler, through the gate.
    void fire(const QString &handler, qint16 index = -1, const MouseArgs &mouse = {})
    {
        if (!handlers.fire(gate, handler, index, mouse))
            qFatal("no handler %s", qPrintable(handler));
    }
    void click(const QString &handler) { fire(handler); }
    // The same, `ms` from now: from inside whatever wait is running then.
    void fireLater(int ms, const QString &handler, qint16 index = -1)
    {
        QTimer::singleShot(ms, &panel, [this, handler, index] { fire(handler, index); });
    }

    QList<QByteArray> frames() const { return adapter.frameBytes(); }
};

} // namespace kestrava::test
