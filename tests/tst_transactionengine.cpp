#include "eventgate.h"
#include "frames.h"
#include "pseudoterminal.h"
#include "serialline.h"
#include "trace.h"
#include "transactionengine.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kestrava;
using kestrava::test::PseudoTerminal;

class TransactionEngineTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<SerialLine> line;
    std::unique_ptr<TransactionEngine> engine;

    void answerAfter(int ms, const QByteArray &bytes)
    {
        QTimer::singleShot(ms, pty.get(), [this, bytes] { pty->write(bytes); });
    }
    // Lets bytes written by the far end reach the operating system's input queue.
    void settle() { QTest::qWait(30); }

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

    void aReplyAfter100msIsTakenAndStopsTheTimer()
    {
        QElapsedTimer clock;
        clock.start();
        answerAfter(100, QByteArray::fromHex("2a"));
        QCOMPARE(engine->transact(registerReadFrame(0xD0, 2, 1), 1), Outcome::Taken);
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= 90 && took < 400, qPrintable(QString::number(took)));
        QCOMPARE(engine->reply(0), quint8(0x2a));
        QVERIFY(!engine->timerRunning());
        QVERIFY(pty->waitForReceived(4));
        QCOMPARE(pty->received(), QByteArray::fromHex("55d10201"));
    }

    void noAnswerTimesOutAfterElevenTicksLeavingBufferAndTimer()
    {
        answerAfter(0, QByteArray::fromHex("11223344"));
        QCOMPARE(engine->transact(registerReadFrame(0xD0, 0, 4), 4), Outcome::Taken);
        QElapsedTimer clock;
        clock.start();
        QSignalSpy timedOut(engine.get(), &TransactionEngine::replyTimedOut);
        QCOMPARE(engine->transact(registerReadFrame(0xD0, 0, 1), 1), Outcome::TimedOut);
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= 500 && took < 900, qPrintable(QString::number(took)));
        QCOMPARE(timedOut.count(), 1);
        QCOMPARE(engine->reply(0), quint8(0x11));
        QCOMPARE(engine->reply(3), quint8(0x44));
        QVERIFY(engine->timerRunning());
    }

    void aLateAnswerIsTakenByTheNextWait()
    {
        answerAfter(700, QByteArray::fromHex("77"));
        QCOMPARE(engine->transact(registerReadFrame(0xD0, 0, 1), 1), Outcome::TimedOut);
        QTest::qWait(300); // the late byte arrives meanwhile and stays waiting
        QCOMPARE(line->inBufferCount(), 1);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(engine->transact(registerReadFrame(0xD0, 1, 1), 1), Outcome::Taken);
        QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(engine->reply(0), quint8(0x77));
    }

    void everyWaitingByteIsStoredWhenMoreThanExpectedArrive()
    {
        pty->write(QByteArray::fromHex("a1a2a3"));
        settle();
        QCOMPARE(engine->WaitForReply(2), Outcome::Taken);
        QCOMPARE(engine->reply(0), quint8(0xa1));
        QCOMPARE(engine->reply(1), quint8(0xa2));
        QCOMPARE(engine->reply(2), quint8(0xa3));
        QCOMPARE(line->inBufferCount(), 0);
    }

    void aShorterReplyKeepsTheOlderBytesBehindIt()
    {
        pty->write(QByteArray::fromHex("01020304"));
        settle();
        QCOMPARE(engine->WaitForReply(4), Outcome::Taken);
        pty->write(QByteArray::fromHex("0a0b"));
        settle();
        QCOMPARE(engine->WaitForReply(2), Outcome::Taken);
        const auto &buffer = engine->ReplyBuffer();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer.data()), 4), QByteArray::fromHex("0a0b0304"));
    }

    void atMost999BytesAreStoredAndTheRestIsDropped()
    {
        QByteArray flood(1200, '\0');
        for (int i = 0; i < flood.size(); ++i)
            flood[i] = char(0x80 | (i % 0x7f) | 1); // never 0, so untouched positions stand out
        pty->write(flood);
        QVERIFY(QTest::qWaitFor([&] { return line->inBufferCount() >= 1200; }, 2000));
        QCOMPARE(engine->WaitForReply(1), Outcome::Taken);
        const auto &buffer = engine->ReplyBuffer();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer.data()), 999), flood.left(999));
        QCOMPARE(buffer[999], quint8(0));
        QCOMPARE(line->inBufferCount(), 0);
    }

    void waitTicksLastsItsTicksAndLeavesTheTimerRunning_data()
    {
        QTest::addColumn<int>("ticks");
        QTest::newRow("WaitTicks(0)") << 0;
        QTest::newRow("WaitTicks(3)") << 3;
    }
    void waitTicksLastsItsTicksAndLeavesTheTimerRunning()
    {
        QFETCH(int, ticks);
        QElapsedTimer clock;
        clock.start();
        engine->WaitTicks(qint16(ticks));
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= ticks * 50 - 5 && took <= (ticks + 1) * 50 + 150, qPrintable(QString::number(took)));
        QVERIFY(engine->timerRunning());
        QCOMPARE(engine->TickCount(), float(ticks + 1));
    }

    void aReplyCompleteBeforeTheWaitIsTakenWithoutAnEventPass()
    {
        pty->write(QByteArray::fromHex("5a"));
        settle();
        bool eventRan = false;
        QTimer::singleShot(0, this, [&] { eventRan = true; });
        QCOMPARE(engine->WaitForReply(1), Outcome::Taken);
        QVERIFY(!eventRan);
        QCOMPARE(engine->reply(0), quint8(0x5a));
        QVERIFY(!engine->timerRunning());
        QTRY_VERIFY(eventRan);
    }

    // Every way a transaction can end: its outcome, what crossed the wire, the
    // trace's lines and how long it took.
    void everyPathEndsInItsOwnOutcome_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QStringList>("traced");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        const QByteArray read = QByteArray::fromHex("55d10201");
        QTest::newRow("taken") << "answer" << Outcome::Taken << read
                               << QStringList{"TX 55 D1 02 01", "RX 2A"} << 40 << 400;
        QTest::newRow("timed out") << "silent" << Outcome::TimedOut << read
                                   << QStringList{"TX 55 D1 02 01", "TIMEOUT"} << 500 << 900;
        QTest::newRow("timed out after 100 ms") << "short" << Outcome::TimedOut << read
                                                << QStringList{"TX 55 D1 02 01", "TIMEOUT"} << 95 << 400;
        QTest::newRow("not sent") << "closed" << Outcome::NotSent << QByteArray()
                                  << QStringList{"CLOSED 55 D1 02 01"} << 0 << 50;
        QTest::newRow("lost") << "unplug" << Outcome::Lost << read
                              << QStringList{"TX 55 D1 02 01", "LOST"} << 90 << 400;
        // The nested send goes nowhere; the outer wait still takes its own answer.
        QTest::newRow("refused inside a wait")
            << "nested" << Outcome::Refused << read
            << QStringList{"TX 55 D1 02 01", "OVERLAP 55 70 01 01 FF", "RX 2A"} << 40 << 400;
    }
    void everyPathEndsInItsOwnOutcome()
    {
        QFETCH(QString, path);
        QFETCH(Outcome, outcome);
        QFETCH(QByteArray, wire);
        QFETCH(QStringList, traced);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        QTemporaryDir folder;
        Trace trace;
        QVERIFY(trace.open(folder.filePath(QStringLiteral("trace.txt"))));
        engine->setTrace(&trace);
        Outcome nested = Outcome::Taken;
        if (path == "answer" || path == "nested")
            answerAfter(60, QByteArray::fromHex("2a"));
        if (path == "short")
            engine->setReplyTimeout(std::chrono::milliseconds(100));
        if (path == "closed")
            line->close();
        if (path == "unplug")
            QTimer::singleShot(100, pty.get(), [this] { pty->hangUp(); });
        if (path == "nested")
            QTimer::singleShot(20, this, [&] { nested = engine->writeRegister(0x70, 1, 0xFF); });
        QElapsedTimer clock;
        clock.start();
        const Outcome ended = engine->transact(registerReadFrame(0xD0, 2, 1), 1);
        const qint64 took = clock.elapsed();
        QCOMPARE(path == "nested" ? nested : ended, outcome);
        QVERIFY2(took >= minMs && took <= maxMs,
                 qPrintable(QString::number(took)));
        if (path != "unplug") {
            QTest::qWait(30);
            QCOMPARE(pty->received(), wire);
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

    void eventsDuringAWaitRunAfterItInArrivalOrder()
    {
        EventGate gate;
        QSignalSpy overlaps(engine.get(), &TransactionEngine::overlapDetected);
        QStringList order;
        connect(pty.get(), &PseudoTerminal::bytesReceived, this, [this] {
            QTimer::singleShot(80, pty.get(), [this] { pty->write(QByteArray::fromHex("01")); });
        });
        auto operation = [&](const QString &name, quint8 reg) {
            return [&, name, reg] {
                order << name + " start";
                engine->writeRegister(0x70, reg, 0);
                order << name + " end";
            };
        };
        QTimer::singleShot(20, this, [&] { gate.run(operation("second", 2)); });
        QTimer::singleShot(40, this, [&] { gate.run(operation("third", 3)); });
        gate.run(operation("first", 1));
        QCOMPARE(order, QStringList({"first start", "first end", "second start", "second end",
                                     "third start", "third end"}));
        QCOMPARE(overlaps.count(), 0);
        QVERIFY(pty->waitForReceived(15));
        QCOMPARE(pty->received(), QByteArray::fromHex("5570010100" "5570020100" "5570030100"));
    }
};

QTEST_GUILESS_MAIN(TransactionEngineTest)
#include "tst_transactionengine.moc"
