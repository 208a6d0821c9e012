#include "tests/support/pseudoterminal.h"
#include "tests/support/remotepath.h"
#include "tests/support/simulatedpanel.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace kestrava::test;

// The robot out of reach: kestrava-sim → ser2net on 127.0.0.1 → TCP → socat's
// pseudo-terminal → the window. Frames cross in order, a cut connection ends the
// operation as an unplugged adapter does, and choosing the port again reopens it.
class RemoteTest : public QObject
{
    Q_OBJECT
    QTemporaryDir folder;

private slots:
    void initTestCase()
    {
        if (!RemotePath::toolsPresent())
            QSKIP("ser2net and socat are needed (./dev.sh installs them)");
        SimulatedPanel::prepareProgram();
    }

    void framesCrossACutEndsTheOperationAndThePortReopens()
    {
        RemotePath remote(folder.path());
        SimulatedPanel rig; // closes the port before the path goes
        QVERIFY(rig.startSimulator());
        QVERIFY2(remote.start(rig.simulator().devicePath()), qPrintable(remote.errorString()));
        for (int n = 1; n <= 16; ++n)
            mapComPort(n, remote.linkPath());
        QVERIFY(rig.openPanel());
        rig.click(QStringLiteral("CmdLeerDatos"));
        QCOMPARE(rig.sentHex(), QStringList({"55b10201", "55b10301", "55b10401", "55b10501", "55b10601", "55b10701",
                                             "55b10801", "55b10901", "55b10a01", "55b10d01", "55b10b01", "55b10c01"}));
        QCOMPARE(rig.timeOuts(), 0);
        QCOMPARE(rig.text(QStringLiteral("LblVersionMD23")), QStringLiteral("9"));

        constexpr int CutAtMs = 300;
        rig.clearRecord();
        QTimer::singleShot(CutAtMs, &rig, [&remote] { remote.cutConnection(); });
        QElapsedTimer clock;
        clock.start();
        rig.click(QStringLiteral("CmdLCD03_6")); // the keypad answers "no key" as fast as asked, without end
        // socat lets half a second pass before it closes its end; the rest is margin.
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= CutAtMs && took < CutAtMs + 1700, qPrintable(QString::number(took)));
        QVERIFY(!rig.panel().line().isOpen());
        QVERIFY(!rig.sentFrames().isEmpty());
        QVERIFY2(rig.wireOrderFault().isEmpty(), qPrintable(rig.wireOrderFault()));

        QVERIFY2(remote.start(rig.simulator().devicePath()), qPrintable(remote.errorString()));
        QVERIFY(rig.chooseComOneAgain());
        rig.clearRecord();
        rig.click(QStringLiteral("Command3")); // moves the focus on, which reopens the port, then runs
        QCOMPARE(rig.sentHex(), QStringList{"55b0000180"});
        QCOMPARE(rig.events.last().kind, WireEvent::Reply);
        KESTRAVA_VERIFY_SOUND(rig); // and a relay click's frame, answer and the board's state
    }
};

QTEST_MAIN(RemoteTest)
#include "tst_remote.moc"
