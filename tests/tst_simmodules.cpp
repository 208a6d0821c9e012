#include "modulekinds.h"
#include "simbus.h"
#include "simcmps03.h"
#include "simcontrol.h"
#include "simlcd03.h"
#include "simmd23.h"
#include "simrly08.h"
#include "simsd21.h"
#include "simsrf02.h"
#include "simtpa81.h"

#include <QTest>

using namespace kestrava::sim;
using namespace std::chrono_literals;

class SimModulesTest : public QObject
{
    Q_OBJECT

    SimBus bus;

    QByteArray frame(const char *hex, SimTime at = SimTime{0})
    {
        const QByteArray bytes = QByteArray::fromHex(hex);
        FrameParser parser;
        std::optional<BusRequest> request;
        for (char b : bytes)
            request = parser.push(quint8(b));
        if (!request)
            return "<incomplete frame>";
        const std::optional<BusAnswer> answer = bus.carryOut(*request, at);
        return answer ? answer->bytes : QByteArray("<silent>");
    }

private slots:
    void init()
    {
        bus = SimBus();
        addRobot(bus);
    }

    // Rangers

    void aRangerMovesToTheAddressOfTheSequence()
    {
        for (const char *step : {"55e00001a0", "55e00001aa", "55e00001a5", "55e00001f0"})
            QCOMPARE(frame(step), QByteArray::fromHex("01"));
        QVERIFY(!bus.module(0xE0));
        QCOMPARE(bus.module(0xF0)->kind(), QStringLiteral("srf02"));
        QCOMPARE(frame("55e10001"), QByteArray("<silent>"));
        QCOMPARE(frame("55f10001"), QByteArray::fromHex("06"));
        for (const char *step : {"55f00001a0", "55f00001aa", "55f00001a5", "55f00001e0"})
            frame(step);
        QVERIFY(bus.module(0xE0) && !bus.module(0xF0));
    }

    void aBrokenOrImpossibleSequenceLeavesTheRangerWhereItIs_data()
    {
        QTest::addColumn<QByteArrayList>("frames");
        QTest::newRow("out of order") << QByteArrayList{"55e00001aa", "55e00001a0", "55e00001a5", "55e00001f0"};
        QTest::newRow("a ranging command inside")
            << QByteArrayList{"55e00001a0", "55e00001aa", "55e0000151", "55e00001a5", "55e00001f0"};
        QTest::newRow("onto another ranger") << QByteArrayList{"55e00001a0", "55e00001aa", "55e00001a5", "55e00001e2"};
        QTest::newRow("odd address") << QByteArrayList{"55e00001a0", "55e00001aa", "55e00001a5", "55e00001f1"};
        QTest::newRow("below E0") << QByteArrayList{"55e00001a0", "55e00001aa", "55e00001a5", "55e0000170"};
    }
    void aBrokenOrImpossibleSequenceLeavesTheRangerWhereItIs()
    {
        QFETCH(QByteArrayList, frames);
        auto *ranger = bus.module(0xE0);
        for (const QByteArray &hex : frames)
            frame(hex.constData());
        QCOMPARE(bus.module(0xE0), ranger);
        QCOMPARE(bus.module(0xE2)->kind(), QStringLiteral("srf02"));
        QCOMPARE(bus.modules().size(), size_t(11));
    }

    void aRangingResultAppearsAfterTheRangingTime()
    {
        auto &ranger = dynamic_cast<SimSrf02 &>(*bus.module(0xE4));
        ranger.setDistance(300);
        QCOMPARE(frame("55e4000151", 1s), QByteArray::fromHex("01"));
        QCOMPARE(frame("55e50202", 1s + 64ms), QByteArray::fromHex("ffff")); // still measuring
        QCOMPARE(frame("55e50001", 1s + 64ms), QByteArray::fromHex("ff"));
        QCOMPARE(frame("55e50202", 1s + 65ms), QByteArray::fromHex("012c"));
        ranger.setDistance(85);
        frame("55e4000151", 2s);
        QCOMPARE(frame("55e50202", 2s + 10ms), QByteArray::fromHex("ffff"));
        QCOMPARE(frame("55e50202", 2s + 70ms), QByteArray::fromHex("0055"));
        frame("55e4000150", 3s); // inches
        QCOMPARE(frame("55e50202", 3s + 70ms), QByteArray::fromHex("0021"));
    }

    // Keypad

    void typedKeysAreHeldForTheirReadsThenReleased_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("reads");
        QTest::addColumn<QByteArray>("registers"); // the keypad register of each read
        QTest::addColumn<QByteArray>("seen");
        // Reads as the keypad dialogue makes them: low, (release wait), high, ...
        QTest::newRow("1 2 # 0") << "12#0" << 1 << QByteArray::fromHex("01 01 02 01 01 02 01 02 02")
                                 << QByteArray::fromHex("01 00 00 02 00 08 00 04 00");
        QTest::newRow("held for three reads") << "5" << 3 << QByteArray::fromHex("01 01 01 01 02")
                                              << QByteArray::fromHex("10 10 10 00 00");
        QTest::newRow("low then high in one pass") << "49" << 1 << QByteArray::fromHex("01 01 02 02")
                                                   << QByteArray::fromHex("08 00 01 00");
    }
    void typedKeysAreHeldForTheirReadsThenReleased()
    {
        QFETCH(QString, keys);
        QFETCH(int, reads);
        QFETCH(QByteArray, registers);
        QFETCH(QByteArray, seen);
        auto &display = dynamic_cast<SimLcd03 &>(*bus.module(0xC6));
        QVERIFY(display.type(keys, reads));
        QByteArray got;
        for (const char reg : registers)
            got += display.read(quint8(reg), 1, SimTime{0});
        QCOMPARE(got.toHex(' '), seen.toHex(' '));
    }

    void pressedKeysStayDownUntilReleased()
    {
        auto &display = dynamic_cast<SimLcd03 &>(*bus.module(0xC6));
        QVERIFY(display.press(u'*') && display.press(u'8'));
        QVERIFY(!display.press(u'A'));
        QCOMPARE(frame("55c70102"), QByteArray::fromHex("8002"));
        QCOMPARE(frame("55c70102"), QByteArray::fromHex("8002"));
        display.release(u'8');
        QCOMPARE(frame("55c70102"), QByteArray::fromHex("0002"));
        display.release();
        QCOMPARE(frame("55c70102"), QByteArray::fromHex("0000"));
    }

    void theDisplayShowsTextAtTheCursor()
    {
        auto &display = dynamic_cast<SimLcd03 &>(*bus.module(0xC6));
        frame("55c6000113");
        QVERIFY(display.backlight());
        frame("55c6001a0c" "5465636c656520656c20636f6469676f" "0d" "2020202020202020"); // the keypad prompt
        frame("55c6000131");
        frame("55c6000123");
        QCOMPARE(display.screen(), (QStringList{"Teclee el codigo    ", "        1#          ",
                                                "                    ", "                    "}));
        frame("55c6000114");
        frame("55c600020c41");
        QVERIFY(!display.backlight());
        QCOMPARE(display.screen().first(), QStringLiteral("A                   "));
        frame("55c600176162636465666768696a6b6c6d6e6f707172737475760d"); // 22 letters wrap, then return
        QCOMPARE(display.screen().mid(0, 3), (QStringList{"Aabcdefghijklmnopqrs", "tuv                 ",
                                                          "                    "}));
    }

    // Motor controller and compass

    void encodersCountInProportionToSpeed()
    {
        frame("55b0100132", 0s);                                         // auto-stop off
        QCOMPARE(frame("55b0000188", 1s), QByteArray::fromHex("01"));      // speed 1: 136, 8 steps
        QCOMPARE(frame("55b0010178", 1s), QByteArray::fromHex("01"));      // speed 2: 120, 8 back
        // Ramp by 5: 0 to 1.025 s, 5 to 1.05 s, then 8: 61.8 counts by 2 s.
        QCOMPARE(frame("55b10204", 2s), QByteArray::fromHex("0000003d"));
        QCOMPARE(frame("55b10604", 2s), QByteArray::fromHex("ffffffc3"));
        QCOMPARE(frame("55b0000180", 3s), QByteArray::fromHex("01"));
        QCOMPARE(frame("55b10204", 5s), QByteArray::fromHex("00000080")); // the ramp down gives back what the ramp up took
        frame("55b0100120", 5s);
        QCOMPARE(frame("55b10204", 6s), QByteArray::fromHex("00000000"));
        QCOMPARE(frame("55b10604", 6s), QByteArray::fromHex("ffffffc0")); // still running backwards: -64 since 5 s
    }

    void aCountReadOneRegisterAtATimeIsLatchedByItsTopByte()
    {
        frame("55b00001ff", 0s); // 127 steps, reached by 5 a tick at 650 ms: 680.6 counts by 1 s
        QCOMPARE(frame("55b10201", 1s), QByteArray::fromHex("00"));
        QCOMPARE(frame("55b10301", 1s + 300ms), QByteArray::fromHex("00"));
        QCOMPARE(frame("55b10401", 1s + 600ms), QByteArray::fromHex("02"));
        QCOMPARE(frame("55b10501", 1s + 900ms), QByteArray::fromHex("a8")); // 680 = 0x2a8
    }

    void settingsAreStoredAndLoadShowsInBatteryAndCurrents()
    {
        frame("55b00e010a");
        frame("55b00f0102");
        frame("55b0100130");
        frame("55b0100132");
        auto &motors = dynamic_cast<SimMd23 &>(*bus.module(0xB0));
        QVERIFY(!motors.regulation() && !motors.autoStop());
        QCOMPARE(frame("55b10d03"), QByteArray::fromHex("09 0a 02"));
        QCOMPARE(frame("55b10a03"), QByteArray::fromHex("79 00 00")); // 12.1 V idle, no current
        frame("55b00001ff");
        // Mode 2: speed 1 drives both wheels, at 127 by 1 s: 11.5 V, 2.0 A each.
        QCOMPARE(frame("55b10a03", 1s), QByteArray::fromHex("73 14 14"));
    }

    void theCompassFollowsTheRobotsTurn()
    {
        auto &compass = dynamic_cast<SimCmps03 &>(*bus.module(0xC0));
        compass.setBearing(350, SimTime{0});
        QCOMPARE(frame("55c10202", 0s), QByteArray::fromHex("0dac")); // 3500
        frame("55b00f0102", 0s);        // mode 2: register 1 turns
        frame("55b001018b", 0s);        // "90" to the right: 11 steps
        frame("55b0010180", 1400ms);
        // Each wheel ran 15.4 step-seconds (ramps by 5), 10.75 cm, on a 13.7 cm track: 89.9 degrees.
        QCOMPARE(frame("55c10202", 2s), QByteArray::fromHex("031f")); // 79.9 = 350 + 89.9 - 360
        QCOMPARE(frame("55c10001"), QByteArray::fromHex("0e"));
    }

    // Other boards

    void servoRelayAndThermalRegisters()
    {
        auto &servos = dynamic_cast<SimSd21 &>(*bus.module(0xC2));
        QCOMPARE(servos.position(20), quint16(1500));
        frame("55c23d01c4");
        frame("55c23e0109");
        QCOMPARE(servos.position(20), quint16(2500));
        frame("55c20001ff");
        QCOMPARE(frame("55c30003"), QByteArray::fromHex("ffdc05"));

        frame("55700101fb");
        QCOMPARE(dynamic_cast<SimRly08 &>(*bus.module(0x70)).pattern(), quint8(0xFB));
        frame("557000016f"); // 111: relay 1 off
        QCOMPARE(frame("55710101"), QByteArray::fromHex("fa"));

        auto &thermal = dynamic_cast<SimTpa81 &>(*bus.module(0xD0));
        thermal.setNoise(false);
        thermal.setAmbient(22);
        for (int pixel = 0; pixel < 8; ++pixel)
            thermal.setPixel(pixel, quint8(20 + pixel));
        QCOMPARE(frame("55d1000a"), QByteArray::fromHex("06 16 14 15 16 17 18 19 1a 1b"));
        thermal.setNoise(true);
        for (int i = 0; i < 50; ++i) {
            const int pixel = quint8(frame("55d10201")[0]);
            QVERIFY(pixel >= 19 && pixel <= 21);
        }
    }

    // Control commands

    void badControlCommandsAreRefusedClearly_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown") << "fly B0" << "error: unknown command \"fly\" (try help)";
        QTest::newRow("not an address") << "get ZZ 0" << "error: \"ZZ\" is not a bus address (hexadecimal 00..FE)";
        QTest::newRow("address too long") << "get 1B0 0" << "error: \"1B0\" is not a bus address (hexadecimal 00..FE)";
        QTest::newRow("odd address") << "silence B1" << "error: module addresses are even (B1 is the read address of B0)";
        QTest::newRow("empty address") << "remove 40" << "error: no module at 40";
        QTest::newRow("taken") << "add B0 generic" << "error: B0 already has a md23";
        QTest::newRow("unknown kind") << "add 40 md99"
                                      << "error: unknown kind \"md99\" (one of generic md23 sd21 rly08 lcd03 cmps03 tpa81 srf02)";
        QTest::newRow("byte too big") << "set B0 0 256" << "error: byte must be a number from 0 to 255, not \"256\"";
        QTest::newRow("delay too long") << "delay B0 70000" << "error: delay must be a number from 0 to 60000, not \"70000\"";
        QTest::newRow("not a key") << "press A" << "error: \"A\" is not a key (1-9 * 0 #)";
        QTest::newRow("bearing out of range") << "bearing 360" << "error: the bearing is in degrees from 0 to 359.9, not \"360\"";
        QTest::newRow("missing value") << "range E0" << "error: missing distance";
        QTest::newRow("left over") << "silence B0 on please" << "error: unexpected \"please\"";
        QTest::newRow("no line") << "drop" << "error: the line is already dropped";
    }
    void badControlCommandsAreRefusedClearly()
    {
        QFETCH(QString, command);
        QFETCH(QString, error);
        SimControl control(bus, {});
        QCOMPARE(control.execute(command, SimTime{0}), QStringList{error});
    }

    void controlCommandsActOnTheBus()
    {
        SimControl control(bus, {});
        const auto run = [&](const char *line) { return control.execute(QString::fromLatin1(line), SimTime{0}); };
        QCOMPARE(run("add 40 generic"), QStringList{"ok"});
        QCOMPARE(run("set 0x40 254 0x12 52 0xff"), QStringList{"ok"});
        QCOMPARE(run("get 40 254 3"), QStringList{"ok 12 34 ff"}); // registers wrap after 255
        QCOMPARE(run("silence 40"), QStringList{"ok"});
        QCOMPARE(frame("55410001"), QByteArray("<silent>"));
        QCOMPARE(run("silence 40 off"), QStringList{"ok"});
        QCOMPARE(run("garbage 40 0xee"), QStringList{"ok"});
        QCOMPARE(run("extra 40 1 2"), QStringList{"ok"});
        QCOMPARE(frame("55410001"), QByteArray::fromHex("eeff0102"));
        QCOMPARE(run("delay 40 250"), QStringList{"ok"});
        QCOMPARE(bus.module(0x40)->faults.delay, 250ms);
        QCOMPARE(run("write E0 0 0xa0"), QStringList{"ok"});
        QCOMPARE(run("write E0 0 0xaa"), QStringList{"ok"});
        QCOMPARE(run("write E0 0 0xa5"), QStringList{"ok"});
        QCOMPARE(run("write E0 0 0xf0"), QStringList{"ok"});
        QCOMPARE(run("range F0 77"), QStringList{"ok"});
        QCOMPARE(dynamic_cast<SimSrf02 &>(*bus.module(0xF0)).distance(), quint16(77));
        QCOMPARE(run("bearing 359.9"), QStringList{"ok"});
        QCOMPARE(run("get C0 2 2"), QStringList{"ok 0e 0f"});
        QCOMPARE(run("type 12"), QStringList{"ok"});
        QCOMPARE(run("get C6 1"), QStringList{"ok 01"});
        QCOMPARE(run("write C6 0 72 105"), QStringList{"ok"});
        QCOMPARE(run("screen").first(), QStringLiteral("|Hi                  |"));
        QCOMPARE(run("screen").last(), QStringLiteral("ok backlight off"));
        QCOMPARE(run("remove 40"), QStringList{"ok"});
        QVERIFY(!bus.module(0x40));
        QCOMPARE(run("  # a comment"), QStringList{});
    }
};

QTEST_GUILESS_MAIN(SimModulesTest)
#include "tst_simmodules.moc"
