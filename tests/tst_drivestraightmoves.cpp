#include "driverig.h"

using namespace kestrava::test;

class DriveStraightMovesTest : public QObject
{
    Q_OBJECT
private slots:
    void straightMoveDrivesWaitsAndStops_data()
    {
        addTimedMoveColumns();
        const QByteArray stop = QByteArray::fromHex("55b0000180");
        QTest::newRow("Adelante 0") << qint16(0) << QByteArray::fromHex("55b0000188") << stop << 10;
        QTest::newRow("Adelante 1") << qint16(1) << QByteArray::fromHex("55b000018c") << stop << 15;
        QTest::newRow("Adelante 2") << qint16(2) << QByteArray::fromHex("55b000018c") << stop << 20;
        QTest::newRow("Adelante 3") << qint16(3) << QByteArray::fromHex("55b000018c") << stop << 30;
        QTest::newRow("Atras 4") << qint16(4) << QByteArray::fromHex("55b0000178") << stop << 10;
        QTest::newRow("Atras 5") << qint16(5) << QByteArray::fromHex("55b0000174") << stop << 15;
        QTest::newRow("Atras 6") << qint16(6) << QByteArray::fromHex("55b0000174") << stop << 20;
        QTest::newRow("Atras 7") << qint16(7) << QByteArray::fromHex("55b0000174") << stop << 30;
    }
    void straightMoveDrivesWaitsAndStops() { runAndCheckTimedMove("CmdAdelante1_Click"); }
};

QTEST_MAIN(DriveStraightMovesTest)
#include "tst_drivestraightmoves.moc"
