#include "sim/world/arena.h"
#include "sim/world/candleplaces.h"
#include "sim/world/geometry.h"
#include "sim/program/controllines.h"
#include "sim/program/modulekinds.h"
#include "sim/program/simbus.h"
#include "sim/program/simcontrol.h"
#include "sim/modules/simsd21.h"
#include "sim/view/labelplacement.h"
#include "sim/view/viewstate.h"
#include "language/language.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <cmath>
#include <numbers>
#include <set>

using namespace kestrava::sim;
using namespace kestrava::sim::geometry;
namespace simview = kestrava::simview;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(Pose)
Q_DECLARE_METATYPE(Point)

// The simulated robot: its physics as pure functions with literal numbers, and its
// modules on a bus driven by frames and control commands at injected times.
class SimWorldTest : public QObject
{
    Q_OBJECT

    SimBus bus;
    SimClock clock;
    std::unique_ptr<SimControl> control;

    QString run(const QString &line, SimTime at = {}) { return control->execute(line, at).join(u'\n'); }

    // The answer in spaced hex, "-" when nothing answers.
    QByteArray frame(const QByteArray &hex, SimTime at = {})
    {
        FrameParser parser;
        std::optional<BusRequest> request;
        for (char byte : QByteArray::fromHex(hex))
            request = parser.push(quint8(byte));
        const std::optional<BusAnswer> answer = request ? bus.carryOut(*request, at) : std::nullopt;
        if (!answer)
            return "-";
        QByteArray shown = answer->bytes.toHex(' ');
        if (answer->delay.count() > 0)
            shown += " after " + QByteArray::number(answer->delay.count()) + " ms";
        return shown;
    }

private slots:
    // The view's English plural forms ("1 byte", "2 bytes") come from its translation.
    void initTestCase() { kestrava::language::speak(QStringLiteral("view"), kestrava::language::Language::English); }
    void init()
    {
        bus = SimBus();
        addRobot(bus);
        control = std::make_unique<SimControl>(bus, clock, LineActions{});
    }

    void aWheelRampsByTheAccelerationEachTick()
    {
        QCOMPARE(rampToward(0, 127, 5), 5);
        QCOMPARE(rampToward(125, 127, 5), 127); // the last step stops at the target
        QCOMPARE(rampToward(3, -10, 5), -2);    // down through stop
        QCOMPARE(rampToward(0, 10, 0), 1);      // acceleration 0 still moves
        QCOMPARE(rampToward(127, -128, 255), -128);
    }

    void theModeReadsTheSpeedRegisters()
    {
        using Wheels = std::array<int, 2>;
        QCOMPARE(wheelTargets(0, 0x88, 0x78), (Wheels{8, -8}));    // one register a wheel
        QCOMPARE(wheelTargets(2, 0xff, 0x80), (Wheels{127, 127})); // speed 1 drives both
        QCOMPARE(wheelTargets(2, 0x80, 0x8b), (Wheels{11, -11}));  // speed 2 turns
        QCOMPARE(wheelTargets(2, 0xff, 0x8b), (Wheels{127, 116})); // clamped
        QCOMPARE(wheelTargets(3, 0x7f, 0x7f), (Wheels{127, 0}));   // signed turn
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
        QTest::newRow("anticlockwise wraps") << Pose{100, 100, 0} << -10.0 << 10.0 << quarter << Pose{100, 100, 270};
        QTest::newRow("arc about the right wheel") << Pose{100, 100, 0} << 20.0 << 0.0 << quarter << Pose{110, 110, 90};
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
        QTest::addColumn<int>("pixel"); // the one pixel above the ambient 22 degrees; -1: none
        QTest::addColumn<double>("degrees");
        QTest::newRow("dead ahead, near") << Pose{100, 100, 0} << Point{100, 130} << false << 4 << 82.0;
        QTest::newRow("ahead to the left") << Pose{100, 100, 0} << Point{80, 200} << false << 1 << 51.4178;
        QTest::newRow("facing east") << Pose{100, 100, 90} << Point{300, 110} << false << 3 << 36.9813;
        QTest::newRow("outside the field") << Pose{100, 100, 0} << Point{200, 100} << false << -1 << 0.0;
        QTest::newRow("behind") << Pose{100, 100, 0} << Point{100, 50} << false << -1 << 0.0;
        QTest::newRow("behind a wall") << Pose{100, 100, 0} << Point{100, 130} << true << -1 << 0.0;
    }
    void theThermalArraySeesTheCandleInThePixelOfItsAngle()
    {
        QFETCH(Pose, sensor);
        QFETCH(Point, candle);
        QFETCH(bool, wall);
        QFETCH(int, pixel);
        QFETCH(double, degrees);
        const Segment across{{0, 120}, {200, 120}};
        const std::array<double, 8> got = thermalPixels(sensor, candle, 22, 41, std::span(&across, wall ? 1 : 0));
        for (std::size_t i = 0; i < 8; ++i)
            QVERIFY2(std::abs(got[i] - (int(i) == pixel ? degrees : 22)) < 1e-3, qPrintable(QString::number(got[i])));
    }

    // A beam's label (20 x 8 cm here) sits near the beam's end, inside the arena, on no wall and no
    // label placed before it. The arena: 200 x 100 cm, a wall across x = 100 from y = 0 to 60.
    void aBeamLabelKeepsOffTheWalls_data()
    {
        QTest::addColumn<Point>("origin");
        QTest::addColumn<double>("heading");
        QTest::addColumn<double>("length");
        QTest::addColumn<Point>("near"); // the label's centre lies within 8 cm of it
        QTest::newRow("onto the wall") << Point{50, 30} << 90.0 << 50.0 << Point{85, 30};
        QTest::newRow("onto the north edge") << Point{50, 50} << 0.0 << 50.0 << Point{50, 90};
        QTest::newRow("into a corner") << Point{150, 50} << 45.0 << 70.7 << Point{186, 88};
        QTest::newRow("beside the label before it") << Point{50, 30} << 90.0 << 50.0 << Point{85, 16};
    }
    void aBeamLabelKeepsOffTheWalls()
    {
        QFETCH(Point, origin);
        QFETCH(double, heading);
        QFETCH(double, length);
        QFETCH(Point, near);
        const Segment wall{{100, 0}, {100, 60}};
        const std::vector<Segment> segments = wallsAndObstacles(200, 100, {}, std::span(&wall, 1));
        std::vector<Box> taken;
        if (QByteArray(QTest::currentDataTag()).startsWith("beside"))
            taken.push_back(simview::placeBeamLabel(origin, heading, length, 20, 8, {0, 0, 200, 100}, segments, {}));
        const Box label = simview::placeBeamLabel(origin, heading, length, 20, 8, {0, 0, 200, 100}, segments, taken);
        const Point centre{label.x + 10, label.y + 4};
        QVERIFY2(distanceBetween(centre, near) < 8, qPrintable(QStringLiteral("%1 %2").arg(centre.x).arg(centre.y)));
        QVERIFY(label.x >= 0 && label.y >= 0 && label.x + 20 <= 200 && label.y + 8 <= 100);
        for (const Segment &segment : segments)
            QVERIFY(!segmentMeetsBox(segment, label));
        for (const Box &other : taken)
            QVERIFY(label.x >= other.x + other.width || other.x >= label.x + label.width
                    || label.y >= other.y + other.height || other.y >= label.y + label.height);
    }

    // Steps, split by "; ": "MS FRAME" (hex) or "MS COMMAND" at MS milliseconds, then "= ANSWER" to check
    // the frame's answer or the command's lines, or "=~ TEXT" found in them. A command without "=" must say ok.
    void theModulesAnswerFramesAndCommandsInTime_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("the motors stop 2 s after the last access")
            << "0 55b00001ff; 1975 get B0 0 = ok ff; 2000 get B0 0 = ok 80";
        QTest::newRow("a read restarts the 2 s")
            << "0 55b00001ff; 1500 55b10a01; 3475 get B0 0 = ok ff; 3500 get B0 0 = ok 80";
        QTest::newRow("get and another module's frame are no access")
            << "0 55b00001ff; 1500 get B0 0; 1600 55c10001; 2000 get B0 0 = ok 80";
        QTest::newRow("automatic stop off, then on again")
            << "0 55b0100132; 0 55b00001ff; 10000 get B0 0 = ok ff; 10000 55b0100133; 12000 get B0 0 = ok 80";
        QTest::newRow("signed modes stop at 0") << "0 55b00f0101; 0 55b00001ff; 2000 get B0 0 = ok 00";
        QTest::newRow("encoder: 10 steps at once for 0.975 s")
            << "0 55b0100132; 0 55b00e01ff = 01; 0 55b000018a = 01; 1000 get B0 2 4 = ok 00 00 00 4e";
        QTest::newRow("encoder: a ramp of one a tick")
            << "0 55b0100132; 0 55b00e0101; 0 55b0000184; 1000 get B0 2 4 = ok 00 00 00 1e";
        // Ramp by 5: 0 to 1.025 s, 5 to 1.05 s, then 8: 61.8 counts by 2 s. The ramp down
        // gives back what the ramp up took; command 20 clears the counts, not the speeds.
        QTest::newRow("encoders count both ways")
            << "0 55b0100132; 1000 55b0000188 = 01; 1000 55b0010178 = 01; 2000 55b10204 = 00 00 00 3d; "
               "2000 55b10604 = ff ff ff c3; 3000 55b0000180; 5000 55b10204 = 00 00 00 80; 5000 55b0100120; "
               "6000 55b10204 = 00 00 00 00; 6000 55b10604 = ff ff ff c0";
        // 127 steps, reached by 5 a tick at 650 ms: 680.6 counts by 1 s.
        QTest::newRow("a count read a byte at a time is latched by its top byte")
            << "0 55b00001ff; 1000 55b10201 = 00; 1300 55b10301 = 00; 1600 55b10401 = 02; 1900 55b10501 = a8";
        // 12.1 V idle; mode 2 at 127 by 1 s: 11.5 V, 2.0 A each.
        QTest::newRow("settings are stored, the load shows in battery and currents")
            << "0 55b00e010a; 0 55b00f0102; 0 55b0100130; 0 55b0100132; 0 55b10d03 = 09 0a 02; "
               "0 list =~ mode 2, acceleration 10, regulation off, auto-stop off; 0 55b10a03 = 79 00 00; "
               "0 55b00001ff; 1000 55b10a03 = 73 14 14";
        // Each wheel runs 15.4 step-seconds (ramps by 5), 10.75 cm, on a 13.7 cm track: 89.9 degrees.
        QTest::newRow("the compass follows the robot's turn")
            << "0 bearing 350; 0 55c10202 = 0d ac; 0 55b00f0102; 0 55b001018b; 1400 55b0010180; "
               "2000 55c10202 = 03 1f; 2000 55c10001 = 0e";
        QTest::newRow("a ranging result appears after the ranging time")
            << "0 range E4 300; 1000 55e4000151 = 01; 1064 55e50202 = ff ff; 1064 55e50001 = ff; "
               "1065 55e50202 = 01 2c; 1065 range E4 85; 2000 55e4000151; 2010 55e50202 = ff ff; "
               "2070 55e50202 = 00 55; 3000 55e4000150; 3070 55e50202 = 00 21";
        const QString sequence = QStringLiteral("0 55e00001a0; 0 55e00001aa; 0 55e00001a5; ");
        QTest::newRow("a ranger moves to the address of the sequence, and back")
            << sequence + "0 55e00001f0 = 01; 0 55e10001 = -; 0 55f10001 = 06; 0 55f00001a0; 0 55f00001aa; "
                          "0 55f00001a5; 0 55f00001e0; 0 55e10001 = 06; 0 55f10001 = -";
        QTest::newRow("sequence out of order")
            << "0 55e00001aa; 0 55e00001a0; 0 55e00001a5; 0 55e00001f0; 0 55e10001 = 06; 0 55f10001 = -";
        QTest::newRow("sequence with a ranging inside")
            << "0 55e00001a0; 0 55e00001aa; 0 55e0000151; 0 55e00001a5; 0 55e00001f0; 100 55e10001 = 06; "
               "100 55f10001 = -";
        QTest::newRow("sequence onto another ranger") << sequence + "0 55e00001e2; 0 55e10001 = 06; 0 55e30001 = 06";
        QTest::newRow("sequence to an odd address") << sequence + "0 55e00001f1; 0 55e10001 = 06; 0 55f10001 = -";
        QTest::newRow("sequence to below E0") << sequence + "0 55e0000170; 0 55e10001 = 06; 0 55710101 = 00";
        // The rangers, the compass and the thermal array see the world; a value set by
        // hand holds until released or until the robot is placed.
        // At the start: E0 onto the crate, E2 past crate and table, E4 north, E6 north-west, E8 west.
        QTest::newRow("the five rangers at the start")
            << "1000 55e0000151; 1000 55e2000151; 1000 55e4000151; 1000 55e6000151; 1000 55e8000151; "
               "1070 get E0 2 2 = ok 00 44; 1070 get E2 2 2 = ok 01 b8; 1070 get E4 2 2 = ok 01 34; "
               "1070 get E6 2 2 = ok 00 81; 1070 get E8 2 2 = ok 00 58";
        QTest::newRow("facing east: E4 onto the crate, E0 south, E6 crate")
            << "1000 pose 150 80 90; 1000 55e4000151; 1000 55e0000151; 1000 55e6000151; "
               "1070 get E4 2 2 = ok 00 12; 1070 get E0 2 2 = ok 00 44; 1070 get E6 2 2 = ok 00 1e";
        QTest::newRow("nothing echoes beyond 6 m")
            << "1000 obstacle clear; 1000 pose 20 20 56; 1000 55e4000151; 1070 get E4 2 2 = ok 00 00";
        QTest::newRow("new obstacle") << "1000 obstacle add 90 200 20 10; 1000 55e4000151; 1070 get E4 2 2 = ok 00 6c";
        QTest::newRow("range set by hand, then released")
            << "1000 range E4 77; 1000 55e4000151; 1070 get E4 2 2 = ok 00 4d; 1070 range E4 world; "
               "1070 55e4000151; 1140 get E4 2 2 = ok 01 34";
        QTest::newRow("range released by a placement")
            << "1000 range E4 77; 1000 pose 100 80 0; 1000 55e4000151; 1070 get E4 2 2 = ok 01 34";
        QTest::newRow("bearing is the heading") << "1000 pose 100 80 123.4; 1000 get C0 2 2 = ok 04 d2";
        QTest::newRow("bearing set by hand, then released by a placement")
            << "1000 bearing 45; 1000 get C0 2 2 = ok 01 c2; 1000 pose 100 80 90; 1000 get C0 2 2 = ok 03 84";
        QTest::newRow("candle ahead at the start, then behind")
            << "1000 get D0 1 9 = ok 16 16 16 16 16 16 16 24 16; 1000 candle 100 20; "
               "1000 get D0 2 8 = ok 16 16 16 16 16 16 16 16";
        QTest::newRow("temperatures set by hand, then released")
            << "1000 temp 30 40; 1000 get D0 1 9 = ok 1e 28 16 16 16 16 16 24 16; 1000 temp world; "
               "1000 get D0 1 1 = ok 16";
        // Typed keys as the keypad dialogue reads them: low, (release wait), high, ...
        QTest::newRow("typed 1 2 # 0")
            << "0 type 12#0; 0 55c70101 = 01; 0 55c70101 = 00; 0 55c70201 = 00; 0 55c70101 = 02; 0 55c70101 = 00; "
               "0 55c70201 = 08; 0 55c70101 = 00; 0 55c70201 = 04; 0 55c70201 = 00";
        QTest::newRow("typed, held for three reads")
            << "0 type 5 3; 0 55c70101 = 10; 0 55c70101 = 10; 0 55c70101 = 10; 0 55c70101 = 00; 0 55c70201 = 00";
        QTest::newRow("typed low then high in one pass")
            << "0 type 49; 0 55c70101 = 08; 0 55c70101 = 00; 0 55c70201 = 01; 0 55c70201 = 00";
        QTest::newRow("pressed keys stay down until released")
            << "0 press *; 0 press 8; 0 55c70102 = 80 02; 0 55c70102 = 80 02; 0 release 8; 0 55c70102 = 00 02; "
               "0 release; 0 55c70102 = 00 00";
        // The keypad prompt, two keys, backlight off; then 22 letters wrap, and a return.
        QTest::newRow("the display shows text at the cursor")
            << "0 55c6000113; 0 55c6001a0c5465636c656520656c20636f6469676f0d2020202020202020; 0 55c6000131; "
               "0 55c6000123; 0 screen = |Teclee el codigo    |\n|        1#          |\n|                    |\n"
               "|                    |\nok backlight on; 0 55c6000114; 0 write C6 0 12 72 105; "
               "0 55c600176162636465666768696a6b6c6d6e6f707172737475760d; 0 screen = |Hiabcdefghijklmnopqr|\n"
               "|stuv                |\n|                    |\n|                    |\nok backlight off";
        QTest::newRow("thermal array")
            << "0 noise off; 0 temp 22 20 21 22 23 24 25 26 27; 0 55d1000a = 06 16 14 15 16 17 18 19 1a 1b";
        QTest::newRow("relays, 111: relay 1 off") << "0 55700101fb; 0 get 70 1 = ok fb; 0 557000016f; 0 55710101 = fa";
        // The candle goes out once the fan has blown at it for 1 s in all, from within 30 cm
        // of the robot's front and 20 degrees of its heading; then the thermal array reads 22.
        // In the house the robot starts at 30 125 facing east; relay 1 runs the fan.
        const QString house = QStringLiteral("0 arena house; 0 noise off; ");
        QTest::newRow("the fan puts the candle out")
            << house + "0 candle 60 125; 100 55b0000180; 100 5570010101; 1099 run = ok running time 1.0 contacts 0; "
                       "1099 get D0 2 8 = ok 16 16 16 16 52 16 16 16; 1100 run = ok time 1.0 contacts 0 candle out; "
                       "1100 get D0 2 8 = ok 16 16 16 16 16 16 16 16; 1100 world =~ candle at 60.0 125.0, out";
        QTest::newRow("the fan's time adds up")
            << house + "0 candle 60 125; 0 55b0000180; 0 5570010101; 600 5570010100; 2000 5570010101; "
                       "2399 run = ok running time 2.4 contacts 0; 2400 run = ok time 2.4 contacts 0 candle out; "
                       "2400 start; 2400 run = ok not started; 2400 world =~ candle at 60.0 125.0, lit";
        QTest::newRow("blown out before the run") << house + "0 candle 60 125; 0 5570010101; 1000 55b0000180; "
                                                             "1000 run = ok not started";
        QTest::newRow("too far") << house + "0 candle 81 125; 0 5570010101; 5000 world =~ 81.0 125.0, lit; "
                                            "5000 get D0 6 1 = ok 52";
        QTest::newRow("off to the side") << house + "0 candle 60 141; 0 5570010101; 5000 world =~ 141.0, lit";
        QTest::newRow("the fan off") << house + "0 candle 60 125; 0 5570010100; 5000 world =~ 125.0, lit";
        QTest::newRow("a wall between") << house + "0 pose 20 130 0; 0 candle 20 165; 0 5570010101; "
                                                   "5000 world =~ 165.0, lit; 5000 get D0 2 8 = ok 16 16 16 16 16 16 16 16";
        QTest::newRow("the seventh relay is not the fan")
            << house + "0 candle 60 125; 0 5570010140; 5000 world =~ 125.0, lit";
        // The judge ends a run when its program ends: the clock stops there and the fan, still
        // on, no longer counts; the path holds the run up to then and no further.
        QTest::newRow("an ended run stops its clock and nothing counts after")
            << house + "0 candle 60 125; 0 55b0000180; 0 5570010101; 500 end = ok ended time 0.5 contacts 0; "
                       "3000 run = ok ended time 0.5 contacts 0; 3000 world =~ candle at 60.0 125.0, lit; "
                       "3000 path = t 0.00 x 30.0 y 125.0 heading 90.0\nt 0.00 x 30.0 y 125.0 heading 90.0 fan\n"
                       "t 0.50 x 30.0 y 125.0 heading 90.0 fan\nok 3 points; "
                       "3000 start; 3000 run = ok not started; 3000 path = ok 0 points";
        QTest::newRow("an end before the run keeps it from starting")
            << house + "0 end = ok not started; 100 55b0000190; 2000 run = ok not started; 2000 world =~ robot at 30.0 125.0";
        QTest::newRow("the path marks a contact")
            << house + "0 obstacle add 60 100 10 50; 0 55b000029090; 2000 55b000028080; 2000 run = ok running time 2.0 contacts 1; "
                       "2000 path =~ contact";
        // The controller itself says whether both speed registers hold its mode's stop.
        QTest::newRow("the motor controller says whether its wheels stand at its mode's stop")
            << R"(0 json get B0 0 2 = {"bytes":[128,128],"ok":true,"wheels_at_stop":true}; 0 set B0 1 0x90; )"
               R"(0 json get B0 1 = {"bytes":[144],"ok":true,"wheels_at_stop":false}; 0 set B0 15 1; 0 set B0 0 0 0; )"
               R"(0 json get B0 0 2 = {"bytes":[0,0],"ok":true,"wheels_at_stop":true}; 0 set B0 0 128 128; )"
               R"(0 json get B0 15 = {"bytes":[1],"ok":true,"wheels_at_stop":false}; 0 get B0 0 2 = ok 80 80; )"
               R"(0 json get C0 1 = {"bytes":[0],"ok":true}; 0 json get B0 = {"error":"missing register","ok":false})";
        QTest::newRow("a bad arena file leaves the arena as it was")
            << "0 arena /nowhere.json = error: /nowhere.json: no such file, nor a bundled arena (open, house, corridor); "
               "0 world =~ arena open, 600 x 400 cm";
        QTest::newRow("control commands act on the bus")
            << "0 add 40 generic; 0 set 0x40 254 0x12 52 0xff; 0 get 40 254 3 = ok 12 34 ff; 0 silence 40; "
               "0 55410001 = -; 0 silence 40 off; 0 garbage 40 0xee; 0 extra 40 1 2; 0 55410001 = ee ff 01 02; "
               "0 55410001 = ff; 0 delay 40 250; 0 55410001 = ff after 250 ms; 0 write E0 0 0xa0; "
               "0 write E0 0 0xaa; 0 write E0 0 0xa5; 0 write E0 0 0xf0; 0 range F0 77; 0 55f0000151; "
               "70 55f10202 = 00 4d; 70 bearing 359.9; 70 get C0 2 2 = ok 0e 0f; 70 remove 40; 70 55410001 = -; "
               "70   # a comment = ok";
    }
    void theModulesAnswerFramesAndCommandsInTime()
    {
        QFETCH(QString, steps);
        for (const QString &step : steps.split(QLatin1String("; "))) {
            const SimTime at = std::chrono::milliseconds(step.section(u' ', 0, 0).toInt());
            const qsizetype equals = step.indexOf(QLatin1String(" ="));
            const QString what = step.left(equals).section(u' ', 1);
            const bool isFrame = what.startsWith(QLatin1String("55"));
            const QString got = isFrame ? QString::fromLatin1(frame(what.toLatin1(), at)) : run(what, at);
            const bool part = step.mid(equals + 2).startsWith(u'~');
            const QString want = equals < 0 ? QString() : step.mid(equals + (part ? 3 : 2)).trimmed();
            if (equals >= 0 || !isFrame)
                QVERIFY2(equals < 0 ? got.startsWith(QLatin1String("ok")) : got == want || (part && got.contains(want)),
                         qPrintable(step + QLatin1String(" -> ") + got));
        }
    }

    // Arena files are untrusted: each bad one gets one message naming the field.
    void anArenaFileLoadsOrSaysWhatIsWrong_data()
    {
        QTest::addColumn<QString>("nameOrText"); // a bundled arena's name, or a file's text
        QTest::addColumn<QString>("error");      // "": it loads
        for (const QString &name : bundledArenaNames())
            QTest::newRow(qPrintable(name)) << name << "";
        const QString rest = QStringLiteral(R"("name": "a", "start": [50, 50, 0], "candles": [[100, 100]])");
        const auto file = [&](const char *fields) { return QStringLiteral("{%1, %2}").arg(QLatin1String(fields), rest); };
        QTest::newRow("small and plain") << file(R"("size": [200, 150], "fan_relay": 8)") << "";
        QTest::newRow("missing field") << QStringLiteral(R"({"name": "a", "size": [200, 150], "candles": [[10, 10]]})")
                                       << R"(missing field "start" ([x, y, heading]: where the robot starts))";
        QTest::newRow("wall outside") << file(R"("size": [200, 150], "walls": [[0, 100, 250, 100]])")
                                      << "walls: wall 1 [0,100,250,100] lies outside the 200 x 150 cm arena";
        QTest::newRow("huge size") << file(R"("size": [1e9, 150])")
                                   << "size: each side must be from 60 to 2000 cm, not 1e+09 x 150";
        QTest::newRow("not JSON") << "size: 200 x 150" << "not JSON: illegal value at character 1";
        QTest::newRow("not an object") << "[1, 2]" << R"(expected one JSON object { "name": ..., "size": ..., ... })";
        QTest::newRow("unknown field") << file(R"("size": [200, 150], "box": [])")
                                       << R"(unknown field "box" (the fields are name, size, walls, boxes, start, candles, rooms and fan_relay))";
        QTest::newRow("size of text") << file(R"("size": "big")") << R"(size: expected [width, height] in cm, not "big")";
        QTest::newRow("a wall of three numbers") << file(R"("size": [200, 150], "walls": [[1, 2, 3]])")
                                                 << "walls: wall 1 expected [x1, y1, x2, y2] in cm, not [1,2,3]";
        QString walls;
        for (int i = 0; i < 257; ++i)
            walls += QStringLiteral("[1, 1, 2, 2],");
        QTest::newRow("too many walls") << QStringLiteral(R"({"name": "a", "size": [200, 150], "walls": [%1]})").arg(walls.chopped(1))
                                        << "walls: at most 256 items, not 257";
        QTest::newRow("start in a wall") << QStringLiteral(R"({"name": "a", "size": [200, 150], "start": [10, 50, 0], "candles": [[100, 100]]})")
                                         << "start: the robot (30 cm across) does not fit at 10, 50: a wall, a box or the arena's edge is in the way";
        QTest::newRow("candle in a box") << file(R"("size": [200, 150], "boxes": [[90, 90, 20, 20]])")
                                         << "candles: place 1 [100,100] lies inside box 1";
        QTest::newRow("start on an inner wall")
            << QStringLiteral(R"({"name": "a", "size": [200, 150], "walls": [[100, 0, 100, 150]], "start": [100, 75, 0], "candles": [[150, 100]]})")
            << "start: the robot (30 cm across) does not fit at 100, 75: a wall, a box or the arena's edge is in the way";
        QTest::newRow("no candle") << QStringLiteral(R"({"name": "a", "size": [200, 150], "start": [50, 50, 0], "candles": []})")
                                   << "candles: expected one to 16 places [[x, y], ...], not []";
        QTest::newRow("a room walled off from the start")
            << file(R"("size": [200, 150], "walls": [[0, 75, 200, 75]], "rooms": [[0, 0, 200, 75], [0, 75, 200, 75]])")
            << "rooms: room 2 has no place 30 cm clear of walls and boxes that the robot can reach from its start";
        QTest::newRow("a room too small for a candle")
            << file(R"("size": [200, 150], "rooms": [[0, 0, 25, 25]])")
            << "rooms: room 1 has no place 30 cm clear of walls and boxes that the robot can reach from its start";
        QTest::newRow("rooms and no candles")
            << QStringLiteral(R"({"name": "a", "size": [200, 150], "start": [50, 50, 0], "rooms": [[0, 0, 200, 150]]})") << "";
        QTest::newRow("fan relay 9") << file(R"("size": [200, 150], "fan_relay": 9)") << "fan_relay: expected a relay from 1 to 8, not 9";
        QTest::newRow("too long") << QString(Arena::MaxFileBytes + 1, u' ') << "the file is larger than 256 KiB";
        QTest::newRow("no such file") << "/nowhere/house.json"
                                      << "/nowhere/house.json: no such file, nor a bundled arena (open, house, corridor)";
    }
    void anArenaFileLoadsOrSaysWhatIsWrong()
    {
        QFETCH(QString, nameOrText);
        const bool named = bundledArenaNames().contains(nameOrText) || nameOrText.startsWith(u'/');
        const ArenaLoad load = named ? loadArena(nameOrText) : parseArena(nameOrText.toUtf8());
        QTEST(load.error, "error");
        QCOMPARE(load.arena.has_value(), load.error.isEmpty());
        if (!load.arena)
            return;
        // A loaded arena puts the robot at its start with a lit candle at its first place.
        bus.world().setArena(*load.arena);
        const Point candle = candlePlace(*load.arena, std::nullopt);
        QCOMPARE(run(QStringLiteral("world")).section(u'\n', 1, 2),
                 QStringLiteral("robot at %1 %2 heading %3\ncandle at %4 %5, lit")
                     .arg(load.arena->start.x, 0, 'f', 1).arg(load.arena->start.y, 0, 'f', 1)
                     .arg(load.arena->start.heading, 0, 'f', 1).arg(candle.x, 0, 'f', 1).arg(candle.y, 0, 'f', 1));
    }

    // In the house, seeds 1 to 8 put the candle in eight places, two in each room, each
    // 30 cm clear of walls and the box (reachable: the candle example puts out every one).
    // Without a seed the first fixed place stands; a file of fixed places keeps them.
    void aSeedDrawsTheCandlesPlaceInARoom()
    {
        const Arena house = *loadArena(QStringLiteral("house")).arena;
        std::set<std::pair<double, double>> places;
        std::vector<int> perRoom(house.rooms.size());
        for (quint32 seed = 1; seed <= 8; ++seed) {
            const Point at = candlePlace(house, seed);
            QVERIFY(!collides(at, 30, house.width, house.height, house.boxes, house.walls));
            const auto room = std::find_if(house.rooms.begin(), house.rooms.end(), [&](const Box &r) { return r.contains(at); });
            QVERIFY(room != house.rooms.end());
            ++perRoom[std::size_t(room - house.rooms.begin())];
            places.insert({at.x, at.y});
            QCOMPARE(candlePlace(house, seed).x, at.x);
        }
        QCOMPARE(places.size(), std::size_t(8));
        QCOMPARE(perRoom, (std::vector<int>{2, 2, 2, 2}));
        QCOMPARE(candlePlace(house, std::nullopt).x, 215.0);
        const Arena open = *loadArena(QStringLiteral("open")).arena;
        QCOMPARE(candlePlace(open, 5).y, open.candles.front().y);
    }

    // As the docs say: seed n puts the candle in room n modulo the rooms, in the file's order,
    // in an arena with fixed places too and in one of rooms alone (where no seed draws as 0).
    void seedNPutsTheCandleInRoomNModuloTheRooms_data()
    {
        QTest::addColumn<QByteArray>("arena");
        QTest::newRow("the house") << QByteArray("house");
        QTest::newRow("rooms alone")
            << QByteArray(R"({"name": "two", "size": [300, 150], "walls": [[150, 0, 150, 50], [150, 100, 150, 150]],)"
                          R"( "start": [75, 75, 90], "rooms": [[0, 0, 150, 150], [150, 0, 150, 150]], "fan_relay": 1})");
    }
    void seedNPutsTheCandleInRoomNModuloTheRooms()
    {
        QFETCH(QByteArray, arena);
        const ArenaLoad load = arena.startsWith('{') ? parseArena(arena) : loadArena(QString::fromLatin1(arena));
        QVERIFY2(load.arena, qPrintable(load.error));
        const std::vector<Box> &rooms = load.arena->rooms;
        const auto roomOf = [&rooms](Point at) {
            return std::find_if(rooms.begin(), rooms.end(), [&](const Box &r) { return r.contains(at); }) - rooms.begin();
        };
        for (quint32 seed : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 9u, 4294967295u})
            QCOMPARE(roomOf(candlePlace(*load.arena, seed)), qsizetype(seed % rooms.size()));
        if (load.arena->candles.empty())
            QCOMPARE(roomOf(candlePlace(*load.arena, std::nullopt)), 0);
    }

    // A run longer than the path holds keeps every other point: the points come at twice the
    // interval all along, from the run's start to its last point.
    void aLongRunsPathIsThinnedEvenlyWithItsEndKept()
    {
        run(QStringLiteral("write B0 16 0x32")); // no automatic stop: the robot turns on the spot
        run(QStringLiteral("write B0 0 0x90 0x70"));
        for (const int seconds : {201, 260}) {
            const QJsonObject answer =
                QJsonDocument::fromJson(run(QStringLiteral("json path"), std::chrono::seconds(seconds)).toUtf8()).object();
            const QJsonArray points = answer.value(QLatin1String("points")).toArray();
            QVERIFY(points.size() > 1000 && points.size() <= World::PathLength);
            QCOMPARE(points.first().toObject().value(QLatin1String("t")).toDouble(), 0.0);
            for (qsizetype i = 1; i < points.size(); ++i) {
                const double gap = points[i].toObject().value(QLatin1String("t")).toDouble()
                                 - points[i - 1].toObject().value(QLatin1String("t")).toDouble();
                QVERIFY2(qAbs(gap - 0.2) < 0.02, qPrintable(QStringLiteral("%1 s after point %2").arg(gap).arg(i)));
            }
            QVERIFY(points.last().toObject().value(QLatin1String("t")).toDouble() > seconds - 0.25);
        }
    }

    void badCommandsAreRefusedClearly_data()
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
    void badCommandsAreRefusedClearly()
    {
        QFETCH(QString, command);
        QTEST(run(command), "error");
        QCOMPARE(run(QStringLiteral("world")).section(u'\n', 1, 2),
                 QStringLiteral("robot at 100.0 80.0 heading 0.0\ncandle at 140.0 300.0, lit"));
    }

    // What comes on standard input or the socket, write by write, and the answers' lines.
    void everyLineGetsOneAnswerInAnyPieces_data()
    {
        QTest::addColumn<QByteArrayList>("writes");
        QTest::addColumn<QStringList>("answers");
        const QByteArray longest = "#" + QByteArray(4095, 'x');
        QTest::newRow("blank and comment lines") << QByteArrayList{"\n  \t \n# a note\n   #indented\nrun\n"}
                                                 << QStringList{"ok", "ok", "ok", "ok", "ok not started"};
        QTest::newRow("several lines in one write") << QByteArrayList{"get 70 1\nbogus\nrun\n"}
            << QStringList{"ok 00", "error: unknown command \"bogus\" (try help)", "ok not started"};
        QTest::newRow("a line split across writes") << QByteArrayList{"ge", "t 70", " 1", "\nr", "un\n"}
                                                    << QStringList{"ok 00", "ok not started"};
        QTest::newRow("a line without its end waits for it") << QByteArrayList{"run\nget 70 1"}
                                                              << QStringList{"ok not started"};
        QTest::newRow("a carriage return is a blank") << QByteArrayList{"run\r\n\r\n"}
                                                      << QStringList{"ok not started", "ok"};
        QTest::newRow("the longest line is carried out") << QByteArrayList{longest + "\n"} << QStringList{"ok"};
        QTest::newRow("one more is refused whole, the next carried out")
            << QByteArrayList{longest, "x", "yz\nrun\n"}
            << QStringList{"error: line longer than 4096 characters", "ok not started"};
    }
    void everyLineGetsOneAnswerInAnyPieces()
    {
        QFETCH(QByteArrayList, writes);
        ControlLines lines;
        QStringList answers;
        for (const QByteArray &write : writes) {
            for (const ControlLine &line : lines.take(write))
                answers << (line.tooLong ? QStringList{ControlLines::tooLongAnswer()} : control->execute(line.text, {}));
        }
        QTEST(answers, "answers");
    }

    void aServoMovesAtItsSpeedFromWhereItIs()
    {
        QCOMPARE(hornDegrees(500), 0.0);
        QCOMPARE(hornDegrees(3000), 180.0); // above the range
        QCOMPARE(pulseAfter(1500, 2500, 10, 0.2), 1600.0); // 10 us each 20 ms
        QCOMPARE(pulseAfter(1500, 1000, 10, 1.0), 1000.0);
        QCOMPARE(pulseAfter(1500, 2500, 0, 0.0), 2500.0);
        auto &servos = dynamic_cast<SimSd21 &>(*bus.module(0xC2));
        QCOMPARE(servos.position(20), quint16(1500));
        frame("55c23d01c4");
        frame("55c23e0109");
        QCOMPARE(servos.position(20), quint16(2500));
        frame("55c20001ff");
        QCOMPARE(frame("55c30003"), QByteArray("ff dc 05"));
        frame("55c2000305c409", 0s); // speed 5, 2500 us
        QCOMPARE(servos.hornDegrees(0, 1s), 112.5);
        frame("55c20102e803", 1s);   // 1000 us, while moving
        QCOMPARE(servos.hornDegrees(0, 2s), 90.0);
        QCOMPARE(servos.hornDegrees(0, 4s), 45.0);
        QVERIFY(!servos.moving(4s) && servos.moving(3s));
    }

    void theThermalArrayWandersByOneDegree()
    {
        QCOMPARE(run(QStringLiteral("temp 22 20")), QStringLiteral("ok"));
        for (int i = 0; i < 50; ++i) {
            const int pixel = frame("55d10201").toInt(nullptr, 16);
            QVERIFY2(pixel >= 19 && pixel <= 21, qPrintable(QString::number(pixel)));
        }
    }

    void theBusLogKeepsTheLastFramesDecoded()
    {
        frame("55b0000188", 0s);
        frame("55c10202", 10ms);
        frame("55410001", 20ms);
        QStringList texts;
        for (const BusLogEntry &entry : bus.log().entries())
        {
            const kestrava::simview::TrafficRow row = kestrava::simview::trafficRow(entry);
            texts << QStringList(row.begin(), row.end()).join(u'|');
        }
        QCOMPARE(texts, (QStringList{"B0|MD23|write|0|88|01", "C0|CMPS03|read|2|2 bytes|00 00",
                                     "40|—|read|0|1 byte|no answer"}));
        for (int i = 0; i < 30; ++i)
            frame("55710101", 1s + i * 40ms);
        QCOMPARE(bus.log().entries().size(), std::size_t(20));
        QCOMPARE(bus.log().framesPerSecond(2200ms), 24); // those after 1.2 s
        QCOMPARE(bus.log().framesPerSecond(3s), 4);
    }

    // Stepped time's repeatable world: the robot backs into the south wall, its frames at the
    // same times, while the time between is cut into advances of any length.
    void aWorldOfFixedStepsEndsTheSameHoweverItsTimeIsCut_data()
    {
        QTest::addColumn<SimTime>("cut");
        QTest::newRow("1 ms") << SimTime(1ms);
        QTest::newRow("7.3 ms") << SimTime(7300us);
        QTest::newRow("0.4 ms") << SimTime(400us);
        QTest::newRow("a third of a second") << SimTime(333ms);
    }
    void aWorldOfFixedStepsEndsTheSameHoweverItsTimeIsCut()
    {
        QFETCH(SimTime, cut);
        const auto backIntoTheWall = [this](SimTime piece) {
            init();
            bus.world().setFixedStep(World::SteppedWorldStep);
            const auto advanceInPieces = [&](SimTime from, SimTime to) {
                for (SimTime at = from; at < to; at += piece)
                    bus.advanceTo(at);
                bus.advanceTo(to);
            };
            frame("55b000024040", 3ms); // both wheels 64 steps backwards: 45 cm/s, the wall 65 cm behind
            advanceInPieces(3ms, 1500ms);
            frame("55b000024040", 1500ms); // again, before the controller's own stop
            advanceInPieces(1500ms, 4s);
            return std::tuple(bus.world().pose(), bus.world().run(), bus.world().path().size());
        };
        const auto [pose, run, points] = backIntoTheWall(cut);
        const auto [wholeTicks, runOfTicks, pointsOfTicks] = backIntoTheWall(25ms);
        QCOMPARE(run.contacts, 1);
        QVERIFY(pose.y < 16);
        QVERIFY(pose.x == wholeTicks.x && pose.y == wholeTicks.y && pose.heading == wholeTicks.heading); // to the bit
        QCOMPARE(run, runOfTicks);
        QCOMPARE(points, pointsOfTicks);
    }

    // A view repaints on change only: looking at a world at rest changes nothing.
    void theWorldTellsOfChangesOnly()
    {
        int told = 0;
        bus.world().setChangeListener([&] { ++told; });
        run(QStringLiteral("get B0 0"), 5s);
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
};

QTEST_GUILESS_MAIN(SimWorldTest)
#include "tst_simworld.moc"
