#include "numberformat.h"

#include <QTest>

using namespace kestrava;

class NumberFormatTest : public QObject
{
    Q_OBJECT
private slots:
    void singleShowsAsGeneralFormatOfSevenDigits_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        // Encoder counts: four bytes, unsigned, held in single precision.
        QTest::newRow("count 256") << 256.0f << "256";
        QTest::newRow("count 4294967295") << float(4294967295.0) << "4.294967E+09";
        QTest::newRow("count 16777216") << 16777216.0f << "1.677722E+07";
        QTest::newRow("count 9999999") << 9999999.0f << "9999999";
        QTest::newRow("count 10000000") << 10000000.0f << "1E+07";
        QTest::newRow("count 1234567") << 1234567.0f << "1234567";
        QTest::newRow("count 16777217 keeps 24 bits") << float(16777217.0) << "1.677722E+07";
        QTest::newRow("count 123456789") << float(123456789.0) << "1.234568E+08";
        // Byte / 10 in double, then single.
        QTest::newRow("byte 121") << float(121 / 10.0) << "12.1";
        QTest::newRow("byte 5") << float(5 / 10.0) << "0.5";
        QTest::newRow("byte 0") << float(0 / 10.0) << "0";
        QTest::newRow("byte 255") << float(255 / 10.0) << "25.5";
        QTest::newRow("byte 1") << float(1 / 10.0) << "0.1";
        QTest::newRow("byte 100") << float(100 / 10.0) << "10";
        // Bearings (tenths of a degree).
        QTest::newRow("bearing 359.9") << float(3599 / 10.0) << "359.9";
        // Rounding to seven digits, and the carry it can cause.
        QTest::newRow("tie 1234567.5 rounds up") << 1234567.5f << "1234568";
        QTest::newRow("tie 1234566.5 rounds up") << 1234566.5f << "1234567";
        QTest::newRow("tie -1234566.5 rounds away from zero") << -1234566.5f << "-1234567";
        QTest::newRow("1234567.625 rounds up") << 1234567.625f << "1234568";
        QTest::newRow("9999999.5 is not a single") << 9999999.5f << "1E+07";
        QTest::newRow("seven digits of a fraction") << 3.14159265f << "3.141593";
        QTest::newRow("99.99999") << 99.99999f << "99.99999";
        QTest::newRow("999.99999 carries") << 999.99999f << "1000";
        // Small values: plain decimal down to 0.0001, then the exponent form.
        QTest::newRow("0.001") << 0.001f << "0.001";
        QTest::newRow("0.0001") << 0.0001f << "0.0001";
        QTest::newRow("0.0001234567") << 0.0001234567f << "0.0001234567";
        QTest::newRow("0.00001") << 0.00001f << "1E-05";
        QTest::newRow("smallest single") << 1.4e-45f << "1.401298E-45";
        QTest::newRow("largest single") << 3.4028235e38f << "3.402823E+38";
        // Signs.
        QTest::newRow("-12.5") << -12.5f << "-12.5";
        QTest::newRow("-16777216") << -16777216.0f << "-1.677722E+07";
        QTest::newRow("minus zero") << -0.0f << "0";
    }
    void singleShowsAsGeneralFormatOfSevenDigits()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        QCOMPARE(formatSingle(value, QLocale::c()), text);
    }

    void separatorIsTheLocales_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("12.1") << float(121 / 10.0) << "12,1";
        QTest::newRow("0.5") << 0.5f << "0,5";
        QTest::newRow("no separator in a whole number") << 256.0f << "256";
        QTest::newRow("no group separator") << 1234567.0f << "1234567";
        QTest::newRow("mantissa") << 16777216.0f << "1,677722E+07";
    }
    void separatorIsTheLocales()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        QCOMPARE(formatSingle(value, QLocale(QLocale::Spanish)), text);
    }

    void defaultLocaleIsTheUsers()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
        const QString text = formatSingle(25.5f);
        QLocale::setDefault(before);
        QCOMPARE(text, QStringLiteral("25,5"));
    }
};

QTEST_GUILESS_MAIN(NumberFormatTest)
#include "tst_numberformat.moc"
