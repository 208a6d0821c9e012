#include "pseudoterminal.h"
#include "serialline.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>

using namespace kestrava;

namespace {

QStringList warnings;

void recordWarning(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        warnings << message;
}

} // namespace

// On open the line asks the driver for low latency, carries on where it is refused, and
// names the fix on standard error only when the chip's latency timer still holds answers back.
class LowLatencyTest : public QObject
{
    Q_OBJECT
    test::PseudoTerminal far;
    QTemporaryDir folder;
    QtMessageHandler previousHandler = nullptr;

    // COM1 leads through a link, as /dev/serial/by-id names do, to the pseudo-terminal.
    QString link() const { return folder.filePath(QStringLiteral("adapter")); }
    QString fakeTimerFile() const
    {
        return folder.filePath(QStringLiteral("sys/class/tty/%1/device/latency_timer")
                                   .arg(QFileInfo(far.devicePath()).fileName()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(far.isValid());
        QVERIFY(QFile::link(far.devicePath(), link()));
        test::mapComPort(1, link());
        QVERIFY(QDir().mkpath(QFileInfo(fakeTimerFile()).path()));
    }
    void init()
    {
        warnings.clear();
        previousHandler = qInstallMessageHandler(recordWarning);
    }
    void cleanup() { qInstallMessageHandler(previousHandler); }

    void lowLatencyIsAskedForAndTheTooSlowTimerNamed_data()
    {
        QTest::addColumn<int>("getErrno"); // 0: the driver call succeeds
        QTest::addColumn<int>("setErrno");
        QTest::addColumn<QString>("calls");        // with the flags handed over, in hex
        QTest::addColumn<QByteArray>("timerFile"); // what the chip's timer reads; "-": no such file
        QTest::addColumn<QString>("hint");         // in the one line expected; empty: no line
        const QString both = QStringLiteral("get 00001040; set 00003040");
        QTest::newRow("granted, timer 1 ms") << 0 << 0 << both << QByteArray("1\n") << "";
        QTest::newRow("change refused, timer 16 ms") << 0 << EPERM << both << QByteArray("16\n")
            << "up to 16 ms (its latency timer), so a telemetry click takes about 227 ms instead of 35 ms";
        QTest::newRow("granted, timer 2 ms") << 0 << 0 << both << QByteArray("2") << "up to 2 ms";
        QTest::newRow("pseudo-terminal: no such setting, no timer") << ENOTTY << 0 << "get 00001040"
                                                                    << QByteArray("-") << "";
        QTest::newRow("unreadable timer") << 0 << 0 << both << QByteArray("sixteen") << "";
        QTest::newRow("empty timer") << 0 << 0 << both << QByteArray("") << "";
    }
    void lowLatencyIsAskedForAndTheTooSlowTimerNamed()
    {
        QFETCH(int, getErrno);
        QFETCH(int, setErrno);
        QFETCH(QString, calls);
        QFETCH(QByteArray, timerFile);
        QFETCH(QString, hint);
        QFile::remove(fakeTimerFile());
        QFile file(fakeTimerFile());
        if (timerFile != "-")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(timerFile) == timerFile.size());
        file.close();
        QStringList seen;
        SerialLine line;
        line.setTuning({folder.filePath(QStringLiteral("sys")), [&](int, unsigned long request, void *argument) {
            auto *settings = static_cast<serial_struct *>(argument);
            const bool get = request == TIOCGSERIAL;
            if (get)
                settings->flags = 0x1040; // flags of its own, to be kept
            const char *name = get ? "get" : request == TIOCSSERIAL ? "set" : "other";
            seen << QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(settings->flags, 8, 16, QLatin1Char('0'));
            errno = get ? getErrno : setErrno;
            return errno ? -1 : 0;
        }});
        QVERIFY(line.open());
        QCOMPARE(seen.join(QLatin1String("; ")), calls);
        QVERIFY(line.output(QByteArray::fromHex("55e00001"))); // the port works whatever the driver said
        QVERIFY(far.waitForReceived(4));
        QCOMPARE(far.takeReceived().toHex(), QByteArray("55e00001"));
        if (hint.isEmpty()) {
            QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(u'\n')));
            return;
        }
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].contains(hint) && warnings[0].contains(QLatin1String("udev rule")), qPrintable(warnings[0]));
        QVERIFY(warnings[0].endsWith(QLatin1String("echo 1 | sudo tee ") + fakeTimerFile()));
        QVERIFY(!warnings[0].contains(u'\n'));
    }
};

QTEST_GUILESS_MAIN(LowLatencyTest)
#include "tst_lowlatency.moc"
