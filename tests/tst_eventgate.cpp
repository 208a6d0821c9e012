#include "eventgate.h"

#include <QSignalSpy>
#include <QTest>

using namespace kestrava;

// The gate on its own: what runs when, with operations that defer each other the
// way a wait inside an operation would.
class EventGateTest : public QObject
{
    Q_OBJECT
    inline static const QString Move = QStringLiteral("Image1_MouseMove");

private slots:
    void anOperationRunsAtOnceWhenNothingRuns()
    {
        EventGate gate;
        QSignalSpy idle(&gate, &EventGate::idle);
        bool ran = false;
        gate.run([&] { ran = true; });
        QVERIFY(ran);
        QCOMPARE(idle.count(), 1);
        QVERIFY(!gate.busy());
    }

    void eventsArrivingDuringAnOperationRunAfterItInOrder()
    {
        EventGate gate;
        QSignalSpy idle(&gate, &EventGate::idle);
        QStringList log;
        gate.run([&] {
            gate.run([&] { log << "b"; gate.run([&] { log << "d"; }); });
            gate.run([&] { log << "c"; });
            log << "a";
        });
        QCOMPARE(log, QStringList({"a", "b", "c", "d"}));
        QCOMPARE(idle.count(), 1);
        QCOMPARE(gate.deferredCount(), 0);
    }

    void movesMergeIntoTheLatestButAReleaseKeepsItsPlace()
    {
        EventGate gate;
        QStringList log;
        const auto move = [&](int x) { return [&, x] { log << QStringLiteral("move %1").arg(x); }; };
        gate.run([&] {
            for (int x = 0; x < 1000; ++x)
                gate.runMerging(Move, move(x));
            gate.run([&] { log << "release"; });
            gate.runMerging(Move, move(5000));
            gate.runMerging(Move, move(5001));
        });
        QCOMPARE(log, QStringList({"move 999", "release", "move 5001"}));
    }

    void aSafePointRunsWhatWaitsAndTheOperationGoesOn()
    {
        EventGate gate;
        QStringList log;
        gate.run([&] {
            gate.run([&] { log << "relay"; });
            log << "dialogue pass 1";
            gate.runDeferred();
            log << "dialogue pass 2";
        });
        QCOMPARE(log, QStringList({"dialogue pass 1", "relay", "dialogue pass 2"}));
    }
};

QTEST_GUILESS_MAIN(EventGateTest)
#include "tst_eventgate.moc"
