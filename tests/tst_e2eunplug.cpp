#include "portcombo.h"
#include "simulatedpanel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>

using namespace kestrava;
using kestrava::test::SimulatedPanel;
using kestrava::test::WireEvent;

// The adapter unplugged in the middle of an operation: the operation ends without
// hanging, later clicks send nothing, and choosing the port again in ComboCom
// (once the adapter is back) reopens it so that the next operation works.
class EndToEndUnplugTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;
    QTemporaryDir folder;

    QString link() const { return folder.filePath(QStringLiteral("adapter")); }
    QList<QByteArray> refusedFrames() const
    {
        QList<QByteArray> frames;
        for (const WireEvent &event : rig->events) {
            if (event.kind == WireEvent::NotSent)
                frames << event.bytes;
        }
        return frames;
    }

private slots:
    void initTestCase() { SimulatedPanel::prepareProgram(); }
    void init()
    {
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->start({QStringLiteral("--fast")}, link()));
        QVERIFY(rig->panel().line().isOpen());
    }
    void cleanup() { rig.reset(); }

    void unpluggingEndsTheOperationAndChoosingThePortAgainReopensIt_data()
    {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("dropAtMs");
        QTest::addColumn<int>("shortestMs");
        QTest::addColumn<int>("longestMs");
        QTest::addColumn<QString>("refused"); // the start of the one frame that could not go out, if any

        // Unplugged while the drive frame's answer is awaited: that wait ends at
        // once, the move's 30 ticks still pass, and its stop frame cannot go out.
        QTest::newRow("timed move") << QStringList{"delay B0 400"} << "click CmdAdelante1(3)" << 150 << 1500 << 2600
                                    << "55b0000180";
        QTest::newRow("telemetry") << QStringList{"delay B0 150"} << "click CmdLeerDatos" << 500 << 450 << 1400
                                   << "55b1";
        QTest::newRow("speed loop") << QStringList{"delay C2 60"} << "step VeloScroll" << 400 << 350 << 1300
                                    << "55c2"; // then the loop sends nothing more
        // The keypad answers "no key" as fast as it is asked.
        QTest::newRow("keypad dialogue") << QStringList{} << "click CmdLCD03_6" << 400 << 350 << 1300 << "";
    }
    void unpluggingEndsTheOperationAndChoosingThePortAgainReopensIt()
    {
        QFETCH(QStringList, setup);
        QFETCH(QString, action);
        QFETCH(int, dropAtMs);
        QFETCH(int, shortestMs);
        QFETCH(int, longestMs);
        QFETCH(QString, refused);
        for (const QString &line : setup)
            QCOMPARE(rig->command(line), QStringLiteral("ok"));
        rig->clearRecord();
        rig->postLater(dropAtMs, QStringLiteral("drop"));
        QElapsedTimer clock;
        clock.start();
        rig->perform(action);
        const qint64 took = clock.elapsed();
        qInfo("%s: ended %lld ms after the start, unplugged at %d ms", QTest::currentDataTag(), took, dropAtMs);
        QVERIFY2(took >= shortestMs && took < longestMs, qPrintable(QString::number(took)));
        QVERIFY(!rig->panel().line().isOpen());
        QVERIFY(!rig->sentFrames().isEmpty());
        QCOMPARE(refusedFrames().size(), refused.isEmpty() ? 0 : 1);
        if (!refused.isEmpty())
            QVERIFY(refusedFrames().first().toHex().startsWith(refused.toLatin1()));
        QVERIFY2(rig->wireOrderFault().isEmpty(), qPrintable(rig->wireOrderFault()));

        // Unplugged, a click sends nothing and waits for nothing.
        rig->clearRecord();
        clock.restart();
        rig->click(QStringLiteral("CmdModo2"));
        QVERIFY2(clock.elapsed() < 300, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(refusedFrames(), QList<QByteArray>{QByteArray::fromHex("55b00f0102")});
        QVERIFY(rig->sentFrames().isEmpty());

        // Plugged in again: the link leads to the new device once the port is chosen again.
        const QString restored = rig->command(QStringLiteral("restore"));
        QVERIFY2(restored.startsWith(QLatin1String("ok /dev/")), qPrintable(restored));
        auto *combo = rig->control<PortCombo>(QStringLiteral("ComboCom"));
        combo->setFocus();
        QTRY_VERIFY(combo->hasFocus());
        QTest::keyClick(combo, Qt::Key_Down);
        QTest::keyClick(combo, Qt::Key_Up);
        QCOMPARE(combo->currentText(), QStringLiteral("Com1"));
        QVERIFY(!rig->panel().line().isOpen());
        rig->clearRecord();
        rig->click(QStringLiteral("Command3")); // moves the focus on, then runs
        QVERIFY(rig->panel().line().isOpen());
        QVERIFY2(rig->messages.isEmpty(), qPrintable(rig->messages.join(u'\n')));
        QCOMPARE(rig->sentFrames(), QList<QByteArray>{QByteArray::fromHex("55b0000180")});
        QCOMPARE(rig->events.last().kind, WireEvent::Reply);
        KESTRAVA_VERIFY_SOUND(*rig);
    }
};

QTEST_MAIN(EndToEndUnplugTest)
#include "tst_e2eunplug.moc"
