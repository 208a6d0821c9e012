#include "sim/program/adapterframes.h"
#include "tests/support/pseudoterminal.h"
#include "link/serialline.h"
#include "sim/program/simadapter.h"
#include "sim/program/simbus.h"
#include "launcher/simulatedbus.h"
#include "link/transactionengine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace kestrava;
using namespace kestrava::sim;
using kestrava::launcher::SimulatedBus;
using namespace std::chrono_literals;

// The simulated adapter in process, and kestrava-sim as a program of its own.
class SimulatorTest : public QObject
{
    Q_OBJECT
    SimBus bus;

    // An orphan that has ended but waits to be reaped is gone too.
    static bool processGone(qint64 pid)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
    }

private slots:
    void init()
    {
        bus = SimBus();
        QVERIFY(bus.add(0xB0, std::make_unique<GenericModule>()));
        QVERIFY(bus.add(0xC6, std::make_unique<GenericModule>()));
    }

    void writesAndReadsOfEveryLengthRoundTrip()
    {
        SimAdapter adapter(bus, SimTime{0}); // no wire time
        for (int n = 0; n <= 255; ++n) {
            QByteArray data;
            for (int i = 0; i < n; ++i)
                data.append(char(n + i * 7));
            adapter.receive(QByteArray::fromHex("55b000") + char(n) + data + QByteArray::fromHex("55b100") + char(n),
                            SimTime{0});
            QCOMPARE(adapter.takeDue(SimTime{0}), QByteArray::fromHex("01") + data);
        }
    }

    void aFrameArrivesInAnyPiecesAndGarbageIsSkipped_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("write then read") << QByteArray::fromHex("55b0020311223355b10203")
                                         << QByteArray::fromHex("01112233");
        QTest::newRow("empty write") << QByteArray::fromHex("55b0050055b10501") << QByteArray::fromHex("0100");
        QTest::newRow("garbage before a write") << QByteArray::fromHex("00ffaa13b055b0000142")
                                                << QByteArray::fromHex("01");
        QTest::newRow("garbage between frames") << QByteArray::fromHex("55b000017700015455b10001")
                                                << QByteArray::fromHex("0177");
        QTest::newRow("garbage alone") << QByteArray::fromHex("0102030405aa") << QByteArray();
        QTest::newRow("no module: silence") << QByteArray::fromHex("55400001ff55410001") << QByteArray();
    }
    void aFrameArrivesInAnyPiecesAndGarbageIsSkipped()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, answer);
        for (int cut = 0; cut < line.size(); ++cut) {
            SimAdapter adapter(bus, SimTime{0});
            adapter.receive(line.left(cut), SimTime{0});
            QByteArray got = adapter.takeDue(SimTime{0});
            adapter.receive(line.mid(cut), SimTime{0});
            got += adapter.takeDue(SimTime{0});
            QVERIFY2(got == answer, qPrintable(QStringLiteral("cut at %1: %2").arg(cut).arg(got.toHex())));
        }
    }

    void aDelayedAnswerComesLateAndKeepsTheOrderOfFrames()
    {
        bus.module(0xB0)->faults.delay = 200ms;
        SimAdapter adapter(bus, SimTime{0});
        adapter.receive(QByteArray::fromHex("55b0000109" "55c6000107"), SimTime{0});
        QCOMPARE(adapter.takeDue(SimTime{0}), QByteArray());
        QCOMPARE(adapter.nextWake(), std::optional<SimTime>(200ms));
        QCOMPARE(adapter.takeDue(199ms), QByteArray());
        // The second module answers at once, but only after the first, delayed answer.
        QCOMPARE(adapter.takeDue(200ms), QByteArray::fromHex("0101"));
    }

    void wireTimeIsElevenBitsPerByteBothWaysAndADropForgetsIt()
    {
        SimAdapter adapter(bus, WireByteTime);
        const SimTime sent{1s};
        adapter.receive(QByteArray::fromHex("55b0000180"), sent); // five bytes in, one out
        const SimTime limit = sent + 6 * WireByteTime;
        QVERIFY(WireByteTime > 572us && WireByteTime < 573us);
        QCOMPARE(adapter.takeDue(limit - 1us), QByteArray());
        QCOMPARE(adapter.takeDue(limit), QByteArray::fromHex("01"));
        // Dropping the line forgets partial frames and unsent answers.
        adapter.receive(QByteArray::fromHex("55b00001ff55b0"), 2s);
        adapter.reset();
        QVERIFY(!adapter.nextWake());
        adapter.receive(QByteArray::fromHex("000142"), 3s);
        QCOMPARE(adapter.takeDue(4s), QByteArray());
    }

    void theProgramTakesFramesOnTheWireInWireTime()
    {
        SimulatedBus sim;
        QVERIFY2(sim.start(QStringLiteral(KESTRAVA_SIM_BINARY)), qPrintable(sim.errorString()));
        test::mapComPort(1, sim.devicePath());
        SerialLine line;
        QVERIFY(line.setCommPort(1) && line.open());
        TransactionEngine engine(line);
        QCOMPARE(sim.command(QStringLiteral("add 40 generic")), QStringList{"ok"});
        engine.transact(QByteArray::fromHex("55400503a1b2c3"), 1);
        QCOMPARE(engine.reply(0), quint8(0x01));
        QCOMPARE(sim.command(QStringLiteral("get 40 5 3")), QStringList{"ok a1 b2 c3"});
        QElapsedTimer clock;
        clock.start();
        engine.transact(QByteArray::fromHex("554100ff"), 255);
        // 4 bytes out and 255 back, 0.573 ms each: 148 ms on the wire.
        QVERIFY2(clock.elapsed() >= 145 && clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(engine.reply(6), quint8(0xb2));
        // Its control input is untrusted.
        QCOMPARE(sim.command(QString(5000, u'x')), QStringList{"error: line longer than 4096 characters"});
        QCOMPARE(sim.command(QStringLiteral("get B0 13 \x01\xff")),
                 QStringList{QStringLiteral("error: count must be a number from 0 to 256, not \"\x01\xff\"")});
    }

    // On a stepped clock a frame moves time on by its bytes on the wire each way (572 916 ns
    // each) and its module's own time, and its answer comes at once; a wait moves it by its
    // length, and a judged trial's run ends at its limit, however far a wait goes.
    void aSteppedClockMovesByEachFramesWireAndModuleTime()
    {
        SimulatedBus sim;
        QVERIFY2(sim.start(QStringLiteral(KESTRAVA_SIM_BINARY), {QStringLiteral("--clock"), QStringLiteral("stepped")}),
                 qPrintable(sim.errorString()));
        test::mapComPort(1, sim.devicePath());
        SerialLine line;
        QVERIFY(line.setCommPort(1) && line.open());
        TransactionEngine engine(line);
        QCOMPARE(sim.command(QStringLiteral("add 40 generic")), QStringList{"ok"});
        QCOMPARE(sim.command(QStringLiteral("clock")), QStringList{"ok stepped 0.000000000"});
        QCOMPARE(engine.transact(QByteArray::fromHex("55400503a1b2c3"), 1), Outcome::Taken);
        QCOMPARE(sim.command(QStringLiteral("clock")), QStringList{"ok stepped 0.004583328"}); // 7 + 1 bytes
        QCOMPARE(engine.transact(QByteArray::fromHex("554100ff"), 255), Outcome::Taken);
        QCOMPARE(sim.command(QStringLiteral("clock")), QStringList{"ok stepped 0.152968572"}); // 4 + 255 more
        QCOMPARE(sim.command(QStringLiteral("delay 40 200")), QStringList{"ok"});
        QCOMPARE(engine.transact(QByteArray::fromHex("55410001"), 1), Outcome::Taken);
        QCOMPARE(sim.command(QStringLiteral("clock")), QStringList{"ok stepped 0.355833152"}); // 200 ms + 5 bytes
        QCOMPARE(sim.command(QStringLiteral("wait 1.5")), QStringList{"ok 1.855833152"});
        QCOMPARE(sim.command(QStringLiteral("trial 2")), QStringList{"ok"});
        QCOMPARE(sim.command(QStringLiteral("wait 100")), QStringList{"ok 101.855833152"});
        QCOMPARE(sim.command(QStringLiteral("run")), QStringList{"ok ended time 2.0 contacts 0"});
    }

    // In the house the robot starts at 30 125 facing east, 15 cm from the west wall. It backs into
    // that wall twice (two contacts, however long it pushes), then the fan blows out a candle ahead.
    void aRunOverTheWireIsTimedFromTheFirstMotorFrameAndCountsContacts()
    {
        SimulatedBus sim;
        QVERIFY2(sim.start(QStringLiteral(KESTRAVA_SIM_BINARY), {"--fast", "--arena", "house"}), qPrintable(sim.errorString()));
        test::mapComPort(1, sim.devicePath());
        SerialLine line;
        QVERIFY(line.setCommPort(1) && line.open());
        TransactionEngine engine(line);
        const auto send = [&](const char *hex) { QCOMPARE(engine.transact(QByteArray::fromHex(hex), 1), Outcome::Taken); };
        QCOMPARE(sim.command(QStringLiteral("noise off")), QStringList{"ok"});
        send("55d0000100"); // not a motor frame: the clock waits
        QTest::qWait(500);
        QCOMPARE(sim.command(QStringLiteral("run")), QStringList{"ok not started"});
        QElapsedTimer sinceFirstMotorFrame;
        sinceFirstMotorFrame.start();
        send("55b00e01ff"); // acceleration 255: at full speed in one tick
        QVERIFY(sim.command(QStringLiteral("run")).value(0).startsWith(QLatin1String("ok running time ")));
        const std::pair<const char *, int> moves[] = {{"55b000020000", 600}, {"55b000028080", 300}, // back, stop
                                                      {"55b00002c0c0", 300}, {"55b000020000", 600}, // ahead, back
                                                      {"55b000028080", 100}};
        for (const auto &[speeds, ms] : moves) {
            send(speeds);
            QTest::qWait(ms);
        }
        QVERIFY(sim.command(QStringLiteral("world")).value(1).startsWith(QLatin1String("robot at 1"))); // 15 to 17 cm
        QCOMPARE(sim.command(QStringLiteral("candle 55 125")), QStringList{"ok"});
        QCOMPARE(engine.transact(QByteArray::fromHex("55d10208"), 8), Outcome::Taken);
        QVERIFY2(engine.reply(4) > 60, "the flame ahead warms the middle pixels");
        send("5570010101"); // the fan
        const double fanOnAt = sinceFirstMotorFrame.elapsed() / 1000.0;
        QTRY_VERIFY_WITH_TIMEOUT(sim.command(QStringLiteral("run")).value(0).endsWith(QLatin1String("candle out")), 5000);
        const QStringList result = sim.command(QStringLiteral("run")).value(0).split(u' ');
        QCOMPARE(result.mid(3, 2), (QStringList{"contacts", "2"}));
        const double seconds = result.value(2).toDouble();
        QVERIFY2(std::abs(seconds - (fanOnAt + 1.0)) < 0.4, qPrintable(result.join(u' ') + QStringLiteral(" fan on at %1").arg(fanOnAt)));
        QCOMPARE(engine.transact(QByteArray::fromHex("55d10208"), 8), Outcome::Taken);
        QVERIFY2(engine.reply(4) == 22, "a candle put out is as warm as the room");
    }

    void aBadArenaFileStopsTheSimulatorWithItsReason()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("arena.json"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(R"({"name": "x", "size": [20000, 100]})") > 0);
        file.close();
        SimulatedBus refused;
        QVERIFY(!refused.start(QStringLiteral(KESTRAVA_SIM_BINARY), {"--arena", path}));
        QCOMPARE(refused.errorString(),
                 QStringLiteral("kestrava-sim: %1: size: each side must be from 60 to 2000 cm, not 20000 x 100").arg(path));
    }

    void theLinkNeverReplacesAFile()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("not-a-link"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep me") == 7);
        file.close();
        SimulatedBus refused;
        QVERIFY(!refused.start(QStringLiteral(KESTRAVA_SIM_BINARY), {QStringLiteral("--link"), path}));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep me"));
    }

    // `kestrava --simulate` runs kestrava-sim beside the window and leaves nothing behind.
    void closingTheWindowEndsTheSimulator_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QStringList>("extra");
        QTest::newRow("SIGTERM closes the window") << int(SIGTERM) << QStringList{};
        QTest::newRow("--quit-after closes it") << 0 << QStringList{"--quit-after", "300"};
        QTest::newRow("even a killed panel") << int(SIGKILL) << QStringList{};
    }
    void closingTheWindowEndsTheSimulator()
    {
        QFETCH(int, signal);
        QFETCH(QStringList, extra);
        QProcess panel;
        panel.setProcessChannelMode(QProcess::MergedChannels);
        panel.start(QStringLiteral(KESTRAVA_PANEL_BINARY), QStringList{"--simulate"} + extra);
        static const QRegularExpression announcement(QStringLiteral("kestrava-sim process (\\d+)\\)"));
        QByteArray output;
        qint64 simulator = 0;
        QVERIFY(QTest::qWaitFor([&] {
            output += panel.readAll();
            simulator = announcement.match(QString::fromLocal8Bit(output)).captured(1).toLongLong();
            return simulator > 0 || panel.state() == QProcess::NotRunning;
        }, 10000));
        QVERIFY2(simulator > 0 && !processGone(simulator), output.constData());
        if (signal)
            ::kill(pid_t(panel.processId()), signal);
        QVERIFY(panel.waitForFinished(5000));
        if (signal != SIGKILL)
            QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
        QVERIFY(QTest::qWaitFor([&] { return processGone(simulator); }, 5000));
    }
};

QTEST_GUILESS_MAIN(SimulatorTest)
#include "tst_simulator.moc"
