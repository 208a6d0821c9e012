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
    bool answersAt(quint8 address)
    {
        QTest::qWait(100);
        panel->line().discardInput();
        return panel->engine().readRegisters(address, 0, 1);
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

    void aRangerMovedToF0AnswersThereAndE0FallsSilent()
    {
        QSignalSpy overlaps(&panel->engine(), &TransactionEngine::overlapDetected);
        QVERIFY(answersAt(0xE0));
        QVERIFY(!answersAt(0xF0));

        changeAddress(QStringLiteral("E0"), QStringLiteral("F0"));
        QVERIFY(answersAt(0xF0));
        QVERIFY(!answersAt(0xE0));
        QCOMPARE(bus.command(QStringLiteral("get E0 0")).last().left(5), QStringLiteral("error"));

        // The rangers that kept their addresses still measure. A ranging takes longer
        // than the one-tick wait, so each press shows the range of the press before.
        bus.command(QStringLiteral("range E2 123"));
        auto *measure = panel->findChild<QPushButton *>(QStringLiteral("CmdDistancia"));
        auto *boxE2 = panel->findChild<QLabel *>(QStringLiteral("LblDistancia(1)"));
        QTest::mouseClick(measure, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->gate().busy(), 5000);
        QCOMPARE(boxE2->text(), QStringLiteral("0"));
        QTest::mouseClick(measure, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->gate().busy(), 5000);
        QCOMPARE(boxE2->text(), QStringLiteral("123"));

        changeAddress(QStringLiteral("F0"), QStringLiteral("E0"));
        QVERIFY(answersAt(0xE0));
        QVERIFY(!answersAt(0xF0));
        QCOMPARE(overlaps.count(), 0);
        QVERIFY(messages.isEmpty());
    }
};

QTEST_MAIN(RangerAddressTest)
#include "tst_rangeraddress.moc"
