#include "frames.h"
#include "modulerig.h"
#include "rangers.h"
#include "sensorbinding.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

using namespace kestrava;
using kestrava::test::ModuleRig;

namespace {
const QList<QByteArray> TenFrames = {
    QByteArray::fromHex("55e0000151"), QByteArray::fromHex("55e10202"),
    QByteArray::fromHex("55e2000151"), QByteArray::fromHex("55e30202"),
    QByteArray::fromHex("55e4000151"), QByteArray::fromHex("55e50202"),
    QByteArray::fromHex("55e6000151"), QByteArray::fromHex("55e70202"),
    QByteArray::fromHex("55e8000151"), QByteArray::fromHex("55e90202"),
};
} // namespace

class RangersTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<ModuleRig> rig;
    QList<QLabel *> boxes;

    void setRange(quint8 address, quint8 high, quint8 low)
    {
        rig->adapter.setRegister(address, 2, high);
        rig->adapter.setRegister(address, 3, low);
    }
    QStringList captions() const
    {
        QStringList out;
        for (QLabel *box : boxes)
            out.append(box->text());
        return out;
    }
    QByteArray rangeBytes(quint8 address) const
    {
        QByteArray bytes;
        bytes.append(char(rig->adapter.registerValue(address, 2)));
        bytes.append(char(rig->adapter.registerValue(address, 3)));
        return bytes;
    }
    // Sends `bytes` from the adapter side after `delayMs`, whatever happens meanwhile.
    void answerLater(const QByteArray &bytes, int delayMs)
    {
        QTimer::singleShot(delayMs, Qt::PreciseTimer, &rig->pty, [this, bytes] { rig->pty.write(bytes); });
    }

private slots:
    void init()
    {
        rig = std::make_unique<ModuleRig>();
        QVERIFY(rig->line.isOpen());
        boxes.clear();
        for (int i = 0; i < 5; ++i) {
            boxes.append(rig->addControl<QLabel>(QStringLiteral("LblDistancia(%1)").arg(i)));
            boxes.last()->setText(QStringLiteral("0"));
        }
        installSensors(rig->context);
    }
    void cleanup() { rig.reset(); }

    void eachRangerIsCommandedThenReadIntoItsOwnBox()
    {
        setRange(0xE0, 0x00, 0x55);
        setRange(0xE2, 0x01, 0x2c);
        setRange(0xE4, 0x00, 0x00);
        setRange(0xE6, 0xff, 0xff);
        setRange(0xE8, 0x12, 0x34);

        rig->click(QStringLiteral("CmdDistancia_Click"));

        QCOMPARE(rig->adapter.frameBytes(), TenFrames);
        QCOMPARE(captions(), (QStringList{"85", "300", "0", "65535", "4660"}));
        QCOMPARE(rig->overlaps.count(), 0);
    }

    // The ranging takes 65 ms: the read waits whole ticks until at least 70 ms have
    // passed since the command, one tick from a stopped timer when the answer was slow.
    void theReadWaitsForTheRangingAfterTheCommand_data()
    {
        QTest::addColumn<int>("answerDelayMs");
        QTest::addColumn<int>("shortestGap");
        QTest::newRow("prompt answer: two ticks") << 0 << 95;
        QTest::newRow("answer after 30 ms: one tick") << 30 << 75;
    }
    void theReadWaitsForTheRangingAfterTheCommand()
    {
        QFETCH(int, answerDelayMs);
        QFETCH(int, shortestGap);
        rig->adapter.setReplyDelayMs(answerDelayMs);

        rig->click(QStringLiteral("CmdDistancia_Click"));

        const auto frames = rig->adapter.frames();
        QCOMPARE(rig->adapter.frameBytes(), TenFrames);
        for (int i = 0; i < frames.size(); i += 2) {
            const qint64 gap = frames[i + 1].atMs - frames[i].atMs;
            const QString why = QStringLiteral("ranger %1 read %2 ms after its command").arg(i / 2).arg(gap);
            QVERIFY2(gap >= shortestGap, qPrintable(why));
            QVERIFY2(gap < 400, qPrintable(why));
        }
    }

    // The command's answer comes after its wait has given up, during the ranging
    // wait; the read then takes it together with the range bytes.
    void aLateCommandAnswerMixesIntoTheRead()
    {
        setRange(0xE2, 0x01, 0x2c);
        rig->adapter.setResponder([this](const QByteArray &frame) {
            if (frame == QByteArray::fromHex("55e0000151"))
                answerLater(QByteArray::fromHex("01"), 600); // after the 550 ms time-out
            else if (frame == QByteArray::fromHex("55e10202"))
                answerLater(QByteArray::fromHex("0258"), 150); // range 600, behind the late answer
            else if (frame[1] & 1)
                return rangeBytes(quint8(frame[1]) & 0xFE);
            else
                return QByteArray::fromHex("01");
            return QByteArray();
        });

        QSignalSpy timeOuts(&rig->engine, &TransactionEngine::replyTimedOut);

        rig->click(QStringLiteral("CmdDistancia_Click"));

        QCOMPARE(timeOuts.count(), 1); // only the first command's wait
        QCOMPARE(rig->adapter.frameBytes(), TenFrames);
        // acknowledgement 01 as the high byte, the range's high byte 02 as the low
        QCOMPARE(boxes[0]->text(), QStringLiteral("258"));
        QCOMPARE(rig->engine.reply(2), quint8(0x58)); // nothing was lost, only mixed
        QCOMPARE(boxes[1]->text(), QStringLiteral("300"));
    }

    void aClosedPortSendsNothingAndStartsNoRangingWait()
    {
        rig->line.close();
        for (QLabel *box : boxes)
            box->setText(QStringLiteral("-"));
        QElapsedTimer clock;
        clock.start();

        rig->click(QStringLiteral("CmdDistancia_Click"));

        // Five ranging waits alone would take 250 ms.
        QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(20);
        QVERIFY(rig->adapter.frames().isEmpty());
        QCOMPARE(captions(), (QStringList{"-", "-", "-", "-", "-"}));
    }
};

QTEST_MAIN(RangersTest)
#include "tst_rangers.moc"
