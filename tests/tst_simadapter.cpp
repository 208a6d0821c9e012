#include "adapterframes.h"
#include "simadapter.h"
#include "simbus.h"

#include <QRandomGenerator>
#include <QTest>

using namespace kestrava::sim;
using namespace std::chrono_literals;

class SimAdapterTest : public QObject
{
    Q_OBJECT

    SimBus bus;

    // Everything at time zero, no wire time: what the adapter answers to `line`.
    QByteArray fastAnswer(const QByteArray &line)
    {
        SimAdapter adapter(bus, SimTime{0});
        adapter.receive(line, SimTime{0});
        return adapter.takeDue(SimTime{0});
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
        for (int n = 0; n <= 255; ++n) {
            QByteArray data;
            for (int i = 0; i < n; ++i)
                data.append(char(n + i * 7));
            const QByteArray write = QByteArray::fromHex("55b000") + char(n) + data;
            const QByteArray read = QByteArray::fromHex("55b100") + char(n);
            QCOMPARE(fastAnswer(write), QByteArray::fromHex("01"));
            QCOMPARE(fastAnswer(read), data);
        }
    }

    void aFrameArrivesInAnyPieces_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("answer");
        const QByteArray write = QByteArray::fromHex("55b0020311223355b10203");
        for (int cut = 1; cut < write.size(); ++cut)
            QTest::addRow("write+read cut at %d", cut) << write << QByteArray::fromHex("01112233");
        QTest::addRow("empty write") << QByteArray::fromHex("55b0050055b10501") << QByteArray::fromHex("0100");
    }
    void aFrameArrivesInAnyPieces()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, answer);
        for (int cut = 1; cut < line.size(); ++cut) {
            SimAdapter adapter(bus, SimTime{0});
            adapter.receive(line.left(cut), SimTime{0});
            QByteArray got = adapter.takeDue(SimTime{0});
            adapter.receive(line.mid(cut), SimTime{0});
            got += adapter.takeDue(SimTime{0});
            QCOMPARE(got, answer);
        }
    }

    void bytesThatDoNotStartAFrameAreSkipped_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("garbage before a write") << QByteArray::fromHex("00ffaa13b055b0000142") << QByteArray::fromHex("01");
        QTest::newRow("garbage between frames")
            << QByteArray::fromHex("55b000017700015455b10001") << QByteArray::fromHex("0177");
        QTest::newRow("garbage alone") << QByteArray::fromHex("0102030405aa") << QByteArray();
    }
    void bytesThatDoNotStartAFrameAreSkipped()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, answer);
        QCOMPARE(fastAnswer(line), answer);
    }

    void aPartialFrameWaitsForItsBytes()
    {
        SimAdapter adapter(bus, SimTime{0});
        adapter.receive(QByteArray::fromHex("55b0000301"), SimTime{0});
        QCOMPARE(adapter.takeDue(SimTime{0}), QByteArray());
        QVERIFY(!adapter.nextWake());
        adapter.receive(QByteArray::fromHex("0203"), SimTime{0});
        QCOMPARE(adapter.takeDue(SimTime{0}), QByteArray::fromHex("01"));
    }

    void anythingTheLineSendsKeepsMemoryBounded()
    {
        SimAdapter adapter(bus, WireByteTime);
        FrameParser parser;
        auto *random = QRandomGenerator::global();
        for (int chunk = 0; chunk < 2000; ++chunk) {
            QByteArray bytes(512, Qt::Uninitialized);
            for (char &b : bytes)
                b = char(random->bounded(chunk % 2 ? 256 : 0x56)); // the second half favours 55 and small counts
            for (char b : bytes) {
                parser.push(quint8(b));
                QVERIFY(parser.pendingSize() <= FrameParser::LongestFrame);
            }
            adapter.receive(bytes, SimTime{0});
            QVERIFY(adapter.waitingFrames() <= SimAdapter::MaxWaitingFrames);
        }
        QVERIFY(adapter.droppedFrames() > 0);
    }

    void anAddressWithoutModuleStaysSilent()
    {
        SimAdapter adapter(bus, SimTime{0});
        adapter.receive(QByteArray::fromHex("55400001ff55410001"), SimTime{0});
        QCOMPARE(adapter.takeDue(SimTime{0}), QByteArray());
        QVERIFY(!adapter.nextWake());
        adapter.receive(QByteArray::fromHex("55c7000155b00001aa"), SimTime{0});
        QCOMPARE(adapter.takeDue(SimTime{0}), QByteArray::fromHex("0001"));
    }

    void aSilencedModuleAnswersNothing()
    {
        bus.module(0xB0)->faults.silent = true;
        QCOMPARE(fastAnswer(QByteArray::fromHex("55b0000101")), QByteArray());
        bus.module(0xB0)->faults.silent = false;
        QCOMPARE(fastAnswer(QByteArray::fromHex("55b0000101")), QByteArray::fromHex("01"));
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

    void wireTimeIsElevenBitsPerByteBothWays()
    {
        SimAdapter adapter(bus, WireByteTime);
        const SimTime sent{1s};
        adapter.receive(QByteArray::fromHex("55b0000180"), sent); // five bytes in, one out
        const SimTime limit = sent + 6 * WireByteTime;
        QVERIFY(WireByteTime > 572us && WireByteTime < 573us);
        QCOMPARE(adapter.takeDue(limit - 1us), QByteArray());
        QCOMPARE(adapter.nextWake(), std::optional<SimTime>(limit));
        QCOMPARE(adapter.takeDue(limit), QByteArray::fromHex("01"));
    }

    void garbageAndExtraBytesGoWithTheNextAnswerOnly()
    {
        ModuleFaults &faults = bus.module(0xC6)->faults;
        faults.garbageBeforeNext = QByteArray::fromHex("ee55");
        faults.extraAfterNext = QByteArray::fromHex("ff");
        QCOMPARE(fastAnswer(QByteArray::fromHex("55c70001")), QByteArray::fromHex("ee5500ff"));
        QCOMPARE(fastAnswer(QByteArray::fromHex("55c70001")), QByteArray::fromHex("00"));
    }

    void droppingTheLineForgetsPartialFramesAndUnsentAnswers()
    {
        SimAdapter adapter(bus, WireByteTime);
        adapter.receive(QByteArray::fromHex("55b00001ff55b0"), SimTime{0});
        adapter.reset();
        QVERIFY(!adapter.nextWake());
        adapter.receive(QByteArray::fromHex("000142"), SimTime{1s});
        QCOMPARE(adapter.takeDue(SimTime{2s}), QByteArray());
    }
};

QTEST_GUILESS_MAIN(SimAdapterTest)
#include "tst_simadapter.moc"
