#include "actuatorrig.h"

#include <QSignalSpy>

using namespace kestrava;
using kestrava::test::ActuatorRig;

class RelayPanelTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<ActuatorRig> rig;

    // "on3" / "off3" press the On / Off button of relay 3; "all" and "none" the
    // "Todo On" and "Todo Off" buttons.
    void press(const QString &button)
    {
        if (button == "all")
            rig->fire("CmdTodoOn_Click");
        else if (button == "none")
            rig->fire("CmdTodoOff_Click");
        else if (button.startsWith("on"))
            rig->fire("ReleOn_Click", qint16(button.mid(2).toInt() - 1));
        else
            rig->fire("ReleOff_Click", qint16(button.mid(3).toInt() - 1));
    }
    int litLamps()
    {
        int lit = 0;
        for (int i = 0; i < 8; ++i)
            lit |= rig->label("ImgRele", i).isHidden() ? 0 : 1 << i;
        return lit;
    }

private slots:
    void init()
    {
        rig = std::make_unique<ActuatorRig>();
        QVERIFY(rig->ready());
    }
    void cleanup()
    {
        QCOMPARE(rig->overlaps.count(), 0);
        rig.reset();
    }

    void eachButtonSendsTheWholePatternAndShowsIt_data()
    {
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("all on, then relay 3 off")
            << QStringList{"all", "off3"} << QStringList{"55700101ff", "55700101fb"} << QStringList{"255", "251"};
        QTest::newRow("relays 1 to 8 on in turn")
            << QStringList{"on1", "on2", "on3", "on4", "on5", "on6", "on7", "on8"}
            << QStringList{"5570010101", "5570010103", "5570010107", "557001010f",
                           "557001011f", "557001013f", "557001017f", "55700101ff"}
            << QStringList{"1", "3", "7", "15", "31", "63", "127", "255"};
        QTest::newRow("all off clears the record")
            << QStringList{"on2", "none", "on5"} << QStringList{"5570010102", "5570010100", "5570010110"}
            << QStringList{"2", "0", "16"};
        QTest::newRow("relay 1 on, relay 8 on, relay 1 off")
            << QStringList{"on1", "on8", "off1"} << QStringList{"5570010101", "5570010181", "5570010180"}
            << QStringList{"1", "129", "128"};
        QTest::newRow("on twice still sends twice")
            << QStringList{"on4", "on4"} << QStringList{"5570010108", "5570010108"} << QStringList{"8", "8"};
        QTest::newRow("off of a relay that is off")
            << QStringList{"off6"} << QStringList{"5570010100"} << QStringList{"0"};
    }
    void eachButtonSendsTheWholePatternAndShowsIt()
    {
        QFETCH(QStringList, buttons);
        QFETCH(QStringList, frames);
        QFETCH(QStringList, shown);
        QCOMPARE(litLamps(), 0);
        QCOMPARE(rig->textBox("TxtStatus").text(), QString("Text1"));
        for (qsizetype step = 0; step < buttons.size(); ++step) {
            press(buttons[step]);
            QCOMPARE(rig->sentFrames().value(step), frames[step]);
            QCOMPARE(rig->textBox("TxtStatus").text(), shown[step]);
            QCOMPARE(litLamps(), shown[step].toInt());
        }
        QCOMPARE(rig->sentFrames(), frames);
    }

    void aSilentBoardStillChangesTheRecordAndTheLamps()
    {
        rig->adapter.setSilent(0x70);
        press("on7");
        press("on2");
        QCOMPARE(rig->sentFrames(), (QStringList{"5570010140", "5570010142"}));
        QCOMPARE(rig->textBox("TxtStatus").text(), QString("66"));
        QCOMPARE(litLamps(), 0x42);
    }

    void aClickDuringTheWaitRunsAfterItWithTheRecordedPattern()
    {
        rig->adapter.setReplyDelayMs(100);
        rig->fireLater(30, "ReleOn_Click", 1);
        press("on1");
        QCOMPARE(rig->sentFrames(), (QStringList{"5570010101", "5570010103"}));
        QCOMPARE(rig->textBox("TxtStatus").text(), QString("3"));
    }

    void anIndexOutsideTheBoardIsIgnored()
    {
        rig->fire("ReleOn_Click", 8);
        rig->fire("ReleOff_Click", -1);
        QTest::qWait(50);
        QVERIFY(rig->adapter.frames().isEmpty());
        QCOMPARE(rig->textBox("TxtStatus").text(), QString("Text1"));
    }
};

QTEST_MAIN(RelayPanelTest)
#include "tst_relay.moc"
