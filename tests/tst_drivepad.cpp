#include "driverig.h"

#include <QTimer>

using namespace kestrava::test;

namespace {

constexpr qint16 Left = 1;
constexpr qint16 Right = 2;
constexpr qint16 Middle = 4;

} // namespace

class DrivePadTest : public QObject
{
    Q_OBJECT
private slots:
    void leftPressShowsAndSendsBothValues_data()
    {
        QTest::addColumn<QByteArray>("handler");
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::addColumn<QString>("label10");
        QTest::addColumn<QString>("label9");
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::newRow("press at the centre") << QByteArray("Image1_MouseDown") << 1920.0f << 1900.0f
            << "128" << "128" << hexFrames({"55b0000180", "55b0010180"});
        QTest::newRow("press top left") << QByteArray("Image1_MouseDown") << 0.0f << 0.0f
            << "86" << "170" << hexFrames({"55b00001aa", "55b0010156"});
        QTest::newRow("press bottom right") << QByteArray("Image1_MouseDown") << 3855.0f << 3825.0f
            << "171" << "86" << hexFrames({"55b0000156", "55b00101ab"});
        QTest::newRow("drag far right and below") << QByteArray("Image1_MouseMove") << 7680.0f << 7650.0f
            << "255" << "170" << hexFrames({"55b00001aa", "55b00101ff"});
        QTest::newRow("drag left of the pad") << QByteArray("Image1_MouseMove") << -900.0f << 1900.0f
            << "106" << "128" << hexFrames({"55b0000180", "55b001016a"});
    }
    void leftPressShowsAndSendsBothValues()
    {
        QFETCH(QByteArray, handler);
        QFETCH(float, x);
        QFETCH(float, y);
        QFETCH(QString, label10);
        QFETCH(QString, label9);
        QFETCH(QList<QByteArray>, frames);
        DriveRig rig;
        QVERIFY(rig.ready());
        // Labels come first: they are set before the first frame goes out.
        QStringList shownAtFirstFrame;
        connect(&rig.adapter, &ScriptedAdapter::frameReceived, this, [&] {
            if (shownAtFirstFrame.isEmpty())
                shownAtFirstFrame = {rig.caption("Label10"), rig.caption("Label9")};
        });
        rig.mouse(handler.constData(), Left, x, y);
        QCOMPARE(rig.frames(), frames);
        QCOMPARE(shownAtFirstFrame, (QStringList{label10, label9}));
        QCOMPARE(rig.caption("Label10"), label10);
        QCOMPARE(rig.caption("Label9"), label9);
    }

    void otherButtonsSendNothing_data()
    {
        QTest::addColumn<QByteArray>("handler");
        QTest::addColumn<qint16>("button");
        QTest::newRow("right press") << QByteArray("Image1_MouseDown") << Right;
        QTest::newRow("left and right press") << QByteArray("Image1_MouseDown") << qint16(Left | Right);
        QTest::newRow("middle press") << QByteArray("Image1_MouseDown") << Middle;
        QTest::newRow("move with left and right") << QByteArray("Image1_MouseMove") << qint16(Left | Right);
        QTest::newRow("move with no button") << QByteArray("Image1_MouseMove") << qint16(0);
    }
    void otherButtonsSendNothing()
    {
        QFETCH(QByteArray, handler);
        QFETCH(qint16, button);
        DriveRig rig;
        QVERIFY(rig.ready());
        rig.mouse("Image1_MouseDown", Left, 0.0f, 0.0f);
        rig.adapter.clearFrames();
        rig.mouse(handler.constData(), button, 3855.0f, 3825.0f);
        QTest::qWait(50);
        QVERIFY(rig.frames().isEmpty());
        QCOMPARE(rig.caption("Label10"), QStringLiteral("86"));
        QCOMPARE(rig.caption("Label9"), QStringLiteral("170"));
    }

    void anyReleaseStopsBothAndKeepsTheLabels_data()
    {
        QTest::addColumn<qint16>("button");
        QTest::newRow("left") << Left;
        QTest::newRow("right") << Right;
        QTest::newRow("none, as when a drag ends without a release") << qint16(0);
    }
    void anyReleaseStopsBothAndKeepsTheLabels()
    {
        QFETCH(qint16, button);
        DriveRig rig;
        QVERIFY(rig.ready());
        rig.mouse("Image1_MouseDown", Left, 0.0f, 0.0f);
        rig.mouse("Image1_MouseUp", button, 1920.0f, 1900.0f);
        QCOMPARE(rig.frames(), hexFrames({"55b00001aa", "55b0010156", "55b0000180", "55b0010180"}));
        QCOMPARE(rig.caption("Label10"), QStringLiteral("86"));
        QCOMPARE(rig.caption("Label9"), QStringLiteral("170"));
    }

    // The pad's moves arrive while an update waits for its answers. They merge into
    // the latest, so the pad sends far fewer updates than it gets moves, the last
    // update carries the final position, and the release's stops come last.
    void floodOfMovesDuringSlowAnswersMergesIntoTheLatest()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        rig.adapter.setReplyDelayMs(30);
        constexpr int Moves = 1000;
        int sent = 0;
        qint64 lastMoveAtMs = -1;
        bool released = false;
        QTimer mouse;
        mouse.setTimerType(Qt::PreciseTimer);
        mouse.setInterval(1);
        // Each move is posted, as the window's mouse events are, so the timer keeps
        // firing while an update waits.
        connect(&mouse, &QTimer::timeout, this, [&] {
            const int i = sent++;
            const float x = 3855.0f * float(Moves - 1 - i) / (Moves - 1); // to 0
            const float y = 1900.0f * float(i) / (Moves - 1);               // to 1900
            QMetaObject::invokeMethod(this, [&, x, y, i] {
                if (i == Moves - 1)
                    lastMoveAtMs = rig.adapter.elapsedMs();
                rig.mouse("Image1_MouseMove", Left, x, y);
            }, Qt::QueuedConnection);
            if (sent == Moves) {
                mouse.stop();
                QMetaObject::invokeMethod(this, [&] {
                    rig.mouse("Image1_MouseUp", Left, 0.0f, 1900.0f);
                    released = true;
                }, Qt::QueuedConnection);
            }
        });
        rig.mouse("Image1_MouseDown", Left, 3855.0f, 0.0f);
        mouse.start();
        QVERIFY(QTest::qWaitFor([&] { return released && !rig.gate.busy(); }, 20000));

        const QList<QByteArray> frames = rig.frames();
        const qsizetype updates = frames.size() / 2 - 1;
        qInfo("%d moves sent %lld updates", Moves, qlonglong(updates));
        QVERIFY2(updates >= 2 && updates <= Moves / 10, qPrintable(QString::number(updates)));
        for (qsizetype i = 0; i + 1 < frames.size(); i += 2) {
            QCOMPARE(frames[i].left(3), QByteArray::fromHex("55b000"));
            QCOMPARE(frames[i + 1].left(3), QByteArray::fromHex("55b001"));
        }
        QCOMPARE(frames.first(), QByteArray::fromHex("55b00001aa"));
        QCOMPARE(frames.mid(frames.size() - 4), hexFrames({"55b0000180", "55b0010156",
                                                           "55b0000180", "55b0010180"}));
        QCOMPARE(rig.caption("Label10"), QStringLiteral("86"));
        QCOMPARE(rig.caption("Label9"), QStringLiteral("128"));
        const qint64 lastUpdateSentMs = rig.adapter.frames().at(frames.size() - 3).atMs;
        qInfo("last move to its update's second frame: %lld ms (answers 30 ms late)",
              lastUpdateSentMs - lastMoveAtMs);
        QCOMPARE(rig.overlaps.count(), 0);
    }

    void releaseInTheMiddleOfAnUpdateIsSentLast()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        rig.adapter.setReplyDelayMs(100);
        // While the press's first frame waits for its answer: one more move, then
        // the release.
        connect(&rig.adapter, &ScriptedAdapter::frameReceived, this, [&](const QByteArray &frame) {
            if (frame != QByteArray::fromHex("55b00001aa"))
                return;
            rig.mouse("Image1_MouseMove", Left, 3855.0f, 3825.0f);
            rig.mouse("Image1_MouseUp", Left, 3855.0f, 3825.0f);
        });
        rig.mouse("Image1_MouseDown", Left, 0.0f, 0.0f);
        QCOMPARE(rig.frames(), hexFrames({"55b00001aa", "55b0010156",  // the press
                                          "55b0000156", "55b00101ab",  // the move
                                          "55b0000180", "55b0010180"})); // the release
        QCOMPARE(rig.overlaps.count(), 0);
    }

    // Closing the window in the middle of a drag: the window holds the close back
    // while the gate is busy, hands the pad a release of its own (no button), and
    // closes once the gate turns idle. By then both stops must be out, last.
    void dragEndedByAClosingWindowStopsBeforeTheGateTurnsIdle()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        rig.adapter.setReplyDelayMs(100);
        connect(&rig.adapter, &ScriptedAdapter::frameReceived, this, [&](const QByteArray &frame) {
            if (frame == QByteArray::fromHex("55b0000156"))
                rig.mouse("Image1_MouseUp", 0, 0.0f, 0.0f);
        });
        QList<QByteArray> framesAtIdle;
        connect(&rig.gate, &kestrava::EventGate::idle, this, [&] { framesAtIdle = rig.frames(); });
        rig.mouse("Image1_MouseDown", Left, 3855.0f, 3825.0f);
        QCOMPARE(framesAtIdle, hexFrames({"55b0000156", "55b00101ab", "55b0000180", "55b0010180"}));
        QCOMPARE(rig.overlaps.count(), 0);
    }
};

QTEST_MAIN(DrivePadTest)
#include "tst_drivepad.moc"
