#pragma once

// What the motor-drive tests share: the MD23 frame's labels in a bare window,
// the drive code installed over its own line, engine, gate and handler table,
// and a scripted adapter on the far end of a pseudo-terminal. Events reach the
// handlers through the gate, as the window's event table sends them.

#include "drive.h"
#include "eventgate.h"
#include "eventhandlers.h"
#include "modulecontext.h"
#include "pseudoterminal.h"
#include "scriptedadapter.h"
#include "serialline.h"
#include "transactionengine.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

namespace kestrava::test {

class DriveRig
{
public:
    PseudoTerminal pty;
    ScriptedAdapter adapter{pty};
    SerialLine line;
    TransactionEngine engine{line};
    EventGate gate;
    EventHandlers handlers;
    QWidget root;
    QSignalSpy overlaps{&engine, &TransactionEngine::overlapDetected};

    DriveRig()
    {
        mapComPort(1, pty.devicePath());
        line.setCommPort(1);
        line.open();
        for (const char *name : {"Label9", "Label10", "LblConta1", "LblConta2", "LblBateria",
                                 "LblVersionMD23", "LblCon1", "LblCon2"}) {
            auto *label = new QLabel(&root);
            label->setObjectName(QString::fromLatin1(name));
        }
        installDrive(ModuleContext{engine, gate, root, handlers});
    }

    bool ready() const { return pty.isValid() && line.isOpen(); }

    void click(const char *handler)
    {
        gate.run([h = std::get<EventHandlers::Plain>(entry(handler).handler)] { h(); });
    }
    void click(const char *handler, qint16 index)
    {
        gate.run([h = std::get<EventHandlers::Indexed>(entry(handler).handler), index] { h(index); });
    }
    void mouse(const char *handler, qint16 button, float x, float y)
    {
        const EventHandlers::Entry &e = entry(handler);
        const MouseArgs args{button, 0, x, y};
        auto operation = [h = std::get<EventHandlers::Mouse>(e.handler), args] { h(args); };
        if (e.deferral == Deferral::MergeWithLatest)
            gate.runMerging(int(qHash(QByteArray(handler)) & 0x7fffffff), operation);
        else
            gate.run(operation);
    }

    QString caption(const char *label) const
    {
        return root.findChild<QLabel *>(QString::fromLatin1(label))->text();
    }
    QList<QByteArray> frames() const { return adapter.frameBytes(); }

private:
    const EventHandlers::Entry &entry(const char *handler) const
    {
        const EventHandlers::Entry *e = handlers.find(QString::fromLatin1(handler));
        if (!e)
            qFatal("no handler %s", handler);
        return *e;
    }
};

inline QList<QByteArray> hexFrames(std::initializer_list<const char *> frames)
{
    QList<QByteArray> out;
    for (const char *f : frames)
        out.append(QByteArray::fromHex(f));
    return out;
}

// A timed move's rows: element index, the drive and stop frames, and its ticks.
inline void addTimedMoveColumns()
{
    QTest::addColumn<qint16>("index");
    QTest::addColumn<QByteArray>("driveFrame");
    QTest::addColumn<QByteArray>("stopFrame");
    QTest::addColumn<int>("ticks");
}

// Runs the current row's move and checks both frames and the time between them:
// WaitTicks(n) lasts n to n + 1 ticks of 50 ms; the stop frame comes no sooner,
// and no later than a loaded machine's generous margin after that.
inline void runAndCheckTimedMove(const char *handler)
{
    QFETCH(qint16, index);
    QFETCH(QByteArray, driveFrame);
    QFETCH(QByteArray, stopFrame);
    QFETCH(int, ticks);
    DriveRig rig;
    QVERIFY(rig.ready());
    rig.click(handler, index);
    QVERIFY(rig.adapter.waitForFrames(2));
    QCOMPARE(rig.frames(), (QList<QByteArray>{driveFrame, stopFrame}));
    const qint64 delay = rig.adapter.frames().at(1).atMs - rig.adapter.frames().at(0).atMs;
    qInfo("%s(%d): stop frame %lld ms after the drive frame (%d ticks)", handler, index, delay, ticks);
    QVERIFY2(delay >= ticks * 50 - 2, qPrintable(QString::number(delay)));
    QVERIFY2(delay <= (ticks + 1) * 50 + 250, qPrintable(QString::number(delay)));
    QCOMPARE(rig.overlaps.count(), 0);
}

} // namespace kestrava::test
