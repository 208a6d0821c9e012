#include "actuatorrig.h"

using namespace kestrava;
using kestrava::test::ActuatorRig;

// The window wires its event table by handler name and calls each with or without
// a control index; a name or kind that does not match leaves a button dead.
class ActuatorHandlersTest : public QObject
{
    Q_OBJECT

private slots:
    void everyEventTableNameHasAHandlerOfTheRightKind_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("indexed");
        QTest::newRow("servo position") << "ServoScroll_Change" << true;
        QTest::newRow("servo speed") << "VeloScroll_Change" << false;
        QTest::newRow("relay on") << "ReleOn_Click" << true;
        QTest::newRow("relay off") << "ReleOff_Click" << true;
        QTest::newRow("all relays on") << "CmdTodoOn_Click" << false;
        QTest::newRow("all relays off") << "CmdTodoOff_Click" << false;
        for (int button = 1; button <= 6; ++button)
            QTest::addRow("display button %d", button) << QString("CmdLCD03_%1_Click").arg(button) << false;
    }
    void everyEventTableNameHasAHandlerOfTheRightKind()
    {
        QFETCH(QString, name);
        QFETCH(bool, indexed);
        ActuatorRig rig;
        const EventHandlers::Entry *entry = rig.handlers.find(name);
        QVERIFY2(entry, qPrintable(name));
        QCOMPARE(std::holds_alternative<EventHandlers::Indexed>(entry->handler), indexed);
        QCOMPARE(std::holds_alternative<EventHandlers::Plain>(entry->handler), !indexed);
    }

    void nothingElseIsRegistered()
    {
        ActuatorRig rig;
        QCOMPARE(rig.handlers.names().size(), 12);
    }

    void installingSendsNothingAndTouchesNoControl()
    {
        ActuatorRig rig;
        QTest::qWait(50);
        QVERIFY(rig.adapter.frames().isEmpty());
        QCOMPARE(rig.textBox("TxtStatus").text(), QString("Text1"));
        QCOMPARE(rig.label("ServoVal", 0).text(), QString("15"));
        for (int i = 0; i < 8; ++i)
            QVERIFY(rig.label("ImgRele", i).isHidden());
    }
};

QTEST_MAIN(ActuatorHandlersTest)
#include "tst_actuators.moc"
