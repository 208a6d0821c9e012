#include "panel/portcombo.h"
#include "tests/support/pseudoterminal.h"
#include "tests/support/simulatedpanel.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

#include <map>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace kestrava;
using kestrava::test::PseudoTerminal;
using kestrava::test::SimulatedPanel;

namespace {
const QString StartupMessage = QStringLiteral("Número de Puerto invalido. Seleccione un puerto valido");
const QString ChangeMessage = QStringLiteral("Número de Puerto Invalido. Seleccione otro puerto");
constexpr char Folder[] = "<a folder>";
const QString Adapter = QStringLiteral("Módulos I2C por adaptador USB");
} // namespace

// The window's start-up and port change, with COM1..COM4, COM9 and COM16 on
// pseudo-terminals (another program holds COM4); COM5 does not exist, COM6 is a
// plain file and COM7 a folder.
class StartupTest : public QObject
{
    Q_OBJECT
    std::map<int, std::unique_ptr<PseudoTerminal>> ports;
    std::unique_ptr<SimulatedPanel> rig;
    SerialLine otherProgram; // holds COM4 open

    // QSettings re-reads a file only when its size or time stamp changed, and two rows
    // can be written within the same millisecond: trailing blank lines, one more each
    // time, make every file differ in size from the one before.
    static void writeSettings(const QByteArray &contents)
    {
        static int written = 0;
        const QString path = SimulatedPanel::settingsFile();
        if (contents == Folder) {
            QVERIFY(QDir().mkpath(path));
            return;
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents + QByteArray(1 + ++written % 8, '\n'));
    }
    static QString savedPort()
    {
        return QSettings(QStringLiteral("Kestrava"), QStringLiteral("Kestrava")).value("ajustes/puerto").toString();
    }
    void openWindow()
    {
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->openPanel());
    }

private slots:
    void initTestCase()
    {
        SimulatedPanel::prepareProgram();
        for (int n : {1, 2, 3, 4, 9, 16}) {
            ports[n] = std::make_unique<PseudoTerminal>();
            QVERIFY(ports[n]->isValid());
            test::mapComPort(n, ports[n]->devicePath());
        }
        test::mapComPort(5, QStringLiteral("/dev/kestrava-no-such-device"));
        test::mapComPort(6, QStringLiteral("/etc/hostname"));
        test::mapComPort(7, QStringLiteral("/tmp"));
        otherProgram.setCommPort(4);
        QVERIFY(otherProgram.open());
    }
    void init()
    {
        const QString path = SimulatedPanel::settingsFile();
        QDir(path).removeRecursively();
        QFile::remove(path);
        // QSettings keeps what it last parsed for a file, and keeps it when a later
        // version does not parse: let it see the file gone, so no row inherits the
        // value of the row before. (A real start reads only once.)
        savedPort();
    }
    void cleanup() { rig.reset(); }

    void theSavedTextChoosesThePort_data()
    {
        QTest::addColumn<QByteArray>("saved"); // the value of ajustes/puerto, or the whole file
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("message");
        QTest::addColumn<QString>("banner");
        QTest::newRow("nothing saved") << QByteArray() << 1 << true << "Com1" << false << Adapter;
        QTest::newRow("3") << QByteArray("puerto=3") << 3 << true << "Com3" << false << Adapter;
        QTest::newRow("leading blank") << QByteArray("puerto=\" 3\"") << 3 << true << "Com3" << false << Adapter;
        QTest::newRow("3abc") << QByteArray("puerto=3abc") << 3 << true << "Com3" << false << Adapter;
        QTest::newRow("a list") << QByteArray("puerto=3, 4") << 3 << true << "Com3" << false << Adapter;
        QTest::newRow("0") << QByteArray("puerto=0") << 1 << true << "Com1" << false << Adapter;
        QTest::newRow("17") << QByteArray("puerto=17") << 1 << true << "Com1" << false << Adapter;
        QTest::newRow("1.5 ties to even") << QByteArray("puerto=1.5") << 2 << true << "Com2" << false << Adapter;
        QTest::newRow("16.4 opens but is not in the list") << QByteArray("puerto=16.4") << 16 << true << "Puerto"
                                                           << true << Adapter;
        QTest::newRow("99999 overflows") << QByteArray("puerto=99999") << 1 << true << "Com1" << true << Adapter;
        QTest::newRow("a megabyte of digits") << "puerto=" + QByteArray(1 << 20, '7') << 1 << true << "Com1" << true
                                              << Adapter;
        QTest::newRow("binary junk") << QByteArray("puerto=\x01\xff\xfe\x00\x80@Variant(\x7f", 22) << 1 << true
                                     << "Com1" << false << Adapter;
        QTest::newRow("a folder where the file should be") << QByteArray(Folder) << 1 << true << "Com1" << false
                                                           << Adapter;
        // The banner says that no port is open, and which one failed.
        QTest::newRow("a missing device") << QByteArray("puerto=5") << 5 << false << "Com5" << true
                                          << "SIN PUERTO — COM5 (/dev/kestrava-no-such-device) no se pudo abrir";
        QTest::newRow("a plain file") << QByteArray("puerto=6") << 6 << false << "Com6" << true
                                      << "SIN PUERTO — COM6 (/etc/hostname) no se pudo abrir";
        QTest::newRow("a folder") << QByteArray("puerto=7") << 7 << false << "Com7" << true
                                  << "SIN PUERTO — COM7 (/tmp) no se pudo abrir";
        QTest::newRow("a device another program holds")
            << QByteArray("puerto=4") << 4 << false << "Com4" << true
            << "SIN PUERTO — COM4 (" + ports[4]->devicePath() + ") no se pudo abrir";
        QTest::newRow("9 opens but is not in the list") << QByteArray("puerto=9") << 9 << true << "Puerto" << true
                                                       << Adapter;
    }
    void theSavedTextChoosesThePort()
    {
        QFETCH(QByteArray, saved);
        QFETCH(int, port);
        QFETCH(bool, open);
        QFETCH(QString, shown);
        QFETCH(bool, message);
        QFETCH(QString, banner);
        if (!saved.isEmpty())
            writeSettings(saved == Folder ? saved : "[ajustes]\n" + saved);
        openWindow();
        QCOMPARE(rig->panel().line().commPort(), port);
        QCOMPARE(rig->panel().line().isOpen(), open);
        QCOMPARE(rig->text(QStringLiteral("ComboCom")), shown);
        QCOMPARE(rig->messages, message ? QStringList{StartupMessage} : QStringList{});
        QCOMPARE(rig->control(QStringLiteral("Picture2"))->accessibleName(), banner);
        if (saved.isEmpty())
            QVERIFY(!QFile::exists(SimulatedPanel::settingsFile())); // a start saves nothing
    }


    // Choosing in ComboCom does nothing until the focus leaves it; then the port is
    // closed, renumbered, reopened and saved, before the control that took the
    // focus runs.
    void leavingComboComChangesThePort_data()
    {
        QTest::addColumn<QString>("typed"); // arrow keys as v and ^, or text
        QTest::addColumn<QString>("leaveBy");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<bool>("message");
        QTest::addColumn<QString>("banner");
        QTest::newRow("Com2, by Tab") << "v" << "Tab" << 2 << true << "2" << false << Adapter;
        QTest::newRow("Com2, by a click") << "v" << "Command3" << 2 << true << "2" << false << Adapter;
        QTest::newRow("missing Com5, saved all the same")
            << "vvvv" << "Command3" << 5 << false << "5" << true
            << "SIN PUERTO — COM5 (/dev/kestrava-no-such-device) no se pudo abrir";
        QTest::newRow("typed text saves 0") << "Com2" << "Tab" << 0 << false << "0" << true
                                            << "SIN PUERTO — ningún puerto elegido";
        QTest::newRow("the open Com1 again, reopened and saved") << "v^" << "Tab" << 1 << true << "1" << false
                                                                 << Adapter;
    }
    void leavingComboComChangesThePort()
    {
        QFETCH(QString, typed);
        QFETCH(QString, leaveBy);
        QFETCH(int, port);
        QFETCH(bool, open);
        QFETCH(QString, saved);
        QFETCH(bool, message);
        QFETCH(QString, banner);
        openWindow();
        auto *combo = rig->control<PortCombo>(QStringLiteral("ComboCom"));
        combo->setFocus();
        QTRY_VERIFY(combo->hasFocus());
        if (typed.startsWith(u'v')) {
            for (QChar key : typed)
                QTest::keyClick(combo, key == u'v' ? Qt::Key_Down : Qt::Key_Up);
        } else {
            QTest::keyClicks(combo, typed);
        }
        QCOMPARE(rig->panel().line().commPort(), 1); // nothing yet
        if (leaveBy == u"Tab")
            QTest::keyClick(combo, Qt::Key_Tab);
        else
            rig->click(leaveBy);
        QCOMPARE(rig->panel().line().isOpen(), open);
        QCOMPARE(rig->messages, message ? QStringList{ChangeMessage} : QStringList{});
        QCOMPARE(rig->control(QStringLiteral("Picture2"))->accessibleName(), banner);
        QCOMPARE(savedPort(), saved);
        if (open)
            QCOMPARE(rig->panel().line().commPort(), port);
        if (leaveBy != u"Tab" && open) // the click's frame went to the new port
            QTRY_COMPARE(ports[port]->received().toHex(), QByteArray("55b0000180"));
        ports[port > 0 && open ? port : 1]->takeReceived();

        // The next start opens what was saved, or COM1 for a port out of its range.
        openWindow();
        QCOMPARE(rig->panel().line().commPort(), port == 0 ? 1 : port);
    }

    void theLineRuns19200Baud8DataBitsNoParity2StopBitsRaw()
    {
        openWindow();
        QVERIFY(rig->panel().line().isOpen());
        // The settings live with the terminal, so a second look at the device sees them.
        const int fd = ::open(QFile::encodeName(ports[1]->devicePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        termios settings{};
        const int got = ::tcgetattr(fd, &settings);
        ::close(fd);
        QCOMPARE(got, 0);
        QCOMPARE(::cfgetispeed(&settings), speed_t(B19200));
        QCOMPARE(::cfgetospeed(&settings), speed_t(B19200));
        // 8 data bits, 2 stop bits, no parity, no flow control; nothing edited or translated.
        QCOMPARE(settings.c_cflag & (CSIZE | CSTOPB | PARENB | CRTSCTS), tcflag_t(CS8 | CSTOPB));
        QCOMPARE(settings.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(settings.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), tcflag_t(0));
        QCOMPARE(settings.c_oflag & OPOST, tcflag_t(0));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
