#include "geometry.h"
#include "modulekinds.h"
#include "simbus.h"
#include "simcontrol.h"
#include "simmd23.h"
#include "simsd21.h"
#include "simulatedpanel.h"

#include <QTest>

#include <cmath>
#include <numbers>

using namespace kestrava::sim;
using namespace kestrava::sim::geometry;
using namespace std::chrono_literals;
using kestrava::test::SimulatedPanel;

Q_DECLARE_METATYPE(Pose)
Q_DECLARE_METATYPE(Point)

// The simulated robot's world: its physics as pure functions with literal numbers,
// the modules on a bus driven with injected time, and the panel driving the robot.
class SimWorldTest : public QObject
{
    Q_OBJECT

    SimBus bus;
    std::unique_ptr<SimControl> control;

    QString run(const QString &line, SimTime at) { return control->execute(line, at).join(u'\n'); }

    QByteArray frame(const QByteArray &hex, SimTime at)
    {
        FrameParser parser;
        std::optional<BusRequest> request;
        for (char byte : QByteArray::fromHex(hex))
            request = parser.push(quint8(byte));
        const std::optional<BusAnswer> answer = bus.carryOut(*request, at);
        return answer ? answer->bytes.toHex(' ') : QByteArray("-");
    }

    // "E4 range" commands a ranging in cm and reads the result once it is ready;
    // "C0 2 2" reads registers as `get` does.
    QString probe(const QString &what, SimTime at)
    {
        const QStringList words = what.split(u' ');
        if (words.at(1) != QLatin1String("range"))
            return run(QStringLiteral("get ") + what, at);
        run(QStringLiteral("write %1 0 0x51").arg(words.at(0)), at);
        return run(QStringLiteral("get %1 2 2").arg(words.at(0)), at + 70ms);
    }

private slots:
    void initTestCase() { SimulatedPanel::prepareProgram(); }
    void init()
    {
        bus = SimBus();
        addRobot(bus);
        control = std::make_unique<SimControl>(bus, LineActions{});
    }

    void aWheelRampsByTheAccelerationEachTick_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("expected");
        QTest::newRow("up by five") << 0 << 127 << 5 << 5;
        QTest::newRow("the last step stops at the target") << 125 << 127 << 5 << 127;
        QTest::newRow("down through stop") << 3 << -10 << 5 << -2;
        QTest::newRow("acceleration 0 still moves") << 0 << 10 << 0 << 1;
        QTest::newRow("255 reaches any speed at once") << 127 << -128 << 255 << -128;
    }
    void aWheelRampsByTheAccelerationEachTick()
    {
        QFETCH(int, current);
        QFETCH(int, target);
        QFETCH(int, step);
        QTEST(rampToward(current, target, step), "expected");
    }

    void theModeReadsTheSpeedRegisters_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("speed1");
        QTest::addColumn<int>("speed2");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("mode 0: one register a wheel") << 0 << 0x88 << 0x78 << 8 << -8;
        QTest::newRow("mode 2: speed 1 drives both") << 2 << 0xff << 0x80 << 127 << 127;
        QTest::newRow("mode 2: speed 2 turns") << 2 << 0x80 << 0x8b << 11 << -11;
        QTest::newRow("mode 2: clamped") << 2 << 0xff << 0x8b << 127 << 116;
        QTest::newRow("mode 3: signed turn") << 3 << 0x7f << 0x7f << 127 << 0;
    }
    void theModeReadsTheSpeedRegisters()
    {
        QFETCH(int, mode);
        QFETCH(int, speed1);
        QFETCH(int, speed2);
        QFETCH(int, left);
        QFETCH(int, right);
        QCOMPARE(wheelTargets(mode, speed1, speed2), (std::array<int, 2>{left, right}));
    }

    // Steps: "MS speed" (register 0 to FF), "MS read" (a battery read), "MS get" (the
    // control command), "MS other" (a read of the compass), "MS off"/"MS on" (0x32/0x33),
    // "MS mode1"; then register 0 as `get` shows it at checkMs.
    void theAutomaticStopComesTwoSecondsAfterTheLastAccess_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("checkMs");
        QTest::addColumn<QString>("speed");
        QTest::newRow("runs until then") << QStringList{"0 speed"} << 1975 << "ok ff";
        QTest::newRow("stops at 2 s") << QStringList{"0 speed"} << 2000 << "ok 80";
        QTest::newRow("a read restarts the 2 s") << QStringList{"0 speed", "1500 read"} << 3475 << "ok ff";
        QTest::newRow("and it stops 2 s later") << QStringList{"0 speed", "1500 read"} << 3500 << "ok 80";
        QTest::newRow("a busy bus never stops")
            << QStringList{"0 speed", "1000 read", "2000 read", "3000 read", "4000 read", "5000 read"} << 6000
            << "ok ff";
        QTest::newRow("get is no bus access") << QStringList{"0 speed", "1500 get"} << 2000 << "ok 80";
        QTest::newRow("another module's frame") << QStringList{"0 speed", "1500 other"} << 2000 << "ok 80";
        QTest::newRow("switched off") << QStringList{"0 off", "0 speed"} << 10000 << "ok ff";
        QTest::newRow("switched on again") << QStringList{"0 off", "0 speed", "1000 on"} << 3000 << "ok 80";
        QTest::newRow("signed modes stop at 0") << QStringList{"0 mode1", "0 speed"} << 2000 << "ok 00";
    }
    void theAutomaticStopComesTwoSecondsAfterTheLastAccess()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, checkMs);
        const QHash<QString, const char *> frames{{"speed", "55b00001ff"}, {"read", "55b10a01"}, {"other", "55c10001"},
                                                  {"off", "55b0100132"}, {"on", "55b0100133"}, {"mode1", "55b00f0101"}};
        for (const QString &step : steps) {
            const SimTime at = std::chrono::milliseconds(step.section(u' ', 0, 0).toInt());
            const QString what = step.section(u' ', 1);
            if (what == QLatin1String("get"))
                run(QStringLiteral("get B0 0"), at);
            else
                frame(frames.value(what), at);
        }
        QTEST(run(QStringLiteral("get B0 0"), std::chrono::milliseconds(checkMs)), "speed");
    }

    void encodersCountTheWheelsTravel_data()
    {
        QTest::addColumn<QByteArray>("setting"); // mode, acceleration, speed 1
        QTest::addColumn<int>("ms");
        QTest::addColumn<QString>("count");
        QTest::newRow("10 steps at once for 0.975 s") << QByteArray("00 ff 8a") << 1000 << "ok 00 00 00 4e";
        QTest::newRow("backwards") << QByteArray("00 ff 76") << 1000 << "ok ff ff ff b2";
        QTest::newRow("ramp of one a tick") << QByteArray("00 01 84") << 1000 << "ok 00 00 00 1e";
        QTest::newRow("full speed for a minute") << QByteArray("00 ff ff") << 60000 << "ok 00 00 ee 06";
    }
    void encodersCountTheWheelsTravel()
    {
        QFETCH(QByteArray, setting);
        QFETCH(int, ms);
        const QList<QByteArray> bytes = setting.split(' ');
        QCOMPARE(run(QStringLiteral("write B0 16 0x32"), 0s), QStringLiteral("ok"));
        QCOMPARE(frame("55b00f01" + bytes[0], 0s), QByteArray("01"));
        QCOMPARE(frame("55b00e01" + bytes[1], 0s), QByteArray("01"));
        QCOMPARE(frame("55b00001" + bytes[2], 0s), QByteArray("01"));
        QTEST(run(QStringLiteral("get B0 2 4"), std::chrono::milliseconds(ms)), "count");
    }

    void aDifferentialDriveFollowsItsWheels_data()
    {
        QTest::addColumn<Pose>("start");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("right");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<Pose>("end");
        const double quarter = std::numbers::pi / 2; // at 1 radian a second on a 20 cm track
        QTest::newRow("straight north") << Pose{100, 100, 0} << 10.0 << 10.0 << 2.0 << Pose{100, 120, 0};
        QTest::newRow("straight east") << Pose{100, 100, 90} << 10.0 << 10.0 << 2.0 << Pose{120, 100, 90};
        QTest::newRow("spin clockwise") << Pose{100, 100, 0} << 10.0 << -10.0 << quarter << Pose{100, 100, 90};
        QTest::newRow("spin anticlockwise wraps") << Pose{100, 100, 0} << -10.0 << 10.0 << quarter
                                                  << Pose{100, 100, 270};
        QTest::newRow("quarter arc about the right wheel") << Pose{100, 100, 0} << 20.0 << 0.0 << quarter
                                                           << Pose{110, 110, 90};
    }
    void aDifferentialDriveFollowsItsWheels()
    {
        QFETCH(Pose, start);
        QFETCH(double, left);
        QFETCH(double, right);
        QFETCH(double, seconds);
        QFETCH(Pose, end);
        const Pose got = drive(start, left, right, 20, seconds);
        const QString text = QStringLiteral("%1 %2 %3").arg(got.x).arg(got.y).arg(got.heading);
        QVERIFY2(std::abs(got.x - end.x) < 1e-6 && std::abs(got.y - end.y) < 1e-6, qPrintable(text));
        QVERIFY2(std::abs(signedDegrees(got.heading - end.heading)) < 1e-6, qPrintable(text));
    }

    void aRayStopsAtTheNearestWallOrObstacle_data()
    {
        QTest::addColumn<Point>("origin");
        QTest::addColumn<double>("heading");
        QTest::addColumn<double>("distance"); // -1: it meets nothing
        QTest::newRow("north to the wall") << Point{100, 92} << 0.0 << 308.0;
        QTest::newRow("east onto the crate") << Point{112, 80} << 90.0 << 68.0;
        QTest::newRow("west to the wall") << Point{88, 80} << 270.0 << 88.0;
        QTest::newRow("north-west to the west wall") << Point{91, 89} << 315.0 << 91 * std::numbers::sqrt2;
        QTest::newRow("north-east past crate and table") << Point{109, 89} << 45.0 << 311 * std::numbers::sqrt2;
        QTest::newRow("onto the table's south side") << Point{420, 100} << 0.0 << 150.0;
        QTest::newRow("from the crate's inside") << Point{200, 80} << 180.0 << 40.0;
        QTest::newRow("outside, looking away") << Point{700, 100} << 90.0 << -1.0;
    }
    void aRayStopsAtTheNearestWallOrObstacle()
    {
        QFETCH(Point, origin);
        QFETCH(double, heading);
        QFETCH(double, distance);
        const Box obstacles[] = {{180, 40, 40, 80}, {380, 250, 80, 60}};
        const std::vector<Segment> segments = wallsAndObstacles(600, 400, obstacles);
        const std::optional<double> hit = castRay(origin, heading, segments);
        QCOMPARE(hit.has_value(), distance >= 0);
        if (hit)
            QVERIFY2(std::abs(*hit - distance) < 1e-6, qPrintable(QString::number(*hit)));
    }

    void theThermalArraySeesTheCandleInThePixelOfItsAngle_data()
    {
        QTest::addColumn<Pose>("sensor");
        QTest::addColumn<Point>("candle");
        QTest::addColumn<bool>("wall"); // a wall across y = 120 from x = 0 to 200
        QTest::addColumn<QList<double>>("pixels");
        const QList<double> none{22, 22, 22, 22, 22, 22, 22, 22};
        QTest::newRow("dead ahead, near") << Pose{100, 100, 0} << Point{100, 130} << false
                                          << QList<double>{22, 22, 22, 22, 82, 22, 22, 22};
        QTest::newRow("ahead to the left") << Pose{100, 100, 0} << Point{80, 200} << false
                                           << QList<double>{22, 51.4178, 22, 22, 22, 22, 22, 22};
        QTest::newRow("facing east") << Pose{100, 100, 90} << Point{300, 110} << false
                                     << QList<double>{22, 22, 22, 36.9813, 22, 22, 22, 22};
        QTest::newRow("outside the field") << Pose{100, 100, 0} << Point{200, 100} << false << none;
        QTest::newRow("behind") << Pose{100, 100, 0} << Point{100, 50} << false << none;
        QTest::newRow("behind a wall") << Pose{100, 100, 0} << Point{100, 130} << true << none;
    }
    void theThermalArraySeesTheCandleInThePixelOfItsAngle()
    {
        QFETCH(Pose, sensor);
        QFETCH(Point, candle);
        QFETCH(bool, wall);
        QFETCH(QList<double>, pixels);
        const Segment across{{0, 120}, {200, 120}};
        const std::array<double, 8> got = thermalPixels(sensor, candle, 22, 41, std::span(&across, wall ? 1 : 0));
        for (std::size_t i = 0; i < 8; ++i)
            QVERIFY2(std::abs(got[i] - pixels[qsizetype(i)]) < 1e-3, qPrintable(QString::number(got[i])));
    }

    // The rangers, the compass and the thermal array on the robot's bus, and the rule
    // for values set by hand: they hold until released or until the robot is placed.
    void theSensorsMeasureTheWorld_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QString>("probe");
        QTest::addColumn<QString>("expected");
        QTest::newRow("E4 at the start") << QStringList{} << "E4 range" << "ok 01 34";
        QTest::newRow("E4 facing the crate") << QStringList{"pose 150 80 90"} << "E4 range" << "ok 00 12";
        QTest::newRow("E0 facing east looks south") << QStringList{"pose 150 80 90"} << "E0 range" << "ok 00 44";
        QTest::newRow("E6 facing east onto the crate") << QStringList{"pose 150 80 90"} << "E6 range" << "ok 00 1e";
        QTest::newRow("nothing echoes beyond 6 m") << QStringList{"obstacle clear", "pose 20 20 56"} << "E4 range"
                                                   << "ok 00 00";
        QTest::newRow("a new obstacle") << QStringList{"obstacle add 90 200 20 10"} << "E4 range" << "ok 00 6c";
        QTest::newRow("range set by hand") << QStringList{"range E4 77"} << "E4 range" << "ok 00 4d";
        QTest::newRow("released") << QStringList{"range E4 77", "range E4 world"} << "E4 range" << "ok 01 34";
        QTest::newRow("released by a placement") << QStringList{"range E4 77", "pose 100 80 0"} << "E4 range"
                                                 << "ok 01 34";
        QTest::newRow("bearing is the heading") << QStringList{"pose 100 80 123.4"} << "C0 2 2" << "ok 04 d2";
        QTest::newRow("bearing set by hand") << QStringList{"bearing 45"} << "C0 2 2" << "ok 01 c2";
        QTest::newRow("bearing released by a placement") << QStringList{"bearing 45", "pose 100 80 90"} << "C0 2 2"
                                                         << "ok 03 84";
        QTest::newRow("candle ahead at the start") << QStringList{} << "D0 1 9" << "ok 16 16 16 16 16 16 16 24 16";
        QTest::newRow("candle behind") << QStringList{"candle 100 20"} << "D0 2 8" << "ok 16 16 16 16 16 16 16 16";
        QTest::newRow("temperatures set by hand") << QStringList{"temp 30 40"} << "D0 1 9"
                                                  << "ok 1e 28 16 16 16 16 16 24 16";
        QTest::newRow("temperatures released") << QStringList{"temp 30", "temp world"} << "D0 1 1" << "ok 16";
    }
    void theSensorsMeasureTheWorld()
    {
        QFETCH(QStringList, commands);
        QFETCH(QString, probe);
        for (const QString &command : commands)
            QCOMPARE(run(command, 1s), QStringLiteral("ok"));
        QTEST(this->probe(probe, 1s), "expected");
    }

    void badWorldCommandsAreRefused_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("error");
        const QString noFit = QStringLiteral("error: the robot does not fit at %1 "
                                             "(a wall or an obstacle is in the way)");
        QTest::newRow("into the wall") << "pose 10 10 0" << noFit.arg("10.0 10.0");
        QTest::newRow("onto the crate") << "pose 200 80 0" << noFit.arg("200.0 80.0");
        QTest::newRow("outside") << "pose 700 10 0" << "error: x must be a number from 0 to 600, not \"700\"";
        QTest::newRow("heading") << "pose 100 80 360" << "error: heading must be a number from 0 to 359.9, not \"360\"";
        QTest::newRow("over the robot") << "obstacle add 90 70 20 20"
                                        << "error: the obstacle must lie inside the arena and clear of the robot "
                                           "(at most 64 obstacles)";
        QTest::newRow("no such obstacle") << "obstacle remove 3" << "error: no obstacle 3";
    }
    void badWorldCommandsAreRefused()
    {
        QFETCH(QString, command);
        QTEST(run(command, 0s), "error");
        QCOMPARE(run(QStringLiteral("world"), 0s).section(u'\n', 1, 2),
                 QStringLiteral("robot at 100.0 80.0 heading 0.0\ncandle at 140.0 300.0"));
    }

    void aServoHornMovesAtItsSpeed_data()
    {
        QTest::addColumn<double>("pulse");
        QTest::addColumn<double>("degrees");
        QTest::newRow("500 us") << 500.0 << 0.0;
        QTest::newRow("1000 us") << 1000.0 << 45.0;
        QTest::newRow("2500 us") << 2500.0 << 180.0;
        QTest::newRow("above the range") << 3000.0 << 180.0;
    }
    void aServoHornMovesAtItsSpeed()
    {
        QFETCH(double, pulse);
        QTEST(hornDegrees(pulse), "degrees");
        QCOMPARE(pulseAfter(1500, 2500, 10, 0.2), 1600.0); // 10 us each 20 ms
        QCOMPARE(pulseAfter(1500, 1000, 10, 1.0), 1000.0);
        QCOMPARE(pulseAfter(1500, 2500, 0, 0.0), 2500.0);
        // On the controller, a new target in the middle of a move goes on from where the pulse is.
        auto &servos = dynamic_cast<SimSd21 &>(*bus.module(0xC2));
        frame("55c2000305c409", 0s); // speed 5, 2500 us
        QCOMPARE(servos.hornDegrees(0, 1s), 112.5);
        frame("55c20102e803", 1s);   // 1000 us
        QCOMPARE(servos.hornDegrees(0, 2s), 90.0);
        QCOMPARE(servos.hornDegrees(0, 4s), 45.0);
        QVERIFY(!servos.moving(4s) && servos.moving(3s));
    }

    void theBusLogKeepsTheLastFramesDecoded()
    {
        frame("55b0000188", 0s);
        frame("55c10202", 10ms);
        frame("55410001", 20ms);
        QStringList texts;
        for (const BusLogEntry &entry : bus.log().entries())
            texts << entry.text();
        QCOMPARE(texts, (QStringList{"B0 md23 write 0: 88 -> 01", "C0 cmps03 read 2 x2 -> 00 00",
                                     "40 - read 0 x1 -> no answer"}));
        for (int i = 0; i < 30; ++i)
            frame("55710101", 1s + i * 40ms);
        QCOMPARE(bus.log().entries().size(), std::size_t(20));
        QCOMPARE(bus.log().framesPerSecond(2200ms), 24); // those after 1.2 s
        QCOMPARE(bus.log().framesPerSecond(3s), 4);
    }

    // A view repaints on change only: looking at a world at rest changes nothing.
    void theWorldTellsOfChangesOnly()
    {
        int told = 0;
        bus.world().setChangeListener([&] { ++told; });
        run(QStringLiteral("get B0 0"), 5s);
        QVERIFY(!bus.moving(5s));
        QCOMPARE(told, 0);
        frame("55b0000190", 5s); // the frame, then each advance while the wheel turns
        QCOMPARE(told, 1);
        bus.advanceTo(5500ms);
        QCOMPARE(told, 2);
        QVERIFY(bus.world().trail().size() > 1 && bus.moving(5500ms));
        bus.advanceTo(10s); // stopped by itself at 7 s
        bus.advanceTo(11s);
        QCOMPARE(told, 3);
        QVERIFY(!bus.moving(11s));
    }

    // The panel drives: "Motor1 marcha" in mode 2 sends the robot north until the
    // automatic stop, and the rangers the panel then reads see the new place.
    void aDriveFromThePanelMovesTheRobotAndItsRanges()
    {
        SimulatedPanel rig;
        QVERIFY(rig.start());
        rig.click(QStringLiteral("CmdDistancia"));
        const QStringList before{"68", "440", "308", "129", "88"};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(rig.text(QStringLiteral("LblDistancia(%1)").arg(i)), before[i]);
        rig.click(QStringLiteral("CmdModo2"));
        rig.click(QStringLiteral("Command2"));
        // The automatic stop puts the speed back to 128, then the wheels ramp down to rest.
        QTRY_COMPARE_WITH_TIMEOUT(rig.command(QStringLiteral("get B0 0")), QStringLiteral("ok 80"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.command(QStringLiteral("get B0 11 2")), QStringLiteral("ok 00 00"), 5000);
        const QString pose = rig.command(QStringLiteral("world")).section(u'\n', 1, 1);
        QVERIFY2(pose.startsWith(QLatin1String("robot at 100.0 ")) && pose.endsWith(QLatin1String(" heading 0.0")),
                 qPrintable(pose));
        // 127 steps (88.7 cm/s) for the 2 s until the stop; the ramps take and give back alike.
        const double y = pose.section(u' ', 3, 3).toDouble();
        QVERIFY2(y > 80 + 174 && y < 80 + 181, qPrintable(pose));
        rig.click(QStringLiteral("CmdDistancia"));
        // The table now lies to the right; the front beams are shorter by the travel.
        const double after[] = {268, (391 - y) * std::numbers::sqrt2, 400 - 12 - y, 129, 88};
        for (int i = 0; i < 5; ++i) {
            const QString shown = rig.text(QStringLiteral("LblDistancia(%1)").arg(i));
            QVERIFY2(std::abs(shown.toDouble() - after[i]) <= 0.6, qPrintable(shown + QStringLiteral(" at ") + pose));
        }
        KESTRAVA_VERIFY_SOUND(rig);
    }
};

QTEST_MAIN(SimWorldTest)
#include "tst_simworld.moc"
