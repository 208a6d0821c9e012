#include "servos.h"
#include "actuatorrig.h"

#include <QElapsedTimer>
#include <QSignalSpy>

using namespace kestrava;
using kestrava::test::ActuatorRig;

class ServoPanelTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<ActuatorRig> rig;

    static QStringList speedFrames(const QString &speedHex)
    {
        static const QStringList speedRegisters{"00", "03", "06", "09", "0c", "0f", "12",
                                                "15", "18", "1b", "1e", "21", "24", "27",
                                                "2a", "2d", "30", "33", "36", "39", "3c"};
        QStringList frames;
        for (const QString &reg : speedRegisters)
            frames.append("55c2" + reg + "01" + speedHex);
        return frames;
    }

private slots:
    void init()
    {
        rig = std::make_unique<ActuatorRig>();
        QVERIFY(rig->ready());
    }
    void cleanup()
    {
        QCOMPARE(rig->overlaps.count(), 0);
        rig.reset();
    }

    void positionGoesLowByteThenHighByteAndTheLabelShowsTwoDigits_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("position");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QString>("caption");
        QTest::newRow("servo 1 at 500") << 0 << 500 << QStringList{"55c20101f4", "55c2020101"} << "50";
        QTest::newRow("servo 1 at 768") << 0 << 768 << QStringList{"55c2010100", "55c2020103"} << "76";
        QTest::newRow("servo 1 at 1500") << 0 << 1500 << QStringList{"55c20101dc", "55c2020105"} << "15";
        QTest::newRow("servo 1 at 2500") << 0 << 2500 << QStringList{"55c20101c4", "55c2020109"} << "25";
        QTest::newRow("servo 21 at 500") << 20 << 500 << QStringList{"55c23d01f4", "55c23e0101"} << "50";
        QTest::newRow("servo 21 at 768") << 20 << 768 << QStringList{"55c23d0100", "55c23e0103"} << "76";
        QTest::newRow("servo 21 at 1000") << 20 << 1000 << QStringList{"55c23d01e8", "55c23e0103"} << "10";
        QTest::newRow("servo 21 at 2500") << 20 << 2500 << QStringList{"55c23d01c4", "55c23e0109"} << "25";
    }
    void positionGoesLowByteThenHighByteAndTheLabelShowsTwoDigits()
    {
        QFETCH(int, index);
        QFETCH(int, position);
        QFETCH(QStringList, frames);
        QFETCH(QString, caption);

        QStringList pure;
        for (const QByteArray &frame : servoPositionFrames(index, quint16(position)))
            pure.append(QString::fromLatin1(frame.toHex()));
        QCOMPARE(pure, frames);

        rig->bar("ServoScroll", index).setValue(position);
        rig->fire("ServoScroll_Change", qint16(index));
        QCOMPARE(rig->sentFrames(), frames);
        QCOMPARE(rig->label("ServoVal", index).text(), caption);
        QCOMPARE(rig->label("ServoVal", index == 0 ? 20 : 0).text(), QString("15"));
    }

    void speedGoesToEveryServoInRegisterOrder_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("speedHex");
        QTest::newRow("0") << 0 << "00";
        QTest::newRow("100") << 100 << "64";
        QTest::newRow("255") << 255 << "ff";
    }
    void speedGoesToEveryServoInRegisterOrder()
    {
        QFETCH(int, speed);
        QFETCH(QString, speedHex);
        rig->bar("VeloScroll").setValue(speed);
        rig->fire("VeloScroll_Change");
        QCOMPARE(rig->sentFrames(), speedFrames(speedHex));
        QCOMPARE(servoSpeedFrame(20, quint8(speed)).toHex(), ("55c23c01" + speedHex).toLatin1());
    }

    void theSpeedBarIsReadAgainForEveryFrame()
    {
        // The operator moves the bar while the tenth answer is awaited; the window
        // then raises another change event, which must wait its turn.
        rig->bar("VeloScroll").setValue(7);
        connect(&rig->adapter, &test::ScriptedAdapter::frameReceived, this, [this] {
            if (rig->adapter.frames().size() != 10)
                return;
            rig->bar("VeloScroll").setValue(200);
            rig->fireLater(0, "VeloScroll_Change");
        });
        rig->fire("VeloScroll_Change");
        QVERIFY(rig->adapter.waitForFrames(42));
        const QStringList frames = rig->sentFrames();
        QCOMPARE(frames.size(), 42);
        const QStringList first = speedFrames("07").mid(0, 10) + speedFrames("c8").mid(10);
        QCOMPARE(frames.mid(0, 21), first);
        QCOMPARE(frames.mid(21), speedFrames("c8"));
    }

    void eventsDuringTheWaitsRunAfterwardsInArrivalOrder()
    {
        rig->adapter.setReplyDelayMs(100);
        QString captionWhenTheFirstChangeEnded;
        connect(&rig->adapter, &test::ScriptedAdapter::frameReceived, this, [&](const QByteArray &frame) {
            if (frame.startsWith(QByteArray::fromHex("5570")))
                captionWhenTheFirstChangeEnded = rig->label("ServoVal", 0).text();
        });
        QTimer::singleShot(30, this, [this] {
            rig->bar("ServoScroll", 3).setValue(2000);
            rig->fire("ServoScroll_Change", 3);
            rig->fire("ReleOn_Click", 0);
            rig->bar("ServoScroll", 0).setValue(1000);
            rig->fire("ServoScroll_Change", 0);
        });
        rig->fire("ServoScroll_Change", 0);

        QCOMPARE(rig->sentFrames(), (QStringList{"55c20101dc", "55c2020105", //
                                                 "55c20a01d0", "55c20b0107", //
                                                 "5570010101",               //
                                                 "55c20101e8", "55c2020103"}));
        QCOMPARE(captionWhenTheFirstChangeEnded, QString("10")); // the bar as it stood at the end
        QCOMPARE(rig->label("ServoVal", 3).text(), QString("20"));
        QCOMPARE(rig->label("ServoVal", 0).text(), QString("10"));
        QCOMPARE(rig->gate.deferredCount(), 0);
    }

    void theLabelFollowsTheBarWhenTheModuleIsSilent()
    {
        rig->adapter.setSilent(0xC2);
        rig->bar("ServoScroll", 5).setValue(999);
        rig->fire("ServoScroll_Change", 5);
        QCOMPARE(rig->sentFrames(), (QStringList{"55c21001e7", "55c2110103"}));
        QCOMPARE(rig->label("ServoVal", 5).text(), QString("99"));
    }

    void aClosedPortSendsNothingAndDoesNotWait()
    {
        rig->line.close();
        QElapsedTimer clock;
        clock.start();
        rig->bar("ServoScroll", 1).setValue(2500);
        rig->fire("ServoScroll_Change", 1);
        rig->fire("VeloScroll_Change");
        QVERIFY2(clock.elapsed() < 400, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(rig->label("ServoVal", 1).text(), QString("25"));
        QTest::qWait(50);
        QVERIFY(rig->adapter.frames().isEmpty());
    }

    void aSilentModuleStillGetsAllTwentyOneSpeedFrames()
    {
        rig->adapter.setSilent(0xC2);
        rig->bar("VeloScroll").setValue(255);
        QElapsedTimer clock;
        clock.start();
        rig->fire("VeloScroll_Change");
        const qint64 took = clock.elapsed();
        qInfo("21 unanswered speed frames took %lld ms", took);
        QCOMPARE(rig->sentFrames(), speedFrames("ff"));
        // 21 time-outs of 11 ticks each: at least 21 × 500 ms.
        QVERIFY2(took >= 21 * 500 && took < 21 * 1000, qPrintable(QString::number(took)));
    }
};

QTEST_MAIN(ServoPanelTest)
#include "tst_servo.moc"
