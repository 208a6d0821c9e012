#include "frames.h"
#include "pseudoterminal.h"
#include "serialline.h"
#include "transactionengine.h"

#include <QElapsedTimer>
#include <QSignalSpy>
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
        QVERIFY(engine->transact(registerReadFrame(0xD0, 2, 1), 1));
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= 90 && took < 400, qPrintable(QString::number(took)));
        QCOMPARE(engine->reply(0), quint8(0x2a));
        QVERIFY(!engine->timerRunning());
        QVERIFY(pty->waitForReceived(4));
        QCOMPARE(pty->received(), QByteArray::fromHex("55d10201"));
    }
};

QTEST_GUILESS_MAIN(TransactionEngineTest)
#include "tst_transactionengine.moc"
