#include "drivepad.h"
#include "telemetry.h"

#include <QTest>

using namespace kestrava;

class DriveMathsTest : public QObject
{
    Q_OBJECT
private slots:
    void padPositionGivesSpeedAndTurn_data()
    {
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::addColumn<int>("turn");  // vx, Label10, register 1
        QTest::addColumn<int>("speed"); // vy, Label9, register 0
        QTest::newRow("centre") << 1920.0f << 1900.0f << 128 << 128;
        QTest::newRow("top left corner") << 0.0f << 0.0f << 86 << 170;
        QTest::newRow("bottom right corner") << 3855.0f << 3825.0f << 171 << 86;
        QTest::newRow("rows below the line fold back") << 1920.0f << 3855.0f << 128 << 86;
        QTest::newRow("left of the pad counts as |X|") << -900.0f << 1900.0f << 106 << 128;
        QTest::newRow("same as X 900") << 900.0f << 1900.0f << 106 << 128;
        QTest::newRow("below the pad, Y 7650 as Y 0") << 1920.0f << 7650.0f << 128 << 170;
        QTest::newRow("X 7680 held at 255") << 7680.0f << 1900.0f << 255 << 128;
        QTest::newRow("X 7620 just below the limit") << 7620.0f << 1900.0f << 254 << 128;
        QTest::newRow("X far outside held at 255") << 1.0e7f << 1900.0f << 255 << 128;
        QTest::newRow("Y far above held at 255") << 1920.0f << -1.0e7f << 128 << 255;
        QTest::newRow("infinite X held at 255") << std::numeric_limits<float>::infinity() << 1900.0f << 255 << 128;
        QTest::newRow("not-a-number X counts as far") << std::numeric_limits<float>::quiet_NaN() << 1900.0f << 255 << 128;
    }
    void padPositionGivesSpeedAndTurn()
    {
        QFETCH(float, x);
        QFETCH(float, y);
        QFETCH(int, turn);
        QFETCH(int, speed);
        const PadSpeeds speeds = padSpeeds(x, y);
        QCOMPARE(int(speeds.turn), turn);
        QCOMPARE(int(speeds.speed), speed);
    }

    void pixelValueHasADeadBandAroundTheCentre_data()
    {
        QTest::addColumn<int>("pixel");
        QTest::addColumn<int>("value");
        QTest::newRow("0") << 0 << 86;
        QTest::newRow("104") << 104 << 120;
        QTest::newRow("105") << 105 << 128;
        QTest::newRow("127 truncates toward zero") << 127 << 128;
        QTest::newRow("128") << 128 << 128;
        QTest::newRow("151") << 151 << 128;
        QTest::newRow("152") << 152 << 136;
        QTest::newRow("255") << 255 << 170;
        QTest::newRow("257") << 257 << 171;
        QTest::newRow("508") << 508 << 254;
        QTest::newRow("511") << 511 << 255;
        QTest::newRow("512") << 512 << 255;
        QTest::newRow("100000") << 100000 << 255;
    }
    void pixelValueHasADeadBandAroundTheCentre()
    {
        QFETCH(int, pixel);
        QFETCH(int, value);
        QCOMPARE(int(padValue(pixel)), value);
    }

    void twipsRoundTiesToEvenBeforeDividing_data()
    {
        QTest::addColumn<float>("twips");
        QTest::addColumn<int>("pixel");
        QTest::newRow("14.5 rounds to 14") << 14.5f << 0;
        QTest::newRow("15.5 rounds to 16") << 15.5f << 1;
        QTest::newRow("14.6 rounds to 15") << 14.6f << 1;
        QTest::newRow("29.5 rounds to 30") << 29.5f << 2;
        QTest::newRow("-29.5 counts as 29.5") << -29.5f << 2;
        QTest::newRow("3855") << 3855.0f << 257;
    }
    void twipsRoundTiesToEvenBeforeDividing()
    {
        QFETCH(float, twips);
        QFETCH(int, pixel);
        QCOMPARE(padPixel(twips), pixel);
    }

    void encoderCountIsUnsignedAndSinglePrecision_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<double>("count");
        QTest::newRow("00000100") << QByteArray::fromHex("00000100") << 256.0;
        QTest::newRow("ffffffff") << QByteArray::fromHex("ffffffff") << 4294967296.0;
        QTest::newRow("01000000") << QByteArray::fromHex("01000000") << 16777216.0;
        QTest::newRow("01000001 rounds to even") << QByteArray::fromHex("01000001") << 16777216.0;
        QTest::newRow("01000003 rounds to even") << QByteArray::fromHex("01000003") << 16777220.0;
        QTest::newRow("0098967f") << QByteArray::fromHex("0098967f") << 9999999.0;
        QTest::newRow("80000000 is not negative") << QByteArray::fromHex("80000000") << 2147483648.0;
    }
    void encoderCountIsUnsignedAndSinglePrecision()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(double, count);
        const auto b = [&](int i) { return quint8(bytes[i]); };
        QCOMPARE(double(encoderCount(b(0), b(1), b(2), b(3))), count);
    }

    void tenthsAreDividedInDoubleThenHeldAsSingle()
    {
        QCOMPARE(tenths(121), float(12.1));
        QCOMPARE(tenths(255), float(25.5));
        QCOMPARE(tenths(0), 0.0f);
        QCOMPARE(tenths(3), float(0.3));
    }
};

QTEST_GUILESS_MAIN(DriveMathsTest)
#include "tst_drivemaths.moc"
