#include "driverig.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace kestrava::test;

class DriveTurnsTest : public QObject
{
    Q_OBJECT
private slots:
    void turnDrivesWaitsAndStops_data()
    {
        addTimedMoveColumns();
        const QByteArray stop = QByteArray::fromHex("55b0010180");
        QTest::newRow("right 10") << qint16(0) << QByteArray::fromHex("55b0010187") << stop << 10;
        QTest::newRow("right 30") << qint16(1) << QByteArray::fromHex("55b001018c") << stop << 6;
        QTest::newRow("right 45") << qint16(2) << QByteArray::fromHex("55b001018b") << stop << 14;
        QTest::newRow("right 90") << qint16(3) << QByteArray::fromHex("55b001018b") << stop << 28;
        QTest::newRow("left 10") << qint16(4) << QByteArray::fromHex("55b0010179") << stop << 10;
        QTest::newRow("left 30") << qint16(5) << QByteArray::fromHex("55b0010174") << stop << 6;
        QTest::newRow("left 45") << qint16(6) << QByteArray::fromHex("55b0010175") << stop << 14;
        QTest::newRow("left 90") << qint16(7) << QByteArray::fromHex("55b0010175") << stop << 28;
    }
    void turnDrivesWaitsAndStops() { runAndCheckTimedMove("CmdGiro_Click"); }

    void silentAdapterStillGetsTheStopAfterTimeOutAndDuration()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        rig.adapter.setSilent(0xB0);
        QElapsedTimer clock;
        clock.start();
        rig.click("CmdGiro_Click", 1); // "30": 6 ticks
        const qint64 took = clock.elapsed();
        QVERIFY(rig.adapter.waitForFrames(2));
        QCOMPARE(rig.frames(), hexFrames({"55b001018c", "55b0010180"}));
        const qint64 delay = rig.adapter.frames().at(1).atMs - rig.adapter.frames().at(0).atMs;
        // One reply time-out (500-550 ms) plus 6 to 7 ticks, then a second time-out.
        QVERIFY2(delay >= 500 + 300 - 2 && delay <= 550 + 350 + 300, qPrintable(QString::number(delay)));
        QVERIFY2(took >= delay + 500, qPrintable(QString::number(took)));
    }

    void clicksDuringAMoveWaitForItAndDoNotStretchIt()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        // Clicked 100 ms and 200 ms into the move, while it waits its ticks.
        QTimer::singleShot(100, [&] { rig.click("Command2_Click"); });
        QTimer::singleShot(200, [&] { rig.click("CmdAdelante1_Click", 0); });
        rig.click("CmdGiro_Click", 1); // 6 ticks
        QVERIFY(rig.adapter.waitForFrames(5));
        QCOMPARE(rig.frames(), hexFrames({"55b001018c", "55b0010180", "55b00001ff",
                                          "55b0000188", "55b0000180"}));
        const auto frames = rig.adapter.frames();
        const qint64 turn = frames.at(1).atMs - frames.at(0).atMs;
        QVERIFY2(turn >= 300 - 2 && turn <= 350 + 250, qPrintable(QString::number(turn)));
        const qint64 straight = frames.at(4).atMs - frames.at(3).atMs;
        QVERIFY2(straight >= 500 - 2 && straight <= 550 + 250, qPrintable(QString::number(straight)));
        QCOMPARE(rig.overlaps.count(), 0);
    }

    // The window holds a close back while the gate is busy and closes when it
    // turns idle: by then the move's stop frame must be out and answered.
    void gateStaysBusyUntilTheStopFrameIsAnswered()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        bool busyDuringTheMove = false;
        QTimer::singleShot(100, [&] { busyDuringTheMove = rig.gate.busy(); });
        QList<QByteArray> framesAtIdle;
        quint8 replyAtIdle = 0;
        QObject::connect(&rig.gate, &kestrava::EventGate::idle, [&] {
            framesAtIdle = rig.frames();
            replyAtIdle = rig.engine.reply(0);
        });
        rig.adapter.setWriteAnswer(0x7e);
        rig.click("CmdGiro_Click", 5);
        QVERIFY(busyDuringTheMove);
        QCOMPARE(framesAtIdle, hexFrames({"55b0010174", "55b0010180"}));
        QCOMPARE(replyAtIdle, quint8(0x7e));
    }

    void indexOutsideTheArraySendsNothing()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        QTest::ignoreMessage(QtWarningMsg, "kestrava: no timed move for index 8");
        QTest::ignoreMessage(QtWarningMsg, "kestrava: no timed move for index -1");
        rig.click("CmdGiro_Click", 8);
        rig.click("CmdAdelante1_Click", -1);
        QTest::qWait(50);
        QVERIFY(rig.frames().isEmpty());
    }
};

QTEST_MAIN(DriveTurnsTest)
#include "tst_driveturns.moc"
