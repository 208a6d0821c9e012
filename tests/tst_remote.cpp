#include "pseudoterminal.h"
#include "remotepath.h"
#include "simulatedpanel.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace kestrava;
using kestrava::test::RemotePath;
using kestrava::test::SimulatedPanel;
using kestrava::test::WireEvent;

// The robot out of reach: kestrava-sim → ser2net on 127.0.0.1 → TCP → socat's
// pseudo-terminal → the window. Frames cross in order, a cut connection ends the
// operation as an unplugged adapter does, and choosing the port again reopens it.
class RemoteTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;
    std::unique_ptr<RemotePath> remote;
    QTemporaryDir folder;

private slots:
    void initTestCase()
    {
        if (!RemotePath::toolsPresent())
            QSKIP("ser2net and socat are needed (./dev.sh installs them)");
        SimulatedPanel::prepareProgram();
    }
    void init()
    {
        rig = std::make_unique<SimulatedPanel>();
        remote = std::make_unique<RemotePath>(folder.path());
        QVERIFY(rig->startSimulator());
        QVERIFY2(remote->start(rig->simulator().devicePath()), qPrintable(remote->errorString()));
        for (int n = 1; n <= 16; ++n)
            test::mapComPort(n, remote->linkPath());
        QVERIFY(rig->openPanel());
        QVERIFY(rig->panel().line().isOpen());
    }
    void cleanup()
    {
        rig.reset();
        remote.reset();
    }

    void framesCrossInOrderAndAnswersComeBack_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("shown"); // a control and the answer it shows
        QTest::newRow("relays") << QStringList{"click CmdTodoOn", "click ReleOff(2)"}
                                << QStringList{"55 70 01 01 ff", "55 70 01 01 fb"} << "TxtStatus=251";
        QTest::newRow("timed move") << QStringList{"click CmdGiro(1)"} << QStringList{"55 b0 01 01 8c", "55 b0 01 01 80"}
                                    << "";
        QTest::newRow("telemetry") << QStringList{"click CmdLeerDatos"}
                                   << QStringList{"55 b1 02 01", "55 b1 03 01", "55 b1 04 01", "55 b1 05 01",
                                                  "55 b1 06 01", "55 b1 07 01", "55 b1 08 01", "55 b1 09 01",
                                                  "55 b1 0a 01", "55 b1 0d 01", "55 b1 0b 01", "55 b1 0c 01"}
                                   << "LblVersionMD23=9";
        QTest::newRow("display text") << QStringList{"type TxtLCD03 Hola", "click CmdLCD03_1"}
                                      << QStringList{"55 c6 00 04 48 6f 6c 61"} << "";
    }
    void framesCrossInOrderAndAnswersComeBack()
    {
        QFETCH(QStringList, actions);
        QFETCH(QStringList, sent);
        QFETCH(QString, shown);
        for (const QString &action : actions)
            rig->perform(action);
        QCOMPARE(test::hexLines(rig->sentFrames()), sent.join(u'\n'));
        QCOMPARE(rig->timeOuts(), 0);
        if (!shown.isEmpty())
            QCOMPARE(rig->text(shown.section(u'=', 0, 0)), shown.section(u'=', 1));
        KESTRAVA_VERIFY_SOUND(*rig); // a relay click's answer and the board's state, across the path
    }

    void aCutConnectionEndsTheOperationAndThePortReopens_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("action");
        // Telemetry's twelve answers at 250 ms each would take 3 s.
        QTest::newRow("telemetry") << "delay B0 250" << "click CmdLeerDatos";
        // The keypad answers "no key" as fast as it is asked, without end.
        QTest::newRow("keypad dialogue") << "" << "click CmdLCD03_6";
    }
    void aCutConnectionEndsTheOperationAndThePortReopens()
    {
        QFETCH(QString, setup);
        QFETCH(QString, action);
        constexpr int CutAtMs = 300;
        if (!setup.isEmpty())
            QCOMPARE(rig->command(setup), QStringLiteral("ok"));
        rig->clearRecord();
        QTimer::singleShot(CutAtMs, rig.get(), [this] { remote->cutConnection(); });
        QElapsedTimer clock;
        clock.start();
        rig->perform(action);
        const qint64 took = clock.elapsed();
        qInfo("%s: ended %lld ms after the start, cut at %d ms", QTest::currentDataTag(), took, CutAtMs);
        // socat lets half a second pass before it closes its end; the rest is margin.
        QVERIFY2(took >= CutAtMs && took < CutAtMs + 1700, qPrintable(QString::number(took)));
        QVERIFY(!rig->panel().line().isOpen());
        QVERIFY(!rig->sentFrames().isEmpty());
        QVERIFY2(rig->wireOrderFault().isEmpty(), qPrintable(rig->wireOrderFault()));

        if (!setup.isEmpty())
            QCOMPARE(rig->command(QStringLiteral("delay B0 0")), QStringLiteral("ok"));
        QVERIFY2(remote->start(rig->simulator().devicePath()), qPrintable(remote->errorString()));
        QVERIFY(rig->chooseComOneAgain());
        rig->clearRecord();
        rig->click(QStringLiteral("Command3")); // moves the focus on, which reopens the port, then runs
        QVERIFY(rig->panel().line().isOpen());
        QCOMPARE(test::hexLines(rig->sentFrames()), QStringLiteral("55 b0 00 01 80"));
        QCOMPARE(rig->events.last().kind, WireEvent::Reply);
        KESTRAVA_VERIFY_SOUND(*rig);
    }
};

QTEST_MAIN(RemoteTest)
#include "tst_remote.moc"
