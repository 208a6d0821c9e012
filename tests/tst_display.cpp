#include "display.h"
#include "keypaddialogue.h"
#include "actuatorrig.h"

using namespace kestrava;
using kestrava::test::ActuatorRig;

class DisplayPanelTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<ActuatorRig> rig;

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

    void textGoesOneBytePerCharacterUpToForty_data()
    {
        const QByteArray forty = QByteArray("0123456789").repeated(4);
        const QByteArray fortyHex = QByteArray("30313233343536373839").repeated(4);
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("empty") << QString() << QByteArray("55c60000");
        QTest::newRow("short") << QString("Hola") << QByteArray("55c60004486f6c61");
        QTest::newRow("40 characters") << QString::fromLatin1(forty) << "55c60028" + fortyHex;
        QTest::newRow("41 characters") << QString::fromLatin1(forty + "X") << "55c60028" + fortyHex;
        QTest::newRow("Latin-1 letters") << QString("Añó") << QByteArray("55c6000341f1f3");
        QTest::newRow("euro sign") << QString("5 €") << QByteArray("55c6000335203f");
        QTest::newRow("character outside the basic plane")
            << QString("a\U0001F600b") << QByteArray("55c60003613f62");
        QTest::newRow("45 such characters")
            << QString("\U0001F600").repeated(45) << "55c60028" + QByteArray("3f").repeated(40);
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "z" << QByteArray("55c600023f7a");
    }
    void textGoesOneBytePerCharacterUpToForty()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, frame);
        QCOMPARE(displayTextFrame(text).toHex(), frame);
        rig->textBox("TxtLCD03").setText(text);
        rig->fire("CmdLCD03_1_Click");
        QCOMPARE(rig->sentFrames(), QStringList{QString::fromLatin1(frame)});
        QCOMPARE(rig->textBox("TxtLCD03").text(), text);
    }

    void eachCommandButtonSendsItsCode_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("frame");
        QTest::newRow("Limpia") << "CmdLCD03_2_Click" << "55c600010c";
        QTest::newRow("Retorno") << "CmdLCD03_3_Click" << "55c600010d";
        QTest::newRow("Enciende") << "CmdLCD03_4_Click" << "55c6000113";
        QTest::newRow("Apaga") << "CmdLCD03_5_Click" << "55c6000114";
    }
    void eachCommandButtonSendsItsCode()
    {
        QFETCH(QString, button);
        QFETCH(QString, frame);
        rig->fire(button);
        QCOMPARE(rig->sentFrames(), QStringList{frame});
    }

    void thePromptIsThirtyBytes()
    {
        const QByteArray prompt = keypadPromptFrame();
        QCOMPARE(prompt.size(), 30);
        QCOMPARE(prompt.toHex(), QByteArray("55c6001a0c5465636c656520656c20636f6469676f0d2020202020202020"));
    }

    void keysAreRecognisedOnlyByASingleBit_data()
    {
        QTest::addColumn<int>("keypadRegister");
        QTest::addColumn<int>("reading");
        QTest::addColumn<QString>("key");
        const QList<QPair<int, QString>> low{{0x01, "1"}, {0x02, "2"}, {0x04, "3"}, {0x08, "4"},
                                             {0x10, "5"}, {0x20, "6"}, {0x40, "7"}, {0x80, "8"},
                                             {0x03, ""},  {0xFF, ""}};
        for (const auto &[reading, key] : low)
            QTest::addRow("low %02x", reading) << 1 << reading << key;
        const QList<QPair<int, QString>> high{{0x01, "9"}, {0x02, "*"}, {0x04, "0"}, {0x08, "#"},
                                              {0x10, ""},  {0x80, ""},  {0x0C, ""}};
        for (const auto &[reading, key] : high)
            QTest::addRow("high %02x", reading) << 2 << reading << key;
    }
    void keysAreRecognisedOnlyByASingleBit()
    {
        QFETCH(int, keypadRegister);
        QFETCH(int, reading);
        QFETCH(QString, key);
        const std::optional<char> found = keypadKey(KeypadRegister(keypadRegister), quint8(reading));
        QCOMPARE(found ? QString(QChar(*found)) : QString(), key);
    }
};

QTEST_MAIN(DisplayPanelTest)
#include "tst_display.moc"
