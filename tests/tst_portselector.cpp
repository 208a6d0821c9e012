#include "portcombo.h"
#include "portselector.h"
#include "pseudoterminal.h"
#include "serialline.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <map>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace kestrava;
using kestrava::test::PseudoTerminal;

// Start-up and port change with COM ports backed by pseudo-terminals and a private
// settings folder. COM1..COM4, COM12 and COM16 exist; COM5 does not.
class PortSelectorTest : public QObject
{
    Q_OBJECT
    QTemporaryDir configHome;
    std::map<int, std::unique_ptr<PseudoTerminal>> ports;
    QStringList messages;

    QString settingsPath() const { return configHome.filePath(QStringLiteral("Kestrava/Kestrava.conf")); }

    // QSettings re-reads a file only when its size or time stamp changed, and two rows
    // can be written within the same millisecond: trailing blank lines, one more each
    // time, make every file differ in size from the one before.
    void writeSettingsFile(const QByteArray &contents)
    {
        static int written = 0;
        QDir().mkpath(configHome.filePath(QStringLiteral("Kestrava")));
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents + QByteArray(1 + ++written % 8, '\n'));
    }

    struct Start
    {
        std::unique_ptr<SerialLine> line = std::make_unique<SerialLine>();
        std::unique_ptr<PortCombo> combo = std::make_unique<PortCombo>();
        std::unique_ptr<PortSelector> selector;
    };
    std::unique_ptr<Start> start()
    {
        auto s = std::make_unique<Start>();
        s->selector = std::make_unique<PortSelector>(*s->line, *s->combo,
                                                     [this](const QString &text) { messages << text; });
        s->selector->Form_Load();
        return s;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(configHome.isValid());
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        for (int n : {1, 2, 3, 4, 12, 16}) {
            ports[n] = std::make_unique<PseudoTerminal>();
            QVERIFY(ports[n]->isValid());
            test::mapComPort(n, ports[n]->devicePath());
        }
        test::mapComPort(5, QStringLiteral("/dev/kestrava-no-such-device"));
    }
    void init()
    {
        messages.clear();
        QFile::remove(settingsPath());
        // QSettings keeps what it last parsed for a file, and keeps it when a later
        // version of the file does not parse: let it see the file gone, so no row
        // inherits the value of the row before. (A real start reads only once.)
        QSettings(QStringLiteral("Kestrava"), QStringLiteral("Kestrava")).value(QStringLiteral("ajustes/puerto"));
    }

    void withNoSettingComOneOpensAndNothingIsWritten()
    {
        auto s = start();
        QVERIFY(s->line->isOpen());
        QCOMPARE(s->line->commPort(), 1);
        QCOMPARE(s->combo->currentText(), QStringLiteral("Com1"));
        QVERIFY(messages.isEmpty());
        QVERIFY(!QFile::exists(settingsPath()));
    }

    void theSavedTextChoosesThePort_data()
    {
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("message");
        QTest::newRow("3") << QByteArray("3") << 3 << "Com3" << false;
        QTest::newRow("leading blank") << QByteArray("\" 3\"") << 3 << "Com3" << false;
        QTest::newRow("3abc") << QByteArray("3abc") << 3 << "Com3" << false;
        QTest::newRow("&H3") << QByteArray("&H3") << 3 << "Com3" << false;
        QTest::newRow("0") << QByteArray("0") << 1 << "Com1" << false;
        QTest::newRow("17") << QByteArray("17") << 1 << "Com1" << false;
        QTest::newRow("-2") << QByteArray("-2") << 1 << "Com1" << false;
        QTest::newRow("abc") << QByteArray("abc") << 1 << "Com1" << false;
        QTest::newRow("empty") << QByteArray("") << 1 << "Com1" << false;
        QTest::newRow("2.5 ties to even") << QByteArray("2.5") << 2 << "Com2" << false;
        QTest::newRow("3.5 ties to even") << QByteArray("3.5") << 4 << "Com4" << false;
        QTest::newRow("16.4 opens but is not in the list") << QByteArray("16.4") << 16 << "Puerto" << true;
        QTest::newRow("12 opens but is not in the list") << QByteArray("12") << 12 << "Puerto" << true;
        QTest::newRow("99999 overflows") << QByteArray("99999") << 1 << "Com1" << true;
        QTest::newRow("&HFFFFF overflows") << QByteArray("&HFFFFF") << 1 << "Com1" << true;
        QTest::newRow("a list") << QByteArray("3, 4") << 3 << "Com3" << false;
        QTest::newRow("binary junk") << QByteArray("\x01\xff\xfe\x00\x80@Variant(\x7f") << 1 << "Com1" << false;
        QTest::newRow("a megabyte of digits") << QByteArray(1 << 20, '7') << 1 << "Com1" << true;
    }
    void theSavedTextChoosesThePort()
    {
        QFETCH(QByteArray, saved);
        QFETCH(int, port);
        QFETCH(QString, shown);
        QFETCH(bool, message);
        writeSettingsFile("[ajustes]\npuerto=" + saved + "\n");
        auto s = start();
        QCOMPARE(s->line->commPort(), port);
        QVERIFY(s->line->isOpen());
        QCOMPARE(s->combo->currentText(), shown);
        QCOMPARE(messages, message ? QStringList{QString::fromUtf16(StartupPortMessage)} : QStringList{});
    }

    void aMissingPortGivesTheStartupMessage()
    {
        writeSettingsFile("[ajustes]\npuerto=5\n");
        auto s = start();
        QVERIFY(!s->line->isOpen());
        QCOMPARE(messages, QStringList{QStringLiteral("Número de Puerto invalido. Seleccione un puerto valido")});
    }

    void aBusyPortGivesTheStartupMessage()
    {
        SerialLine otherProgram;
        otherProgram.setCommPort(3);
        QVERIFY(otherProgram.open());
        writeSettingsFile("[ajustes]\npuerto=3\n");
        auto s = start();
        QVERIFY(!s->line->isOpen());
        QCOMPARE(messages, QStringList{QString::fromUtf16(StartupPortMessage)});
    }

    void anUnreadableSettingsFileFallsBackToComOne()
    {
        QDir().mkpath(settingsPath()); // a folder where the file should be
        auto s = start();
        QDir(settingsPath()).removeRecursively();
        QCOMPARE(s->line->commPort(), 1);
        QVERIFY(s->line->isOpen());
        QVERIFY(messages.isEmpty());
    }

    void choosingComTwoReopensAndSaves()
    {
        auto s = start();
        s->combo->setListIndex(1);
        s->selector->ComboCom_LostFocus();
        QCOMPARE(s->line->commPort(), 2);
        QVERIFY(s->line->isOpen());
        QVERIFY(messages.isEmpty());
        QCOMPARE(QSettings(QStringLiteral("Kestrava"), QStringLiteral("Kestrava")).value("ajustes/puerto").toString(),
                 QStringLiteral("2"));
        // The next start opens the saved port.
        s.reset();
        auto next = start();
        QCOMPARE(next->line->commPort(), 2);
    }

    void choosingTheOpenPortAgainReopensIt()
    {
        auto s = start();
        s->combo->setListIndex(0);
        s->selector->ComboCom_LostFocus();
        QVERIFY(s->line->isOpen());
        QCOMPARE(s->line->commPort(), 1);
        QVERIFY(messages.isEmpty());
    }

    void choosingAMissingPortSavesItAndReports()
    {
        auto s = start();
        s->combo->setListIndex(4);
        s->selector->ComboCom_LostFocus();
        QVERIFY(!s->line->isOpen());
        QCOMPARE(messages, QStringList{QStringLiteral("Número de Puerto Invalido. Seleccione otro puerto")});
        QCOMPARE(QSettings(QStringLiteral("Kestrava"), QStringLiteral("Kestrava")).value("ajustes/puerto").toString(),
                 QStringLiteral("5"));
        // Choosing a port that exists recovers.
        messages.clear();
        s->combo->setListIndex(2);
        s->selector->ComboCom_LostFocus();
        QVERIFY(s->line->isOpen());
        QVERIFY(messages.isEmpty());
    }

    void typedTextSavesZeroAndLeavesThePortClosed()
    {
        auto s = start();
        s->combo->setFocus();
        QTest::keyClicks(s->combo.get(), QStringLiteral("Com2"));
        QCOMPARE(s->combo->listIndex(), -1);
        QCOMPARE(s->combo->count(), 8);
        s->selector->ComboCom_LostFocus();
        QVERIFY(!s->line->isOpen());
        QCOMPARE(messages, QStringList{QString::fromUtf16(PortChangeMessage)});
        QCOMPARE(QSettings(QStringLiteral("Kestrava"), QStringLiteral("Kestrava")).value("ajustes/puerto").toString(),
                 QStringLiteral("0"));
        auto next = start();
        QCOMPARE(next->line->commPort(), 1);
    }

    void theOpenLineRuns19200Baud8DataBitsNoParity2StopBitsRaw()
    {
        auto s = start();
        QVERIFY(s->line->isOpen());
        // The settings live with the terminal, so a second look at the device sees them.
        const int fd = ::open(QFile::encodeName(ports[1]->devicePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        termios settings{};
        const int got = ::tcgetattr(fd, &settings);
        ::close(fd);
        QCOMPARE(got, 0);
        QCOMPARE(::cfgetispeed(&settings), speed_t(B19200));
        QCOMPARE(::cfgetospeed(&settings), speed_t(B19200));
        QCOMPARE(settings.c_cflag & CSIZE, tcflag_t(CS8));
        QVERIFY(settings.c_cflag & CSTOPB);
        QVERIFY(!(settings.c_cflag & PARENB));
        QVERIFY(!(settings.c_cflag & CRTSCTS));
        QVERIFY(!(settings.c_lflag & (ICANON | ECHO | ISIG)));
        QVERIFY(!(settings.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP)));
        QVERIFY(!(settings.c_oflag & OPOST));
    }

    void aRefusedOpenDoesNotCrashForDevicesThatAreNoTty_data()
    {
        QTest::addColumn<QString>("device");
        QTest::newRow("regular file") << QStringLiteral("/etc/hostname");
        QTest::newRow("folder") << QStringLiteral("/tmp");
        QTest::newRow("empty name") << QString();
    }
    void aRefusedOpenDoesNotCrashForDevicesThatAreNoTty()
    {
        QFETCH(QString, device);
        test::mapComPort(7, device.isEmpty() ? QStringLiteral("/dev/kestrava-missing") : device);
        SerialLine line;
        QVERIFY(line.setCommPort(7));
        QVERIFY(!line.open());
        QVERIFY(!line.isOpen());
        QVERIFY(!line.output(QByteArray::fromHex("55")));
        QCOMPARE(line.inBufferCount(), 0);
    }
};

QTEST_MAIN(PortSelectorTest)
#include "tst_portselector.moc"
