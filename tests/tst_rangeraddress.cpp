#include "controlpanel.h"
#include "simulatedbus.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrava;

// The address change from the window, against the simulated rangers: the ranger
// that took the sequence answers at its new address only.
class RangerAddressTest : public QObject
{
    Q_OBJECT
    QTemporaryDir configHome;
    sim::SimulatedBus bus;
    std::unique_ptr<ControlPanel> panel;
    QStringList messages;

    void changeAddress(const QString &from, const QString &to)
    {
        panel->findChild<QLineEdit *>(QStringLiteral("TxtActDir"))->setText(from);
        panel->findChild<QLineEdit *>(QStringLiteral("TxtNueDir"))->setText(to);
        QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("CmdDireccion")), Qt::LeftButton);
        QTRY_VERIFY(!panel->gate().busy());
    }
    // A probe of one address. The address change leaves the answers to its last
    // three frames waiting; they are let in and dropped first, so that the probe's
    // wait can only be ended by its own answer.
    void pressMeasure()
    {
        QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("CmdDistancia")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->gate().busy(), 5000);
    }
    QStringList ranges() const
    {
        QStringList shown;
        for (int i = 0; i < 5; ++i)
            shown << panel->findChild<QLabel *>(QStringLiteral("LblDistancia(%1)").arg(i))->text();
        return shown;
    }
    bool answersAt(quint8 address)
    {
        QTest::qWait(100);
        panel->line().discardInput();
        return panel->engine().readRegisters(address, 0, 1) == Outcome::Taken;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(configHome.isValid());
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        QVERIFY2(bus.start(QStringLiteral(KESTRAVA_SIM_BINARY), {QStringLiteral("--fast")}),
                 qPrintable(bus.errorString()));
        bus.mapComPorts();
        panel = std::make_unique<ControlPanel>([this](const QString &text) { messages << text; });
        QVERIFY(panel->line().isOpen());
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    }
    void cleanupTestCase()
    {
        panel.reset();
        bus.stop();
    }

    // A ranger reads as 255 in every register while it measures, so a read that
    // came too soon would show 65535, and one from before the command the last press.
    void eachPressShowsTheRangesOfThatPress()
    {
        for (const char *command : {"range E0 85", "range E2 300", "range E4 0", "range E6 4660", "range E8 12"})
            QCOMPARE(bus.command(QString::fromLatin1(command)), QStringList{"ok"});
        pressMeasure();
        QCOMPARE(ranges(), (QStringList{"85", "300", "0", "4660", "12"}));
        bus.command(QStringLiteral("range E0 200"));
        pressMeasure();
        QCOMPARE(ranges(), (QStringList{"200", "300", "0", "4660", "12"}));
    }

    void aRangerMovedToF0AnswersThereAndE0FallsSilent()
    {
        QSignalSpy overlaps(&panel->engine(), &TransactionEngine::overlapDetected);
        QVERIFY(answersAt(0xE0));
        QVERIFY(!answersAt(0xF0));

        changeAddress(QStringLiteral("E0"), QStringLiteral("F0"));
        QVERIFY(answersAt(0xF0));
        QVERIFY(!answersAt(0xE0));
        QCOMPARE(bus.command(QStringLiteral("get E0 0")).last().left(5), QStringLiteral("error"));

        // The rangers that kept their addresses still measure.
        bus.command(QStringLiteral("range E2 123"));
        pressMeasure();
        QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("LblDistancia(1)"))->text(), QStringLiteral("123"));

        changeAddress(QStringLiteral("F0"), QStringLiteral("E0"));
        QVERIFY(answersAt(0xE0));
        QVERIFY(!answersAt(0xF0));
        QCOMPARE(overlaps.count(), 0);
        QVERIFY(messages.isEmpty());
    }
};

QTEST_MAIN(RangerAddressTest)
#include "tst_rangeraddress.moc"
