#include "simulatedpanel.h"

#include <QTest>

using namespace kestrava;
using kestrava::test::SimulatedPanel;
using kestrava::test::WireEvent;

// Answers that come late, carry bytes nobody asked for, or come in a flood.
class EndToEndLateAndExtraBytesTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;

    QString telemetryCaptions() const
    {
        QStringList shown;
        for (const char *label : {"LblConta1", "LblConta2", "LblBateria", "LblVersionMD23", "LblCon1", "LblCon2"})
            shown << rig->text(QLatin1String(label));
        return shown.join(u' ');
    }
    int waitingBytes() { return rig->panel().line().inBufferCount(); }
    qsizetype count(WireEvent::Kind kind) const
    {
        return std::count_if(rig->events.cbegin(), rig->events.cend(),
                             [kind](const WireEvent &e) { return e.kind == kind; });
    }
    static QString decimalBytes(int count, int first)
    {
        QStringList bytes;
        for (int i = 0; i < count; ++i)
            bytes << QString::number((first + i) % 256);
        return bytes.join(u' ');
    }

private slots:
    void initTestCase() { SimulatedPanel::prepareProgram(); }
    void init()
    {
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->start());
        // The adapter's write answer 01 is what ReplyBuffer[0] holds before each case.
        const QString fault = rig->clickFault();
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
    void cleanup() { rig.reset(); }

    void lateAnswersShiftTheTelemetryAndTheNextClickStartsClean()
    {
        // Registers 2 to 13 hold their own numbers.
        QCOMPARE(rig->command(QStringLiteral("remove B0")), QStringLiteral("ok"));
        QCOMPARE(rig->command(QStringLiteral("add B0 generic")), QStringLiteral("ok"));
        QCOMPARE(rig->command(QStringLiteral("set B0 2 2 3 4 5 6 7 8 9 10 11 12 13")), QStringLiteral("ok"));
        QCOMPARE(rig->command(QStringLiteral("delay B0 700")), QStringLiteral("ok"));
        rig->clearRecord();
        rig->click(QStringLiteral("CmdLeerDatos"));
        // Every other read times out and the next takes its late answer: the
        // bytes run one register behind, then two, and so on.
        //   registers 2..5 read 01 (stale) 02 02 03; 6..9 read 03 04 04 05;
        //   10 reads 05, 13 reads 06, 11 reads 06, 12 reads 07.
        QCOMPARE(telemetryCaptions(), QStringLiteral("1.69088E+07 5.059482E+07 0.5 6 0.6 0.7"));
        QCOMPARE(count(WireEvent::TimedOut), 6);
        QCOMPARE(count(WireEvent::Reply), 6);

        // The answers to the last six reads are still on their way.
        QCOMPARE(rig->command(QStringLiteral("delay B0 0")), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(waitingBytes(), 6, 8000);
        rig->clearRecord();
        rig->click(QStringLiteral("CmdLeerDatos"));
        QCOMPARE(telemetryCaptions(), QStringLiteral("3.375207E+07 1.011241E+08 1 13 1.1 1.2"));
        QCOMPARE(count(WireEvent::TimedOut), 0);
        QCOMPARE(count(WireEvent::Reply), 12);
        KESTRAVA_VERIFY_SOUND(*rig);
    }

    void aLateAcknowledgementIsTakenByTheNextOperation()
    {
        QCOMPARE(rig->command(QStringLiteral("noise D0 off")), QStringLiteral("ok"));
        QCOMPARE(rig->command(QStringLiteral("temp D0 20 21 22 23 24 25 26 27 28")), QStringLiteral("ok"));
        QCOMPARE(rig->command(QStringLiteral("delay 70 700")), QStringLiteral("ok"));
        rig->click(QStringLiteral("ReleOn(0)"));
        QCOMPARE(rig->command(QStringLiteral("delay 70 0")), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(waitingBytes(), 1, 3000);
        rig->clearRecord();
        rig->click(QStringLiteral("CmdTPA81"));
        // The version box shows the acknowledgement. The version itself was taken
        // behind it if it had come by then, or else by the next read: from there on
        // each box shows its own register or the one before it.
        QCOMPARE(rig->events.at(1).kind, WireEvent::Reply);
        QCOMPARE(rig->events.at(1).bytes.at(0), '\x01');
        QCOMPARE(rig->text(QStringLiteral("LblPixel(0)")), QStringLiteral("1"));
        const QStringList ownOrVersion{QStringLiteral("20"), QStringLiteral("6")};
        QVERIFY(ownOrVersion.contains(rig->text(QStringLiteral("LblPixel(1)"))));
        for (int i = 2; i < 10; ++i) {
            const int shown = rig->text(QStringLiteral("LblPixel(%1)").arg(i)).toInt();
            QVERIFY2(shown == 19 + i || shown == 18 + i, qPrintable(QString::number(shown)));
        }
        KESTRAVA_VERIFY_SOUND(*rig);
    }

    void bytesAroundAnAnswerAreStoredWithIt_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("version"); // what LblPixel(0) shows
        QTest::addColumn<QByteArray>("stored"); // ReplyBuffer from position 0 after the first read
        QTest::newRow("garbage before") << "garbage D0 77" << "77" << QByteArray::fromHex("4d06");
        QTest::newRow("extra after") << "extra D0 99 98" << "6" << QByteArray::fromHex("066362");
        QTest::newRow("both") << "garbage D0 0xff 0\nextra D0 0x55 0xd1" << "255" << QByteArray::fromHex("ff000655d1");
    }
    void bytesAroundAnAnswerAreStoredWithIt()
    {
        QFETCH(QString, fault);
        QFETCH(QString, version);
        QFETCH(QByteArray, stored);
        QCOMPARE(rig->command(QStringLiteral("noise D0 off")), QStringLiteral("ok"));
        QCOMPARE(rig->command(QStringLiteral("temp D0 20 21 22 23 24 25 26 27 28")), QStringLiteral("ok"));
        for (const QString &line : fault.split(u'\n'))
            QCOMPARE(rig->command(line), QStringLiteral("ok"));
        rig->clearRecord();
        rig->click(QStringLiteral("CmdTPA81"));
        QCOMPARE(rig->events.at(1).kind, WireEvent::Reply);
        QCOMPARE(rig->events.at(1).bytes.toHex(), stored.toHex());
        QCOMPARE(rig->text(QStringLiteral("LblPixel(0)")), version);
        // The extra bytes went with the first answer: every later read is its own.
        for (int i = 1; i < 10; ++i)
            QCOMPARE(rig->text(QStringLiteral("LblPixel(%1)").arg(i)), QString::number(19 + i));
        QCOMPARE(count(WireEvent::Reply), 10);
        KESTRAVA_VERIFY_SOUND(*rig);
    }

    void twelveHundredBytesAtOnceStoreTheFirst999()
    {
        // 600 bytes before the answer 01 and 599 after it, all 700 ms late.
        QCOMPARE(rig->command(QStringLiteral("delay B0 700")), QStringLiteral("ok"));
        QCOMPARE(rig->command(QStringLiteral("garbage B0 ") + decimalBytes(600, 0)), QStringLiteral("ok"));
        QCOMPARE(rig->command(QStringLiteral("extra B0 ") + decimalBytes(599, 100)), QStringLiteral("ok"));
        rig->click(QStringLiteral("Command3"));
        QCOMPARE(rig->timeOuts(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(waitingBytes(), 1200, 3000);
        QCOMPARE(rig->command(QStringLiteral("delay B0 0")), QStringLiteral("ok"));

        rig->clearRecord();
        rig->click(QStringLiteral("Command2"));
        QCOMPARE(rig->sentFrames(), QList<QByteArray>{QByteArray::fromHex("55b00001ff")});
        QCOMPARE(rig->events.at(1).kind, WireEvent::Reply);
        const QByteArray taken = rig->events.at(1).bytes;
        QVERIFY2(taken.size() == 1200 || taken.size() == 1201, qPrintable(QString::number(taken.size())));
        QByteArray expected;
        for (int i = 0; i < 600; ++i)
            expected.append(char(i % 256));
        expected.append('\x01');
        for (int i = 0; i < 599; ++i)
            expected.append(char((100 + i) % 256));
        QCOMPARE(taken.left(1200).toHex(), expected.toHex());
        const TransactionEngine &engine = rig->panel().engine();
        QByteArray buffer(reinterpret_cast<const char *>(engine.ReplyBuffer().data()), 1000);
        QCOMPARE(buffer.left(999).toHex(), expected.left(999).toHex());
        QCOMPARE(engine.reply(999), quint8(0)); // never written
        KESTRAVA_VERIFY_SOUND(*rig);
    }
};

QTEST_MAIN(EndToEndLateAndExtraBytesTest)
#include "tst_e2elate.moc"
