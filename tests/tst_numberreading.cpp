#include "numberreading.h"

#include <QTest>

#include <optional>

using namespace kestrava;

class NumberReadingTest : public QObject
{
    Q_OBJECT
private slots:
    void readsTheLeadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("plain") << "3" << 3.0;
        QTest::newRow("leading blank") << " 3" << 3.0;
        QTest::newRow("garbage after") << "3abc" << 3.0;
        QTest::newRow("blanks inside digits") << "1 2\t3\n4" << 1234.0;
        QTest::newRow("carriage return dropped") << "1\r2" << 12.0;
        QTest::newRow("minus") << "-2" << -2.0;
        QTest::newRow("plus") << "+7" << 7.0;
        QTest::newRow("fraction") << "2.5" << 2.5;
        QTest::newRow("fraction only") << ".5" << 0.5;
        QTest::newRow("trailing point") << "7." << 7.0;
        QTest::newRow("exponent") << "1.5E3" << 1500.0;
        QTest::newRow("lower-case exponent with sign") << "25e-1" << 2.5;
        QTest::newRow("exponent without digits stops") << "4E" << 4.0;
        QTest::newRow("exponent sign without digits") << "4e+x" << 4.0;
        QTest::newRow("second point stops") << "1.2.3" << 1.2;
        QTest::newRow("sign alone") << "-" << 0.0;
        QTest::newRow("point alone") << "." << 0.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("only blanks") << " \t\n" << 0.0;
        QTest::newRow("comma is not a separator") << "2,5" << 2.0;
        QTest::newRow("hex one digit") << "&H3" << 3.0;
        QTest::newRow("hex lower-case prefix and digits") << "&hff" << 255.0;
        QTest::newRow("hex four digits two's complement") << "&HFFFF" << -1.0;
        QTest::newRow("hex 8000") << "&H8000" << -32768.0;
        QTest::newRow("hex 7FFF") << "&H7FFF" << 32767.0;
        QTest::newRow("hex five digits") << "&HFFFFF" << 1048575.0;
        QTest::newRow("hex eight digits") << "&HFFFFFFFF" << -1.0;
        QTest::newRow("hex stops at non-digit") << "&HE2x" << 226.0;
        QTest::newRow("hex with blanks between digits") << "&H E 2" << 226.0;
        QTest::newRow("hex without digits") << "&H" << 0.0;
        QTest::newRow("hex then prefix again") << "&H&HE0" << 0.0;
        QTest::newRow("hex then 0x") << "&H0xE0" << 0.0;
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
        QTest::newRow("-2.5 to -2") << "-2.5" << N(-2);
        QTest::newRow("16.4 to 16") << "16.4" << N(16);
        QTest::newRow("16.6 to 17") << "16.6" << N(17);
        QTest::newRow("largest") << "32767" << N(32767);
        QTest::newRow("rounds up past the largest") << "32767.5" << N();
        QTest::newRow("smallest") << "-32768" << N(-32768);
        QTest::newRow("below the smallest") << "-32768.6" << N();
        QTest::newRow("99999 overflows") << "99999" << N();
        QTest::newRow("five hex digits overflow") << "&HFFFFF" << N();
        QTest::newRow("nine hex digits overflow") << "&H100000000" << N();
        QTest::newRow("infinite overflows") << "1e400" << N();
        QTest::newRow("garbage gives 0") << "abc" << N(0);
    }
    void roundsTiesToEvenIntoSixteenBits()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<qint16>, expected);
        QCOMPARE(readInt16(text), expected);
    }

    void aMegabyteOfDigitsDoesNotCrash()
    {
        const QString huge(1 << 20, u'9');
        QCOMPARE(readInt16(huge), std::optional<qint16>());
        QCOMPARE(readInt16(QStringLiteral("&H") + huge), std::optional<qint16>());
    }
};

QTEST_GUILESS_MAIN(NumberReadingTest)
#include "tst_numberreading.moc"
