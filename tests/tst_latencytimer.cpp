#include "latencytimer.h"

#include <QTest>

using namespace kestrava::sim;

// The emulated USB latency timer, driven by explicit times: answer bytes wait until
// the timer has run from the first waiting byte, or until 62 of them wait.
class LatencyTimerTest : public QObject
{
    Q_OBJECT

    static SimTime at(const QString &ms)
    {
        return std::chrono::duration_cast<SimTime>(std::chrono::duration<double, std::milli>(ms.toDouble()));
    }

private slots:
    void answersWaitForTheTimerOrAFullPacket_data()
    {
        QTest::addColumn<int>("timerMs");
        // "hold MS N": N more answer bytes at MS; "take MS N": N bytes out in all by MS;
        // "wake MS": the next wake-up is at MS ("wake -": none).
        QTest::addColumn<QString>("script");
        QTest::newRow("off: at once") << 0 << "hold 0 3; take 0 3; wake -";
        QTest::newRow("one byte waits the whole timer") << 16 << "hold 0 1; wake 16; take 15.9 0; take 16 1; wake -";
        QTest::newRow("later bytes go with the first") << 16 << "hold 0 1; hold 10 4; wake 16; take 15.9 0; take 16 5";
        QTest::newRow("the 62nd byte sends the packet") << 16 << "hold 0 61; take 1 0; hold 2 1; take 2 62; wake -";
        QTest::newRow("beyond a packet the rest waits afresh")
            << 16 << "hold 0 70; take 5 62; wake 21; take 20.9 62; take 21 70";
        QTest::newRow("a new wait after each release") << 1 << "hold 0 1; take 1 1; hold 3 2; take 3.9 1; take 4 3";
        QTest::newRow("two packets at once") << 255 << "hold 0 130; take 0 124; take 254.9 124; take 255 130";
    }
    void answersWaitForTheTimerOrAFullPacket()
    {
        QFETCH(int, timerMs);
        QFETCH(QString, script);
        LatencyTimer timer{std::chrono::milliseconds(timerMs)};
        QByteArray held; // every byte handed in, numbered in order
        QByteArray out;
        for (const QString &step : script.split(QLatin1String("; "))) {
            const QStringList word = step.split(u' ');
            if (word[0] == QLatin1String("hold")) {
                for (int i = word[2].toInt(); i > 0; --i)
                    held.append(char(held.size()));
                timer.hold(held.right(word[2].toInt()), at(word[1]));
            } else if (word[0] == QLatin1String("take")) {
                out += timer.takeDue(at(word[1]));
                QCOMPARE(out.size(), word[2].toInt());
                QCOMPARE(out, held.left(out.size())); // in order, none lost or doubled
            } else {
                const std::optional<SimTime> wake = timer.nextWake();
                QCOMPARE(wake.has_value(), word[1] != QLatin1String("-"));
                if (wake)
                    QCOMPARE(wake->count(), at(word[1]).count());
            }
        }
    }
};

QTEST_APPLESS_MAIN(LatencyTimerTest)
#include "tst_latencytimer.moc"
