#include "sensors/compass.h"
#include "drive/drivepad.h"
#include "numbers/numberformat.h"
#include "numbers/numberreading.h"
#include "drive/md23.h"
#include "drive/telemetry.h"

#include <QTest>

#include <cmath>
#include <optional>

using namespace kestrava;

// The pure functions, numbers in and numbers out: number reading, number format,
// pad maths, encoder counts and the needle.
class ArithmeticTest : public QObject
{
    Q_OBJECT
private slots:
    void readsTheLeadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("garbage after") << "3abc" << 3.0;
        QTest::newRow("blanks inside digits") << "1 2\t3\n4" << 1234.0;
        QTest::newRow("minus") << "-2" << -2.0;
        QTest::newRow("fraction") << "2.5" << 2.5;
        QTest::newRow("exponent") << "1.5E3" << 1500.0;
        QTest::newRow("lower-case exponent with sign") << "25e-1" << 2.5;
        QTest::newRow("exponent without digits stops") << "4E" << 4.0;
        QTest::newRow("second point stops") << "1.2.3" << 1.2;
        QTest::newRow("sign alone") << "-" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("comma is not a separator") << "2,5" << 2.0;
        QTest::newRow("hex four digits two's complement") << "&HFFFF" << -1.0;
        QTest::newRow("hex 8000") << "&H8000" << -32768.0;
        QTest::newRow("hex five digits") << "&HFFFFF" << 1048575.0;
        QTest::newRow("hex eight digits") << "&HFFFFFFFF" << -1.0;
        QTest::newRow("hex stops at non-digit") << "&HE2x" << 226.0;
        QTest::newRow("lower-case prefix") << "&h1f" << 31.0;
        QTest::newRow("hex with blanks between digits") << "&H E 2" << 226.0;
        QTest::newRow("hex without digits") << "&H" << 0.0;
        QTest::newRow("hex then prefix again") << "&H&HE0" << 0.0;
        QTest::newRow("ampersand without H") << "&3" << 0.0;
        QTest::newRow("huge exponent") << "1e400" << qInf();
    }
    void readsTheLeadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(readNumber(text), expected);
    }

    void roundsTiesToEvenIntoSixteenBits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<qint16>>("expected");
        using N = std::optional<qint16>;
        QTest::newRow("2.5 to 2") << "2.5" << N(2);
        QTest::newRow("3.5 to 4") << "3.5" << N(4);
        QTest::newRow("largest") << "32767" << N(32767);
        QTest::newRow("rounds up past the largest") << "32767.5" << N();
        QTest::newRow("below the smallest") << "-32768.6" << N();
        QTest::newRow("five hex digits overflow") << "&HFFFFF" << N();
        QTest::newRow("infinite overflows") << "1e400" << N();
        QTest::newRow("garbage gives 0") << "abc" << N(0);
        QTest::newRow("a megabyte of hex digits") << "&H" + QString(1 << 20, u'9') << N();
    }
    void roundsTiesToEvenIntoSixteenBits()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<qint16>, expected);
        QCOMPARE(readInt16(text), expected);
    }

    void singleShowsAsGeneralFormatOfSevenDigits_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        // Encoder counts: four bytes, unsigned, held in single precision.
        QTest::newRow("count 4294967295") << float(4294967295.0) << "4.294967E+09";
        QTest::newRow("count 16777216") << 16777216.0f << "1.677722E+07";
        QTest::newRow("count 9999999") << 9999999.0f << "9999999";
        QTest::newRow("count 10000000") << 10000000.0f << "1E+07";
        // Bearings (tenths of a degree).
        QTest::newRow("bearing 359.9") << float(3599 / 10.0) << "359.9";
        // Rounding to seven digits, and the carry it can cause (a count of 29999998).
        QTest::newRow("999.99999 carries") << 999.99999f << "1000";
        QTest::newRow("count 29999998 carries") << 29999998.0f << "3E+07";
    }
    void singleShowsAsGeneralFormatOfSevenDigits()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        QCOMPARE(formatSingle(value, QLocale::c()), text);
    }

    // The decimal separator is the locale's, and by default the user's.
    void separatorIsTheLocales_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("12.1") << float(121 / 10.0) << "12,1";
        QTest::newRow("mantissa") << 16777216.0f << "1,677722E+07";
    }
    void separatorIsTheLocales()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        QCOMPARE(formatSingle(value, QLocale(QLocale::Spanish)), text);
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
        const QString byDefault = formatSingle(value);
        QLocale::setDefault(before);
        QCOMPARE(byDefault, text);
    }

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
        QTest::newRow("below the pad, Y 7650 as Y 0") << 1920.0f << 7650.0f << 128 << 170;
        QTest::newRow("X far outside held at 255") << 1.0e7f << 1900.0f << 255 << 128;
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
        QTest::newRow("104 before the dead band") << 104 << 120;
        QTest::newRow("105") << 105 << 128;
        QTest::newRow("127 truncates toward zero") << 127 << 128;
        QTest::newRow("128") << 128 << 128;
        QTest::newRow("151 in the dead band") << 151 << 128;
        QTest::newRow("152") << 152 << 136;
        QTest::newRow("255") << 255 << 170;
        QTest::newRow("257") << 257 << 171;
        QTest::newRow("511") << 511 << 255;
        QTest::newRow("512") << 512 << 255;
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
        QTest::newRow("14.6 rounds to 15") << 14.6f << 1;
        QTest::newRow("-29.5 counts as 29.5") << -29.5f << 2;
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
        QTest::newRow("ffffffff") << QByteArray::fromHex("ffffffff") << 4294967296.0;
        QTest::newRow("01000001 rounds to even") << QByteArray::fromHex("01000001") << 16777216.0;
        QTest::newRow("01000003 rounds to even") << QByteArray::fromHex("01000003") << 16777220.0;
        QTest::newRow("80000000 is not negative") << QByteArray::fromHex("80000000") << 2147483648.0;
    }
    void encoderCountIsUnsignedAndSinglePrecision()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(double, count);
        const auto b = [&](int i) { return quint8(bytes[i]); };
        QCOMPARE(double(encoderCount(b(0), b(1), b(2), b(3))), count);
    }

    // Outside the window a count is the controller's own signed number, exact.
    void theControllersCountIsSigned32Bit_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("count");
        QTest::newRow("a step back") << QByteArray::fromHex("ffffff59") << qint64(-167);
        QTest::newRow("one back") << QByteArray::fromHex("ffffffff") << qint64(-1);
        QTest::newRow("the smallest") << QByteArray::fromHex("80000000") << qint64(-2147483648LL);
        QTest::newRow("the largest") << QByteArray::fromHex("7fffffff") << qint64(2147483647);
        QTest::newRow("past single precision") << QByteArray::fromHex("01000001") << qint64(16777217);
        QTest::newRow("byte order") << QByteArray::fromHex("01020304") << qint64(0x01020304);
    }
    void theControllersCountIsSigned32Bit()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, count);
        const auto b = [&](int i) { return quint8(bytes[i]); };
        QCOMPARE(qint64(kestrava::md23::countFromBytes(b(0), b(1), b(2), b(3))), count);
    }

    // Where single precision decides whether the turn is subtracted.
    void theNeedleAngleAtTheEdgesOfTheTurn_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<float>("angle");
        QTest::newRow("0: north") << 0 << 1.5708f;
        QTest::newRow("900: a full turn, east") << 900 << 6.2832f;
        QTest::newRow("905: runs on past the turn") << 905 << 6.274473f;
        QTest::newRow("899: loses one turn") << 899 << 0.0017455f;
        QTest::newRow("3599: just left of north") << 3599 << 1.5725454f;
        QTest::newRow("2700: west") << 2700 << 3.1416f;
        QTest::newRow("4500 comes to 0") << 4500 << 0.0f;
        QTest::newRow("65535 loses sixteen turns") << 65535 << 5.995207f;
    }
    void theNeedleAngleAtTheEdgesOfTheTurn()
    {
        QFETCH(int, word);
        QFETCH(float, angle);
        const float a = needleAngle(bearingFromWord(quint8(word >> 8), quint8(word & 0xff)));
        QVERIFY2(std::fabs(a - angle) < 2e-6f, qPrintable(QString::number(a, 'g', 9)));
    }
};

QTEST_GUILESS_MAIN(ArithmeticTest)
#include "tst_arithmetic.moc"
