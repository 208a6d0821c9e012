#include "portcombo.h"
#include "portselector.h"
#include "simulatedpanel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTest>

using namespace kestrava;
using kestrava::test::SimulatedPanel;

namespace {

QList<QByteArray> framesFromHex(const QStringList &hex)
{
    QList<QByteArray> frames;
    for (const QString &h : hex)
        frames << QByteArray::fromHex(h.toLatin1());
    return frames;
}

QByteArray binaryJunk()
{
    QRandomGenerator generator(8);
    QByteArray junk(4096, '\0');
    for (char &byte : junk)
        byte = char(generator.bounded(256));
    return junk;
}

} // namespace

// Hostile input from outside: the saved settings and the text boxes.
class EndToEndHostileInputTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;

    static bool replaceSettings(const QByteArray &content, bool asFolder)
    {
        const QString path = SimulatedPanel::settingsFile();
        QDir(path).removeRecursively();
        QFile::remove(path);
        if (asFolder)
            return QDir().mkpath(path);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }

private slots:
    void initTestCase() { SimulatedPanel::prepareProgram(); }
    void init()
    {
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->startSimulator());
    }
    void cleanup()
    {
        rig.reset();
        QVERIFY(replaceSettings({}, false));
    }

    void aHostileSettingsFileGivesPortOneAndNoCrash_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("asFolder");
        QTest::addColumn<bool>("message");
        QTest::newRow("binary junk") << binaryJunk() << false << false;
        QTest::newRow("1 MB of digits") << "[ajustes]\npuerto=" + QByteArray(1 << 20, '7') + "\n" << false << true;
        QTest::newRow("1 MB of letters") << "[ajustes]\npuerto=" + QByteArray(1 << 20, 'x') + "\n" << false << false;
        QTest::newRow("99999") << QByteArray("[ajustes]\npuerto=99999\n") << false << true;
        QTest::newRow("&HFFFFF") << QByteArray("[ajustes]\npuerto=&HFFFFF\n") << false << true;
        QTest::newRow("a folder where the file should be") << QByteArray() << true << false;
    }
    void aHostileSettingsFileGivesPortOneAndNoCrash()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, asFolder);
        QFETCH(bool, message);
        QVERIFY(replaceSettings(content, asFolder));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig->openPanel());
        qInfo("%s: window up in %lld ms", QTest::currentDataTag(), clock.elapsed());
        QCOMPARE(rig->panel().line().commPort(), 1);
        QVERIFY(rig->panel().line().isOpen());
        QCOMPARE(rig->control<PortCombo>(QStringLiteral("ComboCom"))->currentText(), QStringLiteral("Com1"));
        const QStringList expected = message ? QStringList{QString::fromUtf16(StartupPortMessage)} : QStringList{};
        QCOMPARE(rig->messages, expected);
        KESTRAVA_VERIFY_SOUND(*rig);
    }

    void addressBoxesTakeOnlyWhatTheNumberReadingGives_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("fresh");
        QTest::addColumn<QStringList>("frames"); // none: refused
        QTest::addColumn<QString>("refusedBox");

        const QStringList toE0{"55e00001a0", "55e00001aa", "55e00001a5"};
        QTest::newRow("10,000 hex digits") << "E0" << QString(10000, u'E') << QStringList{} << "TxtNueDir";
        QTest::newRow("10,000 characters after an address")
            << "E0" + QString(9998, u'x') << "F0" << toE0 + QStringList{"55e00001f0"} << "";
        QTest::newRow("blanks and line breaks are dropped")
            << "\tE\r\n0 " << "F 2" << toE0 + QStringList{"55e00001f2"} << "";
        QTest::newRow("a control character ends the number")
            << "E0" << QString::fromUtf16(u"F\u00012") << toE0 + QStringList{"55e000010f"} << "";
        QTest::newRow("non-Latin-1 text reads as 0")
            << "E0" << QString::fromUtf16(u"\u04012") << toE0 + QStringList{"55e0000100"} << "";
        QTest::newRow("non-Latin-1 current address")
            << QString::fromUtf16(u"\u4e2d") << "F0"
            << QStringList{"55000001a0", "55000001aa", "55000001a5", "55000001f0"} << "";
        QTest::newRow("10,000 characters of nothing") << QString(10000, QChar(0x7f)) << "FFFF" << QStringList{}
                                                      << "TxtNueDir";
        QTest::newRow("current address beyond a byte") << "100" << "F0" << QStringList{} << "TxtActDir";
    }
    void addressBoxesTakeOnlyWhatTheNumberReadingGives()
    {
        QFETCH(QString, current);
        QFETCH(QString, fresh);
        QFETCH(QStringList, frames);
        QFETCH(QString, refusedBox);
        QVERIFY(rig->openPanel());
        rig->control<QLineEdit>(QStringLiteral("TxtActDir"))->setText(current);
        rig->control<QLineEdit>(QStringLiteral("TxtNueDir"))->setText(fresh);
        rig->clearRecord();
        QElapsedTimer clock;
        clock.start();
        rig->click(QStringLiteral("CmdDireccion"));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(test::hexLines(rig->sentFrames()), test::hexLines(framesFromHex(frames)));
        if (!refusedBox.isEmpty())
            QVERIFY(rig->control(refusedBox)->hasFocus());
        // The boxes keep what they hold.
        QCOMPARE(rig->text(QStringLiteral("TxtActDir")), current);
        QCOMPARE(rig->text(QStringLiteral("TxtNueDir")), fresh);
        KESTRAVA_VERIFY_SOUND(*rig);
    }

    void theDisplayTextGoesOutAsAtMost40Bytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("frame");
        QString tenThousand;
        for (int i = 0; i < 10000; ++i)
            tenThousand.append(QChar(u'a' + i % 26));
        QTest::newRow("10,000 characters")
            << tenThousand << "55c60028" "6162636465666768696a6b6c6d6e6f707172737475767778797a6162636465666768696a6b6c6d6e";
        QTest::newRow("control characters") << QString::fromLatin1("\x0c\x01" "A\x7f") << "55c600040c01417f";
        QTest::newRow("non-Latin-1 text") << QString::fromUtf16(u"\u03a9\u00f1\U0001F600\u00e9") << "55c600043ff13fe9";
        QTest::newRow("45 characters beyond the basic plane")
            << QString::fromUtf16(u"\U0001F600").repeated(45) << "55c60028" + QStringLiteral("3f").repeated(40);
    }
    void theDisplayTextGoesOutAsAtMost40Bytes()
    {
        QFETCH(QString, text);
        QFETCH(QString, frame);
        QVERIFY(rig->openPanel());
        rig->control<QLineEdit>(QStringLiteral("TxtLCD03"))->setText(text);
        rig->clearRecord();
        rig->click(QStringLiteral("CmdLCD03_1"));
        QCOMPARE(test::hexLines(rig->sentFrames()), test::hexLines(framesFromHex({frame})));
        QCOMPARE(rig->timeOuts(), 0);
        QCOMPARE(rig->text(QStringLiteral("TxtLCD03")), text);
        KESTRAVA_VERIFY_SOUND(*rig);
    }
};

QTEST_MAIN(EndToEndHostileInputTest)
#include "tst_e2einput.moc"
