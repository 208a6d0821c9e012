#include "pseudoterminal.h"
#include "serialline.h"
#include "simulatedbus.h"
#include "transactionengine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>

using namespace kestrava;
using kestrava::sim::SimulatedBus;

// The simulator as a separate program, driven through the real serial line and engine.
class SimEndToEndTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedBus> sim;
    std::unique_ptr<SerialLine> line;
    std::unique_ptr<TransactionEngine> engine;

    void startSimulator(const QStringList &arguments)
    {
        sim = std::make_unique<SimulatedBus>();
        QVERIFY2(sim->start(QStringLiteral(KESTRAVA_SIM_BINARY), arguments), qPrintable(sim->errorString()));
        test::mapComPort(1, sim->devicePath());
        line = std::make_unique<SerialLine>();
        QVERIFY(line->setCommPort(1));
        QVERIFY2(line->open(), qPrintable(line->lastError()));
        engine = std::make_unique<TransactionEngine>(*line);
    }

    QByteArray replyBytes(int count) const
    {
        QByteArray bytes;
        for (int i = 0; i < count; ++i)
            bytes.append(char(engine->reply(i)));
        return bytes;
    }

private slots:
    void cleanup()
    {
        engine.reset();
        line.reset();
        sim.reset();
    }

    void registerWritesAndReadsGoThroughTheEngine()
    {
        startSimulator({QStringLiteral("--fast")});
        QCOMPARE(sim->command(QStringLiteral("add 40 generic")), QStringList{"ok"});
        QCOMPARE(engine->writeRegisters(0x40, 5, QByteArray::fromHex("a1b2c3")), Outcome::Taken);
        QCOMPARE(engine->reply(0), quint8(0x01));
        QCOMPARE(engine->readRegisters(0x40, 4, 5), Outcome::Taken);
        QCOMPARE(replyBytes(5), QByteArray::fromHex("00a1b2c300"));
        QCOMPARE(sim->command(QStringLiteral("get 40 5 3")), QStringList{"ok a1 b2 c3"});
        QCOMPARE(engine->readRegisters(0xB0, 13, 1), Outcome::Taken); // the motor controller's version
        QCOMPARE(engine->reply(0), quint8(0x09));
        QCOMPARE(engine->writeRegister(0x70, 1, 0x81), Outcome::Taken);
        QCOMPARE(sim->command(QStringLiteral("get 70 1")), QStringList{"ok 81"});
    }

    void aRangerMovedThroughTheEngineAnswersAtItsNewAddress()
    {
        startSimulator({QStringLiteral("--fast")});
        for (const quint8 step : {0xA0, 0xAA, 0xA5, 0xF0})
            QCOMPARE(engine->writeRegister(0xE0, 0, step), Outcome::Taken);
        QCOMPARE(engine->readRegisters(0xF0, 0, 1), Outcome::Taken);
        QCOMPARE(engine->reply(0), quint8(0x06));
        QCOMPARE(engine->readRegisters(0xE0, 0, 1), Outcome::TimedOut); // E0 has fallen silent
    }

    void wireTimeIsEmulatedByDefault()
    {
        startSimulator({});
        QCOMPARE(sim->command(QStringLiteral("add 40 generic")), QStringList{"ok"});
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(engine->readRegisters(0x40, 0, 255), Outcome::Taken);
        const qint64 took = clock.elapsed();
        // 4 bytes out and 255 back, 0.573 ms each: 148 ms on the wire.
        QVERIFY2(took >= 145 && took < 1000, qPrintable(QString::number(took)));
    }

    void droppingTheLineDuringAWaitEndsItPromptlyAndClosesThePort()
    {
        startSimulator({QStringLiteral("--fast")});
        QCOMPARE(sim->command(QStringLiteral("delay B0 5000")), QStringList{"ok"});
        QSignalSpy lost(line.get(), &SerialLine::deviceLost);
        QTimer::singleShot(100, sim.get(), [this] { sim->post(QStringLiteral("drop")); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(engine->readRegisters(0xB0, 13, 1), Outcome::Lost);
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= 90 && took < 450, qPrintable(QString::number(took))); // well before the 550 ms time-out
        QVERIFY(!line->isOpen());
        QCOMPARE(lost.count(), 1);
        QCOMPARE(engine->writeRegister(0xB0, 0, 0x80), Outcome::NotSent); // nothing is sent or waited for
    }

    void aRestoredLineHasANewDeviceAndTheLinkFollowsIt()
    {
        const QString link = QDir::temp().filePath(QStringLiteral("kestrava-sim-test-%1").arg(QCoreApplication::applicationPid()));
        startSimulator({QStringLiteral("--fast"), QStringLiteral("--link"), link});
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim->devicePath());
        QCOMPARE(sim->command(QStringLiteral("drop")), QStringList{"ok"});
        QVERIFY(QTest::qWaitFor([&] { return !line->isOpen(); }, 2000));
        const QStringList restored = sim->command(QStringLiteral("restore"));
        QCOMPARE(restored.size(), 1);
        QVERIFY(restored.first().startsWith(QLatin1String("ok /dev/")));
        test::mapComPort(1, link);
        QVERIFY2(line->open(), qPrintable(line->lastError()));
        QCOMPARE(engine->readRegisters(0xC0, 0, 1), Outcome::Taken);
        QCOMPARE(engine->reply(0), quint8(14));
        sim->stop();
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void controlInputIsUntrusted()
    {
        sim = std::make_unique<SimulatedBus>();
        QVERIFY(sim->start(QStringLiteral(KESTRAVA_SIM_BINARY), {QStringLiteral("--fast")}));
        QCOMPARE(sim->command(QString(5000, QLatin1Char('x'))), QStringList{"error: line longer than 4096 characters"});
        QCOMPARE(sim->command(QStringLiteral("get B0 13 \x01\xff")), QStringList{QStringLiteral("error: count must be a number from 0 to 256, not \"\x01\xff\"")});
        QCOMPARE(sim->command(QStringLiteral("get B0 13")), QStringList{"ok 09"});
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
        QVERIFY(!refused.isRunning());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep me"));
    }

    void theSimulatorEndsWhenItsInputCloses()
    {
        QProcess process;
        process.start(QStringLiteral(KESTRAVA_SIM_BINARY), {QStringLiteral("--fast")});
        QVERIFY(process.waitForStarted());
        QVERIFY(process.waitForReadyRead());
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(3000));
        QCOMPARE(process.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(SimEndToEndTest)
#include "tst_simendtoend.moc"
