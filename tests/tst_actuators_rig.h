#pragma once

// A bench for the actuator handlers: the named controls they use, a serial line
// over a pseudo-terminal with a scripted adapter at the far end, and handlers run
// through the gate as the window runs them.

#include "actuators.h"
#include "eventgate.h"
#include "eventhandlers.h"
#include "modulecontext.h"
#include "pseudoterminal.h"
#include "scriptedadapter.h"
#include "serialline.h"
#include "transactionengine.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace kestrava::test {

class ActuatorRig
{
public:
    PseudoTerminal pty;
    ScriptedAdapter adapter{pty};
    SerialLine line;
    TransactionEngine engine{line};
    EventGate gate;
    EventHandlers handlers;
    QWidget panel;
    ModuleContext context{engine, gate, panel, handlers};
    bool opened = false;
    // No test may ever see a transaction start inside another's wait.
    QSignalSpy overlaps{&engine, &TransactionEngine::overlapDetected};

    ActuatorRig()
    {
        buildControls();
        mapComPort(1, pty.devicePath());
        line.setCommPort(1);
        opened = line.open();
        installActuators(context);
    }

    // The window's event table: each event goes through the gate.
    void fire(const QString &handler)
    {
        const auto run = std::get<EventHandlers::Plain>(entry(handler));
        gate.run(run);
    }
    void fire(const QString &handler, qint16 index)
    {
        const auto run = std::get<EventHandlers::Indexed>(entry(handler));
        gate.run([run, index] { run(index); });
    }
    // The same, from inside whatever wait is running, `ms` from now.
    void fireLater(int ms, const QString &handler, qint16 index = -1)
    {
        QTimer::singleShot(ms, &panel, [this, handler, index] {
            index < 0 ? fire(handler) : fire(handler, index);
        });
    }

    template <class T>
    T &control(const QString &name, int index = -1)
    {
        return index < 0 ? context.control<T>(name) : context.control<T>(name, index);
    }
    QScrollBar &bar(const QString &name, int index = -1) { return control<QScrollBar>(name, index); }
    QLabel &label(const QString &name, int index = -1) { return control<QLabel>(name, index); }
    QLineEdit &textBox(const QString &name) { return control<QLineEdit>(name); }

    // Frames as the adapter received them, as hex without blanks.
    QStringList sentFrames() const
    {
        QStringList hex;
        for (const QByteArray &frame : adapter.frameBytes())
            hex.append(QString::fromLatin1(frame.toHex()));
        return hex;
    }

private:
    const EventHandlers::Handler &entry(const QString &name)
    {
        const EventHandlers::Entry *found = handlers.find(name);
        if (!found)
            qFatal("no handler %s", qPrintable(name));
        return found->handler;
    }

    template <class T>
    T *add(const QString &name)
    {
        auto *control = new T(&panel);
        control->setObjectName(name);
        return control;
    }
    static QString element(const char *name, int index)
    {
        return QStringLiteral("%1(%2)").arg(QLatin1StringView(name)).arg(index);
    }

    void buildControls()
    {
        for (int i = 0; i < 21; ++i) {
            auto *servo = add<QScrollBar>(element("ServoScroll", i));
            servo->setRange(500, 2500);
            servo->setValue(1500);
            add<QLabel>(element("ServoVal", i))->setText(QStringLiteral("15"));
        }
        add<QScrollBar>(QStringLiteral("VeloScroll"))->setRange(0, 255);
        for (int i = 0; i < 8; ++i)
            add<QLabel>(element("ImgRele", i))->hide();
        add<QLineEdit>(QStringLiteral("TxtStatus"))->setText(QStringLiteral("Text1"));
        add<QLineEdit>(QStringLiteral("TxtLCD03"))->setText(QStringLiteral("Escriba el texto a mandar al display "));
    }
};

} // namespace kestrava::test
