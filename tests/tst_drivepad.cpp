#include "simulatedpanel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

using namespace kestrava;
using kestrava::test::SimulatedPanel;

namespace {
const QStringList Stop{"55b0000180", "55b0010180"};
} // namespace

// The drive pad Image1 with real mouse events: which buttons drive, where a
// grabbed drag goes, how a drag ends without a release, and a flood of moves
// while the answers come slowly.
class DrivePadTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;
    QWidget *pad = nullptr;

    QString labels() const { return rig->text(QStringLiteral("Label10")) + u' ' + rig->text(QStringLiteral("Label9")); }
    QStringList wire() const { return rig->adapter().hexFrames(); }
    // A move with the left button held, delivered at once (QTest's moves carry
    // no buttons and run the event loop).
    void dragTo(QPoint at)
    {
        QMouseEvent move(QEvent::MouseMove, at, pad->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pad, &move);
    }

private slots:
    void initTestCase() { SimulatedPanel::prepareProgram(); }
    void init()
    {
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->startAdapter() && rig->openPanel());
        pad = rig->control(QStringLiteral("Image1"));
    }
    void cleanup()
    {
        KESTRAVA_VERIFY_SOUND(*rig);
        rig.reset();
    }

    // Only the left button drives, with or without a modifier; any release stops
    // both motors. (The operations table has the plain left press.)
    void onlyTheLeftButtonDrives_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QString>("shown"); // turn, speed
        QTest::newRow("left with shift") << int(Qt::LeftButton) << int(Qt::ShiftModifier)
                                         << QStringList{"55b00001aa", "55b0010156"} + Stop << "86 170";
        QTest::newRow("right") << int(Qt::RightButton) << int(Qt::NoModifier) << Stop << " ";
        QTest::newRow("middle with ctrl") << int(Qt::MiddleButton) << int(Qt::ControlModifier) << Stop << " ";
    }
    void onlyTheLeftButtonDrives()
    {
        QFETCH(int, button);
        QFETCH(int, modifiers);
        QFETCH(QStringList, frames);
        QFETCH(QString, shown);
        QTest::mousePress(pad, Qt::MouseButton(button), Qt::KeyboardModifiers(modifiers), QPoint(1, 1));
        QTest::mouseRelease(pad, Qt::MouseButton(button), Qt::KeyboardModifiers(modifiers), QPoint(128, 127));
        QCOMPARE(wire(), frames);
        QCOMPARE(labels(), shown);
    }

    // Grabbed, the pad follows the mouse outside itself: 60 pixels to the left
    // count as 60 to the right; 510 below as the top row. Hovering drives nothing.
    void aHeldDragIsFollowedOutsideThePad()
    {
        QTest::mousePress(pad, Qt::LeftButton, {}, QPoint(128, 127));
        dragTo(QPoint(-60, 510));
        QTest::mouseRelease(pad, Qt::LeftButton, {}, QPoint(-60, 510));
        QTest::mouseMove(pad, QPoint(5, 6));
        QCOMPARE(wire(), QStringList({"55b0000180", "55b0010180", "55b00001aa", "55b001016a"}) + Stop);
        QCOMPARE(labels(), QStringLiteral("106 170"));
    }

    void aDragEndsWithAStopWhenThePadHidesOrTheWindowLosesFocus_data()
    {
        QTest::addColumn<QString>("interruption");
        QTest::newRow("pad hidden") << "hide";
        QTest::newRow("window deactivated") << "deactivate";
    }
    void aDragEndsWithAStopWhenThePadHidesOrTheWindowLosesFocus()
    {
        QFETCH(QString, interruption);
        QTest::mousePress(pad, Qt::LeftButton, {}, QPoint(1, 1));
        QWidget other;
        if (interruption == u"hide") {
            pad->hide();
        } else {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        QTRY_COMPARE(wire(), QStringList({"55b00001aa", "55b0010156"}) + Stop);
        QTest::mouseRelease(pad, Qt::LeftButton, {}, QPoint(1, 1)); // a late release changes nothing
        QCOMPARE(wire().size(), 4);
        pad->show();
        rig->panel().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig->panel()));
    }

    // Moves that come while an update waits merge into the latest: far fewer
    // updates than moves, the last one at the final position, the release last.
    void aFloodOfMovesMergesIntoTheLatest()
    {
        rig->adapter().setReplyDelayMs(30);
        constexpr int Moves = 500;
        int moved = 0;
        QTimer mouse;
        mouse.setInterval(1);
        // Posted, as the window system's events are, so the timer keeps firing
        // while an update waits.
        const auto post = [&](QEvent::Type type, QPoint at, Qt::MouseButton button) {
            QCoreApplication::postEvent(pad, new QMouseEvent(type, at, pad->mapToGlobal(at), button,
                                                             type == QEvent::MouseMove ? Qt::LeftButton : Qt::NoButton,
                                                             Qt::NoModifier));
        };
        connect(&mouse, &QTimer::timeout, this, [&] {
            if (moved == Moves) {
                mouse.stop();
                post(QEvent::MouseButtonRelease, QPoint(1, 127), Qt::LeftButton);
                return;
            }
            ++moved;
            post(QEvent::MouseMove, QPoint(257 - 256 * moved / Moves, 127 * moved / Moves), Qt::NoButton);
        });
        QTest::mousePress(pad, Qt::LeftButton, {}, QPoint(257, 1));
        mouse.start();
        QTRY_VERIFY_WITH_TIMEOUT(!mouse.isActive() && !rig->panel().gate().busy(), 20000);

        const QStringList frames = wire();
        const qsizetype updates = frames.size() / 2 - 2;
        qInfo("%d moves sent %lld updates", Moves, qlonglong(updates));
        QVERIFY2(frames.size() % 2 == 0 && updates >= 2 && updates <= Moves / 10, qPrintable(frames.join(u' ')));
        QCOMPARE(frames.first(2), QStringList({"55b00001aa", "55b00101ab"}));
        QCOMPARE(frames.last(4), QStringList({"55b0000180", "55b0010156"}) + Stop);
        for (qsizetype i = 0; i < frames.size(); ++i)
            QVERIFY(frames[i].startsWith(i % 2 ? QStringLiteral("55b00101") : QStringLiteral("55b00001")));
        QCOMPARE(labels(), QStringLiteral("86 128"));
    }
};

QTEST_MAIN(DrivePadTest)
#include "tst_drivepad.moc"
