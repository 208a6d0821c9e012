#include "modulerig.h"
#include "sensorbinding.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

using namespace kestrava;
using kestrava::test::ModuleRig;

namespace {
const QList<QByteArray> TenReads = {
    QByteArray::fromHex("55d10001"), QByteArray::fromHex("55d10101"), QByteArray::fromHex("55d10201"),
    QByteArray::fromHex("55d10301"), QByteArray::fromHex("55d10401"), QByteArray::fromHex("55d10501"),
    QByteArray::fromHex("55d10601"), QByteArray::fromHex("55d10701"), QByteArray::fromHex("55d10801"),
    QByteArray::fromHex("55d10901"),
};
} // namespace

class ThermalTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<ModuleRig> rig;
    QList<QLabel *> pixels;

    void setRegisters(const QByteArray &bytes)
    {
        for (int i = 0; i < bytes.size(); ++i)
            rig->adapter.setRegister(0xD0, quint8(i), quint8(bytes[i]));
    }
    QStringList captions() const
    {
        QStringList out;
        for (QLabel *label : pixels)
            out.append(label->text());
        return out;
    }

private slots:
    void init()
    {
        rig = std::make_unique<ModuleRig>();
        QVERIFY(rig->line.isOpen());
        pixels.clear();
        for (int i = 0; i < 10; ++i) {
            pixels.append(rig->addControl<QLabel>(QStringLiteral("LblPixel(%1)").arg(i)));
            pixels.last()->setText(QStringLiteral("-"));
        }
        installSensors(rig->context);
    }
    void cleanup() { rig.reset(); }

    void eachRegisterIsShownInItsOwnBox_data()
    {
        QTest::addColumn<QByteArray>("registers");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("version 5, ambient 22, pixels 20 to 27")
            << QByteArray::fromHex("0516141516171819 1a1b")
            << QStringList{"5", "22", "20", "21", "22", "23", "24", "25", "26", "27"};
        QTest::newRow("bytes 0 and 255 as read")
            << QByteArray::fromHex("00ff00ff00ff00ff00ff")
            << QStringList{"0", "255", "0", "255", "0", "255", "0", "255", "0", "255"};
    }
    void eachRegisterIsShownInItsOwnBox()
    {
        QFETCH(QByteArray, registers);
        QFETCH(QStringList, expected);
        setRegisters(registers);
        // What box i - 1 shows when frame i reaches the adapter.
        QStringList shownBeforeNextRead;
        connect(&rig->adapter, &test::ScriptedAdapter::frameReceived, this, [&] {
            const qsizetype i = rig->adapter.frames().size() - 1;
            if (i > 0)
                shownBeforeNextRead.append(pixels[i - 1]->text());
        });

        rig->click(QStringLiteral("CmdTPA81_Click"));

        QCOMPARE(rig->adapter.frameBytes(), TenReads);
        QCOMPARE(captions(), expected);
        QCOMPARE(shownBeforeNextRead, expected.first(9));
        QCOMPARE(rig->overlaps.count(), 0);
    }

    void eachReadWaitsForTheAnswerToThePreviousOne()
    {
        constexpr int answerDelayMs = 60;
        rig->adapter.setReplyDelayMs(answerDelayMs);
        setRegisters(QByteArray::fromHex("0516141516171819 1a1b"));

        rig->click(QStringLiteral("CmdTPA81_Click"));

        const auto frames = rig->adapter.frames();
        QCOMPARE(rig->adapter.frameBytes(), TenReads);
        for (int i = 1; i < frames.size(); ++i) {
            const qint64 gap = frames[i].atMs - frames[i - 1].atMs;
            // The answer's timer may fire a little early; the next read must not.
            QVERIFY2(gap >= answerDelayMs - 5, qPrintable(QStringLiteral("read %1 after %2 ms").arg(i).arg(gap)));
            QVERIFY2(gap < 500, qPrintable(QStringLiteral("read %1 after %2 ms").arg(i).arg(gap)));
        }
        QCOMPARE(pixels[9]->text(), QStringLiteral("27"));
    }

    void aTimeOutOnTheVersionShowsTheByteOfAnEarlierReply()
    {
        rig->adapter.setRegister(0xC0, 0, 0x2a); // an earlier reply from another module
        rig->engine.readRegisters(0xC0, 0, 1);
        QCOMPARE(rig->engine.reply(0), quint8(0x2a));
        setRegisters(QByteArray::fromHex("0516141516171819 1a1b"));
        rig->adapter.setResponder([this](const QByteArray &frame) {
            if (frame == QByteArray::fromHex("55d10001"))
                return QByteArray(); // the version never answers
            return QByteArray(1, char(rig->adapter.registerValue(0xD0, quint8(frame[2]))));
        });
        rig->adapter.clearFrames();

        QElapsedTimer clock;
        clock.start();
        rig->click(QStringLiteral("CmdTPA81_Click"));

        QVERIFY2(clock.elapsed() >= 500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(rig->adapter.frameBytes(), TenReads);
        QCOMPARE(captions(), (QStringList{"42", "22", "20", "21", "22", "23", "24", "25", "26", "27"}));
    }

    void aSecondPressDuringAWaitRunsAfterTheFirst()
    {
        rig->adapter.setReplyDelayMs(20);
        setRegisters(QByteArray::fromHex("0516141516171819 1a1b"));
        QTimer::singleShot(30, this, [this] { rig->click(QStringLiteral("CmdTPA81_Click")); });

        rig->click(QStringLiteral("CmdTPA81_Click"));

        QCOMPARE(rig->adapter.frameBytes(), TenReads + TenReads);
        QCOMPARE(rig->overlaps.count(), 0);
        QVERIFY(!rig->gate.busy());
    }
};

QTEST_MAIN(ThermalTest)
#include "tst_thermal.moc"
