#include "simulatedpanel.h"

#include <QElapsedTimer>
#include <QTest>

using namespace kestrava;
using kestrava::test::SimulatedPanel;

// Every operation of the window against a module that answers nothing: all its
// frames still go out, each waits out its own time-out, the window shows what
// the stale reply store gives, and the next operation runs as usual.
class EndToEndSilenceTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;

    static constexpr int TimeOutMs = 500; // 11 ticks, the first anywhere within its 50 ms

private slots:
    void initTestCase() { SimulatedPanel::prepareProgram(); }
    void init()
    {
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->start());
        QVERIFY(rig->messages.isEmpty());
        // Leaves the adapter's 01 in ReplyBuffer[0]: what the silent reads show.
        const QString fault = rig->clickFault();
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
    void cleanup() { rig.reset(); }

    void aSilentModuleCostsTimeOutsAndNothingElse_data()
    {
        QTest::addColumn<QStringList>("silent");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<int>("timeOuts");
        QTest::addColumn<int>("tickMs"); // the shortest WaitTicks time inside the operation
        QTest::addColumn<QStringList>("shows");

        const QStringList md23{"B0"};
        QTest::newRow("setting button") << md23 << QStringList{"click CmdAcel5"} << QStringList{"55b00e0105"} << 1 << 0
                                        << QStringList{};
        QTest::newRow("timed move") << md23 << QStringList{"click CmdGiro(1)"}
                                    << QStringList{"55b001018c", "55b0010180"} << 2 << 300 << QStringList{};
        QTest::newRow("drive pad press and release")
            << md23 << QStringList{"press 1 1", "release 1 1"}
            << QStringList{"55b00001aa", "55b0010156", "55b0000180", "55b0010180"} << 4 << 0
            << QStringList{"Label10=86", "Label9=170"};
        QTest::newRow("telemetry")
            << md23 << QStringList{"click CmdLeerDatos"}
            << QStringList{"55b10201", "55b10301", "55b10401", "55b10501", "55b10601", "55b10701",
                           "55b10801", "55b10901", "55b10a01", "55b10d01", "55b10b01", "55b10c01"}
            << 12 << 0
            << QStringList{"LblConta1=1.684301E+07", "LblConta2=1.684301E+07", "LblBateria=0.1",
                           "LblVersionMD23=1", "LblCon1=0.1", "LblCon2=0.1"};
        QTest::newRow("servo bar") << QStringList{"C2"} << QStringList{"step ServoScroll(3)"}
                                   << QStringList{"55c20a01e6", "55c20b0105"} << 2 << 0
                                   << QStringList{"ServoVal(3)=15"};
        QStringList speedFrames;
        for (int servo = 0; servo < 21; ++servo)
            speedFrames << QStringLiteral("55c2%1 0101").arg(3 * servo, 2, 16, QLatin1Char('0')).remove(u' ');
        QTest::newRow("speed bar") << QStringList{"C2"} << QStringList{"step VeloScroll"} << speedFrames << 21 << 0
                                   << QStringList{};
        QTest::newRow("relay") << QStringList{"70"} << QStringList{"click ReleOff(2)"} << QStringList{"55700101fb"}
                               << 1 << 0 << QStringList{"TxtStatus=251"};
        QTest::newRow("display text") << QStringList{"C6"} << QStringList{"type TxtLCD03 Hola", "click CmdLCD03_1"}
                                      << QStringList{"55c60004486f6c61"} << 1 << 0 << QStringList{};
        QTest::newRow("display command") << QStringList{"C6"} << QStringList{"click CmdLCD03_4"}
                                         << QStringList{"55c6000113"} << 1 << 0 << QStringList{};
        // Ends by itself after four unanswered readings; the code box keeps its text.
        QTest::newRow("keypad dialogue")
            << QStringList{"C6"} << QStringList{"click CmdLCD03_6"}
            << QStringList{"55c6001a0c5465636c656520656c20636f6469676f0d2020202020202020", "55c70101",
                           "55c70201", "55c70101", "55c70201"}
            << 5 << 0 << QStringList{"TxtLCD03=Escriba el texto a mandar al display "};
        QTest::newRow("compass") << QStringList{"C0"} << QStringList{"click CmdBrujula"}
                                 << QStringList{"55c10001", "55c10201", "55c10301"} << 3 << 0
                                 << QStringList{"LblVersionCMPS03=1", "LblBrujula=25.7"};
        QStringList thermalFrames;
        QStringList thermalLabels;
        for (int i = 0; i < 10; ++i) {
            thermalFrames << QStringLiteral("55d1%1").arg(i, 2, 10, QLatin1Char('0')) + QStringLiteral("01");
            thermalLabels << QStringLiteral("LblPixel(%1)=1").arg(i);
        }
        QTest::newRow("thermal") << QStringList{"D0"} << QStringList{"click CmdTPA81"} << thermalFrames << 10 << 0
                                 << thermalLabels;
        // A fresh window has stored only one-byte replies: position 1 still holds 0.
        QTest::newRow("rangers")
            << QStringList{"E0", "E2", "E4", "E6", "E8"} << QStringList{"click CmdDistancia"}
            << QStringList{"55e0000151", "55e10202", "55e2000151", "55e30202", "55e4000151",
                           "55e50202", "55e6000151", "55e70202", "55e8000151", "55e90202"}
            << 10 << 0 << QStringList{"LblDistancia(0)=256", "LblDistancia(4)=256"};
        // Four frames back to back, then one wait.
        QTest::newRow("address change") << QStringList{"E0"} << QStringList{"click CmdDireccion"}
                                        << QStringList{"55e00001a0", "55e00001aa", "55e00001a5", "55e00001e2"} << 1
                                        << 0 << QStringList{"TxtActDir=E0", "TxtNueDir=E2"};
    }
    void aSilentModuleCostsTimeOutsAndNothingElse()
    {
        QFETCH(QStringList, silent);
        QFETCH(QStringList, actions);
        QFETCH(QStringList, frames);
        QFETCH(int, timeOuts);
        QFETCH(int, tickMs);
        QFETCH(QStringList, shows);
        for (const QString &address : silent)
            QCOMPARE(rig->command(QStringLiteral("silence %1").arg(address)), QStringLiteral("ok"));
        rig->clearRecord();
        QElapsedTimer clock;
        clock.start();
        for (const QString &action : actions)
            rig->perform(action);
        const qint64 took = clock.elapsed();
        for (const QString &address : silent)
            QCOMPARE(rig->command(QStringLiteral("silence %1 off").arg(address)), QStringLiteral("ok"));

        QCOMPARE(test::hexLines(rig->sentFrames()), test::hexLines([&] {
                     QList<QByteArray> expected;
                     for (const QString &hex : frames)
                         expected << QByteArray::fromHex(hex.toLatin1());
                     return expected;
                 }()));
        QCOMPARE(rig->timeOuts(), qsizetype(timeOuts));
        const qint64 shortest = qint64(timeOuts) * TimeOutMs + tickMs;
        qInfo("%s: %lld ms for %d time-outs", QTest::currentDataTag(), took, timeOuts);
        QVERIFY2(took >= shortest && took < shortest * 3 / 2 + 1500, qPrintable(QString::number(took)));
        // Each frame waited out the time-out of the one before it.
        const qint64 firstToLast = rig->events.last(2).first().ms - rig->events.first().ms;
        QVERIFY2(firstToLast >= qint64(timeOuts - 1) * TimeOutMs + tickMs, qPrintable(QString::number(firstToLast)));
        for (const QString &shown : shows)
            QCOMPARE(rig->text(shown.section(u'=', 0, 0)), shown.section(u'=', 1));
        KESTRAVA_VERIFY_SOUND(*rig);
    }
};

QTEST_MAIN(EndToEndSilenceTest)
#include "tst_e2esilence.moc"
