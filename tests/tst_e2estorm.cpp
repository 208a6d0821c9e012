#include "simulatedpanel.h"

#include <QTest>
#include <QTimer>

using namespace kestrava;
using kestrava::test::SimulatedPanel;

namespace {

// Buttons that send one fixed frame each.
struct FixedButton
{
    const char *name;
    const char *frame;
};
constexpr FixedButton FixedButtons[] = {
    {"Command2", "55b00001ff"},     {"Command3", "55b0000180"},     {"CmdModo0", "55b00f0100"},
    {"CmdModo2", "55b00f0102"},     {"CmdAcel10", "55b00e010a"},    {"CmdAcel5", "55b00e0105"},
    {"CmdAcel1", "55b00e0101"},     {"CmdResetCounter", "55b0100120"}, {"CmdAutoOff", "55b0100130"},
    {"CmdAutoOn", "55b0100131"},    {"CmdStopOff", "55b0100132"},   {"CmdStopOn", "55b0100133"},
    {"CmdTodoOn", "55700101ff"},    {"CmdTodoOff", "5570010100"},   {"CmdLCD03_2", "55c600010c"},
    {"CmdLCD03_3", "55c600010d"},   {"CmdLCD03_4", "55c6000113"},   {"CmdLCD03_5", "55c6000114"},
};
constexpr int FixedButtonCount = int(std::size(FixedButtons));

QList<QByteArray> framesFromHex(const QStringList &hex)
{
    QList<QByteArray> frames;
    for (const QString &h : hex)
        frames << QByteArray::fromHex(h.toLatin1());
    return frames;
}

} // namespace

// Floods of operator events while operations wait: every event runs, in the
// order it came, none inside another's wait; timed moves keep their length;
// drive-pad moves merge and the release comes last.
class EndToEndStormTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;

    qint64 gap(const char *from, const char *to) const
    {
        return rig->timeOfFrame(QByteArray::fromHex(to)) - rig->timeOfFrame(QByteArray::fromHex(from));
    }

private slots:
    void initTestCase() { SimulatedPanel::prepareProgram(); }
    void init()
    {
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->start());
    }
    void cleanup() { rig.reset(); }

    void twoHundredClicksDuringATimedMoveRunAfterItInOrder()
    {
        QStringList expected{"55b0010187", "55b0010180"};
        bool arrivedWhileBusy = false;
        QTimer::singleShot(100, rig.get(), [&] {
            arrivedWhileBusy = rig->panel().gate().busy();
            for (int i = 0; i < 200; ++i)
                rig->click(QLatin1String(FixedButtons[i * 7 % FixedButtonCount].name));
        });
        for (int i = 0; i < 200; ++i)
            expected << QLatin1String(FixedButtons[i * 7 % FixedButtonCount].frame);
        rig->clearRecord();
        rig->click(QStringLiteral("CmdGiro(0)")); // 10 ticks
        QVERIFY(arrivedWhileBusy);
        QCOMPARE(test::hexLines(rig->sentFrames()), test::hexLines(framesFromHex(expected)));
        QCOMPARE(rig->timeOuts(), 0);
        const qint64 move = gap("55b0010187", "55b0010180");
        qInfo("timed move of 10 ticks: stop frame %lld ms after the drive frame", move);
        QVERIFY2(move >= 500 && move < 1200, qPrintable(QString::number(move)));
        KESTRAVA_VERIFY_SOUND(*rig);
    }

    void scrollBarStepsDuringATimedMoveAndASpeedLoopRunInOrder()
    {
        QCOMPARE(rig->command(QStringLiteral("delay C2 30")), QStringLiteral("ok"));
        bool firstWhileBusy = false;
        bool secondWhileBusy = false;
        QTimer::singleShot(100, rig.get(), [&] {
            firstWhileBusy = rig->panel().gate().busy();
            rig->stepBar(QStringLiteral("ServoScroll(0)"));
            rig->stepBar(QStringLiteral("VeloScroll"));
            rig->stepBar(QStringLiteral("ServoScroll(20)"));
        });
        // Meant to land in the speed loop; any time during the run gives the same order.
        QTimer::singleShot(1400, rig.get(), [&] {
            secondWhileBusy = rig->panel().gate().busy();
            rig->stepBar(QStringLiteral("ServoScroll(3)"));
            rig->click(QStringLiteral("CmdGiro(1)")); // 6 ticks
        });
        rig->clearRecord();
        rig->click(QStringLiteral("CmdAdelante1(2)")); // 20 ticks
        QVERIFY(firstWhileBusy);
        QVERIFY(secondWhileBusy);

        QStringList expected{"55b000018c", "55b0000180", "55c20101e6", "55c2020105"};
        for (const char *speed : {"00", "03", "06", "09", "0c", "0f", "12", "15", "18", "1b", "1e", "21", "24", "27",
                                  "2a", "2d", "30", "33", "36", "39", "3c"})
            expected << QStringLiteral("55c2") + QLatin1String(speed) + QStringLiteral("0101");
        expected << "55c23d01e6" << "55c23e0105" << "55c20a01e6" << "55c20b0105" << "55b001018c" << "55b0010180";
        QCOMPARE(test::hexLines(rig->sentFrames()), test::hexLines(framesFromHex(expected)));
        QCOMPARE(rig->timeOuts(), 0);
        const qint64 straight = gap("55b000018c", "55b0000180");
        const qint64 turn = gap("55b001018c", "55b0010180");
        qInfo("timed moves: 20 ticks took %lld ms, 6 ticks %lld ms", straight, turn);
        QVERIFY2(straight >= 1000 && straight < 1700, qPrintable(QString::number(straight)));
        QVERIFY2(turn >= 300 && turn < 1000, qPrintable(QString::number(turn)));
        for (const char *label : {"ServoVal(0)", "ServoVal(3)", "ServoVal(20)"})
            QCOMPARE(rig->text(QLatin1String(label)), QStringLiteral("15"));
        KESTRAVA_VERIFY_SOUND(*rig);
    }

    void padMovesMergeAndTheReleaseComesLast()
    {
        QCOMPARE(rig->command(QStringLiteral("delay B0 100")), QStringLiteral("ok"));
        QWidget *pad = rig->control(QStringLiteral("Image1"));
        constexpr int Moves = 100;
        int moved = 0;
        bool released = false;
        QTimer mover;
        mover.setInterval(5);
        connect(&mover, &QTimer::timeout, rig.get(), [&] {
            if (moved < Moves) {
                QTest::mouseMove(pad, QPoint(10 + 2 * moved, 10 + moved));
                ++moved;
                return;
            }
            mover.stop();
            QTest::mouseRelease(pad, Qt::LeftButton, {}, QPoint(208, 109));
            released = true;
        });
        rig->clearRecord();
        mover.start();
        QTest::mousePress(pad, Qt::LeftButton, {}, QPoint(1, 1));
        QTRY_VERIFY_WITH_TIMEOUT(released && !rig->panel().gate().busy(), 15000);

        const QList<QByteArray> frames = rig->sentFrames();
        const qsizetype updates = frames.size() / 2 - 1;
        qInfo("%d moves gave %lld pad updates", Moves, updates);
        QVERIFY2(frames.size() % 2 == 0 && updates >= 2 && updates <= Moves / 5, qPrintable(test::hexLines(frames)));
        QCOMPARE(frames.first(2), framesFromHex({"55b00001aa", "55b0010156"})); // the press
        // The last move (208, 109) gives turn 154 and speed 128; the release follows it.
        QCOMPARE(frames.last(4), framesFromHex({"55b0000180", "55b001019a", "55b0000180", "55b0010180"}));
        for (qsizetype i = 0; i < frames.size(); ++i)
            QCOMPARE(frames[i].left(4), QByteArray::fromHex(i % 2 ? "55b00101" : "55b00001"));
        QCOMPARE(rig->text(QStringLiteral("Label10")), QStringLiteral("154"));
        QCOMPARE(rig->text(QStringLiteral("Label9")), QStringLiteral("128"));
        QCOMPARE(rig->timeOuts(), 0);
        KESTRAVA_VERIFY_SOUND(*rig);
    }
};

QTEST_MAIN(EndToEndStormTest)
#include "tst_e2estorm.moc"
