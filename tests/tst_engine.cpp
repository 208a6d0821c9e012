#include "link/eventgate.h"
#include "tests/support/pseudoterminal.h"
#include "link/serialline.h"
#include "link/trace.h"
#include "link/transactionengine.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kestrava;
using kestrava::test::PseudoTerminal;

// The engine's waits on the real 50 ms tick, against the far end of a
// pseudo-terminal, and the gate that keeps operations from overlapping. (The gate
// is worked through the window too: the storm of clicks end to end, the keypad's
// safe points, a close held during an operation, pad moves during an update.)
class EngineTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<SerialLine> line;
    std::unique_ptr<TransactionEngine> engine;

    void answerAfter(int ms, const QByteArray &bytes)
    {
        QTimer::singleShot(ms, pty.get(), [this, bytes] { pty->write(bytes); });
    }
    // Lets bytes written by the far end reach the port's input.
    void arrive(const QByteArray &bytes)
    {
        pty->write(bytes);
        QVERIFY(QTest::qWaitFor([&] { return line->inBufferCount() >= bytes.size(); }, 2000));
    }
    QByteArray stored(int count) const
    {
        return QByteArray(reinterpret_cast<const char *>(engine->ReplyBuffer().data()), count);
    }

private slots:
    void init()
    {
        pty = std::make_unique<PseudoTerminal>();
        QVERIFY(pty->isValid());
        test::mapComPort(1, pty->devicePath());
        line = std::make_unique<SerialLine>();
        QVERIFY(line->setCommPort(1));
        QVERIFY2(line->open(), qPrintable(line->lastError()));
        engine = std::make_unique<TransactionEngine>(*line);
    }
    void cleanup()
    {
        engine.reset();
        line.reset();
        pty.reset();
    }

    // What arrives while operation A runs, and the order in which everything ran.
    // "p1" is a click, "m1" a pad move (merging), "k1" a merging event of another
    // kind; "p1>p9" fires p9 as it runs; "!" is a safe point of A.
    void theGateDefersMergesOnlyAlikeAtTheTailAndKeepsTheOrder_data()
    {
        QTest::addColumn<QString>("arriving");
        QTest::addColumn<QString>("ran");
        QTest::newRow("clicks in arrival order") << "p1 p2 p3" << "A p1 p2 p3 idle";
        QTest::newRow("moves merge into the latest") << "m1 m2 m3" << "A m3 idle";
        QTest::newRow("a click between moves keeps its place") << "m1 p2 m3 m4" << "A m1 p2 m4 idle";
        QTest::newRow("kinds merge only with their own") << "m1 k2 m3 k4" << "A m1 k2 m3 k4 idle";
        QTest::newRow("a safe point runs what waits") << "p1 m2 ! p3" << "p1 m2 A p3 idle";
        QTest::newRow("fired while deferred, run after the rest") << "p1>p9 p2" << "A p1 p2 p9 idle";
    }
    void theGateDefersMergesOnlyAlikeAtTheTailAndKeepsTheOrder()
    {
        QFETCH(QString, arriving);
        QFETCH(QString, ran);
        EventGate gate;
        QStringList order;
        connect(&gate, &EventGate::idle, this, [&] { order << QStringLiteral("idle"); });
        std::function<void(const QString &)> fire = [&](const QString &token) {
            const QString name = token.section(u'>', 0, 0);
            const EventGate::Operation operation = [&, name, then = token.section(u'>', 1)] {
                order << name;
                if (!then.isEmpty())
                    fire(then);
            };
            name.startsWith(u'p') ? gate.run(operation) : gate.runMerging(name.left(1), operation);
        };
        gate.run([&] {
            for (const QString &token : arriving.split(u' '))
                token == u"!" ? gate.runDeferred() : fire(token);
            order << QStringLiteral("A");
        });
        QCOMPARE(order.join(u' '), ran);
        QVERIFY(!gate.busy() && gate.deferredCount() == 0);
    }

    void aReplyCompleteBeforeTheWaitIsTakenWithoutAnEventPass()
    {
        arrive(QByteArray::fromHex("5a"));
        bool eventRan = false;
        QObject scope; // the pending event must not outlive `eventRan`
        QTimer::singleShot(0, &scope, [&] { eventRan = true; });
        engine->WaitForReply(1);
        QVERIFY(!eventRan);
        QCOMPARE(engine->reply(0), quint8(0x5a));
        QVERIFY(!engine->timerRunning());
    }

    void atMost999BytesAreStoredAndTheRestIsDropped()
    {
        QByteArray flood(1200, '\0');
        for (int i = 0; i < flood.size(); ++i)
            flood[i] = char(0x80 | (i % 0x7f) | 1); // never 0, so untouched positions stand out
        arrive(flood);
        engine->WaitForReply(1);
        QCOMPARE(stored(999).toHex(), flood.left(999).toHex());
        QCOMPARE(engine->reply(999), quint8(0));
        QCOMPARE(line->inBufferCount(), 0);
    }

    // Every way a transaction can end: its outcome, what it leaves in the reply
    // store (11 22 33 44 before), what crossed the wire, the trace's lines and how
    // long it took. The answer comes 60 ms after the frame.
    void everyPathEndsInItsOwnOutcome_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("n");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QByteArray>("store");
        QTest::addColumn<QStringList>("traced");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        const QByteArray before = QByteArray::fromHex("11223344");
        const QStringList timedOut{"TX 55 D1 02 01", "TIMEOUT"};
        QTest::newRow("taken") << "" << QByteArray::fromHex("2a") << 1 << Outcome::Taken
                               << QByteArray::fromHex("2a223344") << QStringList{"TX 55 D1 02 01", "RX 2A"} << 40 << 400;
        QTest::newRow("three bytes for two are all stored")
            << "" << QByteArray::fromHex("a1a2a3") << 2 << Outcome::Taken << QByteArray::fromHex("a1a2a344")
            << QStringList{"TX 55 D1 02 01", "RX A1 A2 A3"} << 40 << 400;
        QTest::newRow("a shorter reply keeps the older bytes behind it")
            << "" << QByteArray::fromHex("0a0b") << 2 << Outcome::Taken << QByteArray::fromHex("0a0b3344")
            << QStringList{"TX 55 D1 02 01", "RX 0A 0B"} << 40 << 400;
        QTest::newRow("timed out") << "" << QByteArray() << 1 << Outcome::TimedOut << before << timedOut << 500 << 900;
        QTest::newRow("fewer bytes than asked") << "" << QByteArray::fromHex("77") << 2 << Outcome::TimedOut << before
                                                << timedOut << 500 << 900;
        QTest::newRow("not sent") << "closed" << QByteArray() << 1 << Outcome::NotSent << before
                                  << QStringList{"CLOSED 55 D1 02 01"} << 0 << 50;
        QTest::newRow("lost") << "unplug" << QByteArray() << 1 << Outcome::Lost << before
                              << QStringList{"TX 55 D1 02 01", "LOST"} << 90 << 400;
        // The nested send goes nowhere; the outer wait still takes its own answer.
        QTest::newRow("refused inside a wait")
            << "nested" << QByteArray::fromHex("2a") << 1 << Outcome::Refused << QByteArray::fromHex("2a223344")
            << QStringList{"TX 55 D1 02 01", "OVERLAP 55 70 01 01 FF", "RX 2A"} << 40 << 400;
    }
    void everyPathEndsInItsOwnOutcome()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, answer);
        QFETCH(int, n);
        QFETCH(Outcome, outcome);
        QFETCH(QByteArray, store);
        QFETCH(QStringList, traced);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        arrive(QByteArray::fromHex("11223344"));
        engine->WaitForReply(4);
        QTemporaryDir folder;
        Trace trace;
        QVERIFY(trace.open(folder.filePath(QStringLiteral("trace.txt"))));
        engine->setTrace(&trace);
        Outcome nested = Outcome::Taken;
        if (!answer.isEmpty())
            answerAfter(60, answer);
        if (path == "closed")
            line->close();
        if (path == "unplug")
            QTimer::singleShot(100, pty.get(), [this] { pty->hangUp(); });
        if (path == "nested")
            QTimer::singleShot(20, this, [&] { nested = engine->writeRegister(0x70, 1, 0xFF); });
        QElapsedTimer clock;
        clock.start();
        const Outcome ended = engine->transact(QByteArray::fromHex("55d10201"), quint8(n));
        const qint64 took = clock.elapsed();
        QCOMPARE(path == "nested" ? nested : ended, outcome);
        QVERIFY2(took >= minMs && took <= maxMs, qPrintable(QString::number(took)));
        QCOMPARE(stored(4).toHex(), store.toHex());
        // Timer1 stops only when a reply is taken; a time-out leaves it at 11 ticks.
        if (ended == Outcome::Taken || path.isEmpty())
            QCOMPARE(engine->timerRunning(), ended != Outcome::Taken);
        if (ended == Outcome::TimedOut && path.isEmpty())
            QCOMPARE(engine->TickCount(), 11.0f);
        if (path != "unplug") {
            QTest::qWait(30);
            QCOMPARE(pty->received(), path == "closed" ? QByteArray() : QByteArray::fromHex("55d10201"));
        }
        engine->setTrace(nullptr);
        QFile file(folder.filePath(QStringLiteral("trace.txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        static const QRegularExpression stamp(QStringLiteral(R"(^\d+ COM1 )"));
        QStringList lines = QString::fromLatin1(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        for (QString &traceLine : lines)
            traceLine.remove(stamp);
        QCOMPARE(lines, traced);
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
