#include "driverig.h"

#include <QElapsedTimer>

using namespace kestrava::test;

class DriveButtonsTest : public QObject
{
    Q_OBJECT
private slots:
    void settingButtonWritesOneRegisterOnce_data()
    {
        QTest::addColumn<QByteArray>("handler");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("Motor1 marcha") << QByteArray("Command2_Click") << QByteArray::fromHex("55b00001ff");
        QTest::newRow("Motor 1 paro") << QByteArray("Command3_Click") << QByteArray::fromHex("55b0000180");
        QTest::newRow("Modo 0") << QByteArray("CmdModo0_Click") << QByteArray::fromHex("55b00f0100");
        QTest::newRow("Modo 2") << QByteArray("CmdModo2_Click") << QByteArray::fromHex("55b00f0102");
        QTest::newRow("Aceleracion 10") << QByteArray("CmdAcel10_Click") << QByteArray::fromHex("55b00e010a");
        QTest::newRow("Aceleracion 5") << QByteArray("CmdAcel5_Click") << QByteArray::fromHex("55b00e0105");
        QTest::newRow("Aceleracion 1") << QByteArray("CmdAcel1_Click") << QByteArray::fromHex("55b00e0101");
        QTest::newRow("Borrar Contadores") << QByteArray("CmdResetCounter_Click") << QByteArray::fromHex("55b0100120");
        QTest::newRow("Quitar Auto Velocidad") << QByteArray("CmdAutoOff_Click") << QByteArray::fromHex("55b0100130");
        QTest::newRow("Poner Auto Velocidad") << QByteArray("CmdAutoOn_Click") << QByteArray::fromHex("55b0100131");
        QTest::newRow("Quitar AutoStop") << QByteArray("CmdStopOff_Click") << QByteArray::fromHex("55b0100132");
        QTest::newRow("Poner AutoStop") << QByteArray("CmdStopOn_Click") << QByteArray::fromHex("55b0100133");
    }
    void settingButtonWritesOneRegisterOnce()
    {
        QFETCH(QByteArray, handler);
        QFETCH(QByteArray, frame);
        DriveRig rig;
        QVERIFY(rig.ready());
        rig.adapter.setWriteAnswer(0x5a);
        rig.click(handler.constData());
        // The click has returned: its answer was taken, and nothing follows it.
        QCOMPARE(rig.engine.reply(0), quint8(0x5a));
        QTest::qWait(30);
        QCOMPARE(rig.frames(), QList<QByteArray>{frame});
        QCOMPARE(rig.overlaps.count(), 0);
    }

    void motorOneRunsAndStopsWithoutTouchingTheTurn()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        rig.click("Command2_Click");
        QCOMPARE(rig.adapter.registerValue(0xB0, 0), quint8(255));
        rig.click("Command3_Click");
        QCOMPARE(rig.frames(), hexFrames({"55b00001ff", "55b0000180"}));
        QCOMPARE(rig.adapter.registerValue(0xB0, 0), quint8(128));
    }

    void silentAdapterEndsAButtonAfterOneTimeOut()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        rig.adapter.setSilent(0xB0);
        QElapsedTimer clock;
        clock.start();
        rig.click("CmdModo2_Click");
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= 500 && took < 550 + 250, qPrintable(QString::number(took)));
        QCOMPARE(rig.frames(), hexFrames({"55b00f0102"}));
    }

    void closedPortSendsNothingWaitsForNothingAndKeepsTheLabels()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        rig.line.close();
        for (const char *label : {"LblConta1", "LblConta2", "LblBateria", "LblVersionMD23",
                                  "LblCon1", "LblCon2"})
            rig.panel.findChild<QLabel *>(label)->setText(QStringLiteral("antes"));
        QElapsedTimer clock;
        clock.start();
        rig.click("CmdGiro_Click", 3);
        rig.click("CmdAdelante1_Click", 7);
        rig.click("CmdLeerDatos_Click");
        rig.click("Command2_Click");
        QVERIFY2(clock.elapsed() < 50, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(30);
        QVERIFY(rig.frames().isEmpty());
        QCOMPARE(rig.caption("LblConta1"), QStringLiteral("antes"));
        QCOMPARE(rig.caption("LblCon2"), QStringLiteral("antes"));
    }
};

QTEST_MAIN(DriveButtonsTest)
#include "tst_drivebuttons.moc"
