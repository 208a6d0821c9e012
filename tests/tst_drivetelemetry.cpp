#include "driverig.h"

#include <QHash>
#include <QTimer>

using namespace kestrava::test;

namespace {

const char *const Labels[] = {"LblConta1", "LblConta2", "LblBateria", "LblVersionMD23", "LblCon1", "LblCon2"};

// Registers 2 to 13 of the MD23, in register order.
void setRegisters(ScriptedAdapter &adapter, const QByteArray &twelveBytes)
{
    for (int i = 0; i < twelveBytes.size(); ++i)
        adapter.setRegister(0xB0, quint8(2 + i), quint8(twelveBytes[i]));
}

} // namespace

class DriveTelemetryTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void readsTwelveRegistersVersionBeforeCurrents()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        rig.click("CmdLeerDatos_Click");
        QCOMPARE(rig.frames(), hexFrames({"55b10201", "55b10301", "55b10401", "55b10501",
                                          "55b10601", "55b10701", "55b10801", "55b10901",
                                          "55b10a01", "55b10d01", "55b10b01", "55b10c01"}));
        QCOMPARE(rig.overlaps.count(), 0);
    }

    void registerBytesShowInTheirLabels_data()
    {
        QTest::addColumn<QByteArray>("registers"); // 2..13
        QTest::addColumn<QStringList>("captions"); // in the order of Labels
        QTest::newRow("256, 1.677722E+07")
            << QByteArray::fromHex("00000100" "01000000" "79" "05" "ff" "05")
            << QStringList{"256", "1.677722E+07", "12.1", "5", "0.5", "25.5"};
        QTest::newRow("unsigned count, 9999999")
            << QByteArray::fromHex("ffffffff" "0098967f" "00" "00" "00" "ff")
            << QStringList{"4.294967E+09", "9999999", "0", "255", "0", "0"};
        QTest::newRow("1E+07")
            << QByteArray::fromHex("00000000" "00989680" "ff" "0a" "01" "00")
            << QStringList{"0", "1E+07", "25.5", "0", "1", "0.1"};
    }
    void registerBytesShowInTheirLabels()
    {
        QFETCH(QByteArray, registers);
        QFETCH(QStringList, captions);
        DriveRig rig;
        QVERIFY(rig.ready());
        setRegisters(rig.adapter, registers);
        rig.click("CmdLeerDatos_Click");
        for (int i = 0; i < captions.size(); ++i)
            QCOMPARE(rig.caption(Labels[i]), captions[i]);
    }

    void separatorIsTheUsersLocale()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        setRegisters(rig.adapter, QByteArray::fromHex("00000100" "00000000" "79" "0c" "05" "0f"));
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
        rig.click("CmdLeerDatos_Click");
        QLocale::setDefault(QLocale::c());
        QCOMPARE(rig.caption("LblBateria"), QStringLiteral("12,1"));
        QCOMPARE(rig.caption("LblCon1"), QStringLiteral("1,2"));
        QCOMPARE(rig.caption("LblConta1"), QStringLiteral("256"));
        QCOMPARE(rig.caption("LblVersionMD23"), QStringLiteral("15"));
    }

    void eachLabelIsSetAsSoonAsItsValueIsComplete()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        setRegisters(rig.adapter, QByteArray::fromHex("00000100" "00000200" "79" "0c" "05" "0f"));
        QHash<QByteArray, QStringList> shownWhenSent;
        connect(&rig.adapter, &ScriptedAdapter::frameReceived, this, [&](const QByteArray &frame) {
            QStringList shown;
            for (const char *label : Labels)
                shown << rig.caption(label);
            shownWhenSent.insert(frame.toHex(), shown);
        });
        rig.click("CmdLeerDatos_Click");
        QCOMPARE(shownWhenSent.value("55b10601"), (QStringList{"256", "", "", "", "", ""}));
        QCOMPARE(shownWhenSent.value("55b10d01"), (QStringList{"256", "512", "12.1", "", "", ""}));
        QCOMPARE(shownWhenSent.value("55b10c01"), (QStringList{"256", "512", "12.1", "15", "1.2", ""}));
    }

    // A register that never answers leaves ReplyBuffer[0] as the previous read
    // left it; the click goes on and still sets every label.
    void timeOutInTheMiddleUsesTheStaleByte()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        setRegisters(rig.adapter, QByteArray::fromHex("00010203" "00000007" "78" "0c" "0d" "02"));
        rig.adapter.setResponder([&](const QByteArray &frame) -> QByteArray {
            if (frame == QByteArray::fromHex("55b10401"))
                return {};
            return QByteArray(1, char(rig.adapter.registerValue(0xB0, quint8(frame[2]))));
        });
        rig.click("CmdLeerDatos_Click");
        QCOMPARE(rig.caption("LblConta1"), QStringLiteral("65795")); // 00 01 01 03
        QCOMPARE(rig.caption("LblConta2"), QStringLiteral("7"));
        QCOMPARE(rig.caption("LblBateria"), QStringLiteral("12"));
        QCOMPARE(rig.caption("LblVersionMD23"), QStringLiteral("2"));
        QCOMPARE(rig.caption("LblCon1"), QStringLiteral("1.2"));
        QCOMPARE(rig.caption("LblCon2"), QStringLiteral("1.3"));
        QCOMPARE(rig.frames().size(), 12);
    }

    void lateAnswerDoesNotLeakIntoTheNextClick()
    {
        DriveRig rig;
        QVERIFY(rig.ready());
        setRegisters(rig.adapter, QByteArray::fromHex("00010203" "00000007" "78" "0c" "0d" "02"));
        bool lateOnce = true;
        bool lateByteWritten = false;
        rig.adapter.setResponder([&](const QByteArray &frame) -> QByteArray {
            if (frame == QByteArray::fromHex("55b10401") && lateOnce) {
                lateOnce = false;
                QTimer::singleShot(700, &rig.pty, [&] {
                    rig.pty.write(QByteArray::fromHex("ee"));
                    lateByteWritten = true;
                });
                return {};
            }
            return QByteArray(1, char(rig.adapter.registerValue(0xB0, quint8(frame[2]))));
        });
        rig.click("CmdLeerDatos_Click");
        QVERIFY(QTest::qWaitFor([&] { return lateByteWritten; }, 2000));
        QVERIFY(QTest::qWaitFor([&] { return rig.line.inBufferCount() == 1; }, 1000));
        rig.click("CmdLeerDatos_Click");
        QCOMPARE(rig.caption("LblConta1"), QStringLiteral("66051")); // 00 01 02 03
        QCOMPARE(rig.caption("LblConta2"), QStringLiteral("7"));
        QCOMPARE(rig.caption("LblBateria"), QStringLiteral("12"));
        QCOMPARE(rig.caption("LblVersionMD23"), QStringLiteral("2"));
        QCOMPARE(rig.caption("LblCon1"), QStringLiteral("1.2"));
        QCOMPARE(rig.caption("LblCon2"), QStringLiteral("1.3"));
    }
};

QTEST_MAIN(DriveTelemetryTest)
#include "tst_drivetelemetry.moc"
