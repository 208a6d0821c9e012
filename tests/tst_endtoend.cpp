#include "panel/readinglog.h"
#include "tests/support/remotepath.h"
#include "tests/support/simulatedpanel.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace kestrava;
using kestrava::test::SimulatedPanel;
using kestrava::test::WireEvent;

// The window against the real simulator on the real 50 ms tick: storms of
// clicks, late answers, the ranging wait, and an adapter unplugged in the middle
// of an operation, or a robot out of reach cut off: kestrava-sim, ser2net on
// 127.0.0.1, TCP, socat's pseudo-terminal, the window.
class EndToEndTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;
    std::unique_ptr<test::RemotePath> remote; // goes after the rig, which closes the port first
    QTemporaryDir folder;

    QString telemetryCaptions() const
    {
        return rig->texts({"LblConta1", "LblConta2", "LblBateria", "LblVersionMD23", "LblCon1", "LblCon2"}).join(u' ');
    }
    void simulate(const QStringList &commands)
    {
        for (const QString &line : commands)
            QCOMPARE(rig->command(line), QStringLiteral("ok"));
    }
    QString banner() const { return rig->control(QStringLiteral("Picture2"))->accessibleName(); }
    QStringList captions(const QString &array, int count) const
    {
        QStringList names;
        for (int i = 0; i < count; ++i)
            names << QStringLiteral("%1(%2)").arg(array).arg(i);
        return rig->texts(names);
    }

private slots:
    void initTestCase() { SimulatedPanel::prepareProgram(); }
    void init()
    {
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->start({QStringLiteral("--fast")}, folder.filePath(QStringLiteral("adapter"))));
        // The adapter's write answer 01 is what ReplyBuffer[0] holds before each case.
        const QString fault = rig->clickFault();
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
    void cleanup()
    {
        KESTRAVA_VERIFY_SOUND(*rig);
        rig.reset();
        remote.reset();
    }

    // Every click runs, in the order it came, none inside the move's wait, and
    // the move keeps its 10 ticks.
    void twoHundredClicksDuringATimedMoveRunAfterItInOrder()
    {
        // Buttons of four modules that send one fixed frame each.
        const QStringList buttons{"Command2=55b00001ff", "CmdModo2=55b00f0102", "CmdTodoOn=55700101ff",
                                  "CmdTodoOff=5570010100", "CmdLCD03_2=55c600010c", "CmdLCD03_4=55c6000113"};
        QStringList expected{"55b0010187", "55b0010180"};
        bool arrivedWhileBusy = false;
        QTimer::singleShot(100, rig.get(), [&] {
            arrivedWhileBusy = rig->panel().gate().busy();
            for (int i = 0; i < 200; ++i)
                rig->click(buttons[i * 5 % buttons.size()].section(u'=', 0, 0));
        });
        for (int i = 0; i < 200; ++i)
            expected << buttons[i * 5 % buttons.size()].section(u'=', 1);
        rig->clearRecord();
        rig->click(QStringLiteral("CmdGiro(0)"));
        QVERIFY(arrivedWhileBusy);
        QCOMPARE(rig->sentHex(), expected);
        QCOMPARE(rig->timeOuts(), 0);
        // The clicks run in the event passes of the wait and stretch its ticks,
        // but not their number.
        const qint64 move = rig->timeOfFrame(QByteArray::fromHex("55b0010180"))
            - rig->timeOfFrame(QByteArray::fromHex("55b0010187"));
        QVERIFY2(move >= 500 && move < 1200, qPrintable(QString::number(move)));
        QCOMPARE(rig->events.at(2).ticks, 11);
    }

    void lateAnswersShiftTheTelemetryAndTheNextClickStartsClean()
    {
        // Registers 2 to 13 hold their own numbers. The answers come 1.27 waits late, as
        // 700 ms on the 50 ms tick; a 20 ms tick tells the same in less than half the time.
        rig->panel().engine().setTickInterval(std::chrono::milliseconds(20));
        simulate({"remove B0", "add B0 generic", "set B0 2 2 3 4 5 6 7 8 9 10 11 12 13", "delay B0 280"});
        rig->clearRecord();
        rig->click(QStringLiteral("CmdLeerDatos"));
        // Every other read times out and the next takes its late answer: the
        // bytes run one register behind, then two, and so on.
        //   registers 2..5 read 01 (stale) 02 02 03; 6..9 read 03 04 04 05;
        //   10 reads 05, 13 reads 06, 11 reads 06, 12 reads 07.
        QCOMPARE(telemetryCaptions(), QStringLiteral("1.69088E+07 5.059482E+07 0.5 6 0.6 0.7"));
        QCOMPARE(rig->timeOuts(), 6);
        QCOMPARE(rig->recorded(WireEvent::Reply).size(), 6);

        // The answers to the last six reads are still on their way: the next
        // click drops them before it sends.
        simulate({"delay B0 0"});
        QTRY_COMPARE_WITH_TIMEOUT(rig->panel().line().inBufferCount(), 6, 8000);
        rig->clearRecord();
        rig->click(QStringLiteral("CmdLeerDatos"));
        QCOMPARE(telemetryCaptions(), QStringLiteral("3.375207E+07 1.011241E+08 1 13 1.1 1.2"));
        QCOMPARE(rig->timeOuts(), 0);
    }

    // A ranger reads 255 in every register while it measures (65 ms), so a read
    // that came too soon would show 65535, and one from before the command the
    // last press. The read goes out 70 to about 150 ms after the command.
    void eachPressShowsTheRangesOfThatPress()
    {
        simulate({"range E0 85", "range E2 300", "range E4 0", "range E6 4660", "range E8 12"});
        rig->click(QStringLiteral("CmdDistancia"));
        QCOMPARE(captions(QStringLiteral("LblDistancia"), 5), QStringList({"85", "300", "0", "4660", "12"}));
        simulate({"range E0 200"});
        rig->clearRecord();
        rig->click(QStringLiteral("CmdDistancia"));
        QCOMPARE(captions(QStringLiteral("LblDistancia"), 5), QStringList({"200", "300", "0", "4660", "12"}));
        for (const char *ranger : {"e0", "e2", "e4", "e6", "e8"}) {
            const QByteArray command = QByteArray::fromHex("55" + QByteArray(ranger) + "000151");
            const QByteArray read = QByteArray::fromHex("55" + QByteArray::number(QByteArray(ranger).toInt(nullptr, 16) + 1, 16) + "0202");
            const qint64 gap = rig->timeOfFrame(read) - rig->timeOfFrame(command);
            QVERIFY2(gap >= 70 && gap <= 180, qPrintable(QStringLiteral("%1: %2 ms").arg(ranger).arg(gap)));
        }
    }

    // Unplugged while an operation waits: the operation ends without hanging, and
    // choosing the port again in ComboCom (once the adapter is back) reopens it.
    // (Clicks on the closed port are the operations table's third mode.)
    void unpluggingEndsTheOperationAndChoosingThePortAgainReopensIt_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("dropAtMs");
        QTest::addColumn<int>("longestMs");
        QTest::addColumn<QString>("refused"); // the start of the one frame that could not go out, if any
        QTest::addColumn<bool>("mustRefuse"); // false: the loss may be seen inside a wait, before any refusal
        // The drive frame's wait ends at once; the stop frame cannot go out.
        QTest::newRow("timed move") << QStringList{"delay B0 400"} << "click CmdAdelante1(0)" << 150 << 1600
                                    << "55b0000180" << true;
        QTest::newRow("speed loop") << QStringList{"delay C2 60"} << "step VeloScroll" << 400 << 1300 << "55c2"
                                    << true; // then nothing more
        // The keypad answers "no key" as fast as it is asked, so the loss may come
        // between two of its reads: then the next read is the one refused.
        QTest::newRow("keypad dialogue") << QStringList{} << "click CmdLCD03_6" << 400 << 1300 << "55c7" << false;
        // socat lets half a second pass before it closes its end.
        QTest::newRow("keypad dialogue, the remote path cut") << QStringList{"remote"} << "click CmdLCD03_6" << 300
                                                              << 2000 << "55c7" << false;
    }
    void unpluggingEndsTheOperationAndChoosingThePortAgainReopensIt()
    {
        QFETCH(QStringList, setup);
        QFETCH(QString, action);
        QFETCH(int, dropAtMs);
        QFETCH(int, longestMs);
        QFETCH(QString, refused);
        QFETCH(bool, mustRefuse);
        const bool remotely = setup == QStringList{"remote"};
        if (remotely) {
            if (!test::RemotePath::toolsPresent())
                QSKIP("ser2net and socat are needed (./dev.sh installs them)");
            rig->panel().line().close(); // ser2net takes the simulator's device
            remote = std::make_unique<test::RemotePath>(folder.path());
            QVERIFY2(remote->start(rig->simulator().devicePath()), qPrintable(remote->errorString()));
            for (int n = 1; n <= 16; ++n)
                test::mapComPort(n, remote->linkPath());
            QVERIFY(rig->chooseComOneAgain());
            QTimer::singleShot(dropAtMs, rig.get(), [this] { remote->cutConnection(); });
        } else {
            simulate(setup);
            rig->postLater(dropAtMs, QStringLiteral("drop"));
        }
        rig->clearRecord();
        QElapsedTimer clock;
        clock.start();
        rig->perform(action);
        QVERIFY2(clock.elapsed() >= dropAtMs - 50 && clock.elapsed() < longestMs, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!rig->panel().line().isOpen());
        const QString device = remotely ? remote->linkPath() : folder.filePath(QStringLiteral("adapter"));
        QCOMPARE(banner(), "PUERTO PERDIDO — COM1 (" + device + ") desconectado");
        QVERIFY(!rig->sentFrames().isEmpty());
        const QStringList refusedFrames = rig->refusedHex();
        QVERIFY2(refusedFrames.size() == 1 || (refusedFrames.isEmpty() && !mustRefuse), qPrintable(refusedFrames.join(u' ')));
        QVERIFY(refusedFrames.isEmpty() || refusedFrames.first().startsWith(refused));
        QVERIFY2(rig->wireOrderFault().isEmpty(), qPrintable(rig->wireOrderFault()));

        // Plugged in again: the link leads to the new device once the port is chosen again.
        if (remotely) {
            QVERIFY2(remote->start(rig->simulator().devicePath()), qPrintable(remote->errorString()));
        } else {
            const QString restored = rig->command(QStringLiteral("restore"));
            QVERIFY2(restored.startsWith(QLatin1String("ok /dev/")), qPrintable(restored));
        }
        QVERIFY(rig->chooseComOneAgain());
        QVERIFY(!rig->panel().line().isOpen());
        rig->clearRecord();
        rig->click(QStringLiteral("Command3")); // moves the focus on, then runs
        QVERIFY(rig->panel().line().isOpen());
        QCOMPARE(banner(), QStringLiteral("Módulos I2C por adaptador USB"));
        QVERIFY2(rig->messages.isEmpty(), qPrintable(rig->messages.join(u'\n')));
        QCOMPARE(rig->sentHex(), QStringList{"55b0000180"});
        QCOMPARE(rig->events.last().kind, WireEvent::Reply);
    }

    // kestrava --log: every reading the window shows is logged as it is shown,
    // one row per caption and none for the needle.
    void everyReadingShownIsLoggedAsShown_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("firstRow");
        QTest::newRow("compass") << "CmdBrujula" << "LblVersionCMPS03" << "cmps03,version,";
        QTest::newRow("rangers") << "CmdDistancia" << "LblDistancia(0)" << "srf02,range1,";
    }
    void everyReadingShownIsLoggedAsShown()
    {
        QFETCH(QString, button);
        QFETCH(QString, label);
        QFETCH(QString, firstRow);
        const QString path = folder.filePath(button + QStringLiteral(".csv"));
        ReadingLog log;
        QVERIFY(log.open(path));
        QList<Reading> shown;
        QObject scope;
        connect(&rig->panel(), &ControlPanel::readingShown, &scope, [&](const Reading &reading) {
            shown << reading;
            log.write(reading);
        });
        rig->click(button);
        Reading comma = shown.first(); // as a Spanish locale shows a fraction
        comma.shown = QStringLiteral("12,1");
        log.write(comma);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.first(), QStringLiteral("time,module,field,value"));
        QCOMPARE(rows.at(1).section(u',', 1), firstRow + rig->text(label));
        qsizetype captioned = 0;
        for (const Reading &reading : shown) {
            captioned += !reading.shown.isEmpty();
            QVERIFY(reading.shown.isEmpty() || rows.filter(logFieldName(reading) + u',' + reading.shown).size() == 1);
        }
        QCOMPARE(rows.size() - 2, captioned);
        QCOMPARE(rows.last().section(u',', 2), firstRow.section(u',', 1) + "\"12,1\"");
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
