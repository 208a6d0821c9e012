#pragma once

// What the motor-drive tests share: the MD23 frame's labels in a bare window,
// the drive code installed over its own line, engine, gate and handler table,
// and a scripted adapter on the far end of a pseudo-terminal. Events reach the
// handlers through the gate, as the window's event table sends them.

#include "drivebinding.h"
#include "modulerig.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

namespace kestrava::test {

class DriveRig : public ModuleRig
{
public:
    DriveRig()
    {
        for (const char *name : {"Label9", "Label10", "LblConta1", "LblConta2", "LblBateria",
                                 "LblVersionMD23", "LblCon1", "LblCon2"})
            addControl<QLabel>(QString::fromLatin1(name));
        installDrive(context);
    }

    void click(const char *handler, qint16 index = -1) { fire(QString::fromLatin1(handler), index); }
    void mouse(const char *handler, qint16 button, float x, float y)
    {
        fire(QString::fromLatin1(handler), -1, MouseArgs{button, 0, x, y});
    }
    QString caption(const char *label) const
    {
        return panel.findChild<QLabel *>(QString::fromLatin1(label))->text();
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
