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
using kestrava::test::PseudoTerminal;

namespace {

QStringList warnings;

void recordWarning(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        warnings << message;
}

} // namespace

// On open the line asks the driver for low latency, carries on where it is refused,
// and names the fix on standard error only when the chip's timer still holds answers back.
class LowLatencyTest : public QObject
{
    Q_OBJECT
    PseudoTerminal far;
    QTemporaryDir folder;
    QtMessageHandler previousHandler = nullptr;

    // COM1 leads through a link, as /dev/serial/by-id names do, to the pseudo-terminal.
    QString linkToDevice() const { return folder.filePath(QStringLiteral("adapter")); }
    QString fakeTimerFile() const
    {
        return folder.filePath(QStringLiteral("sys/class/tty/%1/device/latency_timer")
                                   .arg(QFileInfo(far.devicePath()).fileName()));
    }
    // Opens COM1, checks a frame still crosses the wire as sent, and closes again.
    void openAndSend(SerialLine &line)
    {
        line.setCommPort(1);
        QVERIFY(line.open());
        QVERIFY(line.output(QByteArray::fromHex("55e00001")));
        QVERIFY(far.waitForReceived(4));
        QCOMPARE(far.takeReceived().toHex(), QByteArray("55e00001"));
        line.close();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(far.isValid());
        QVERIFY(QFile::link(far.devicePath(), linkToDevice()));
        test::mapComPort(1, linkToDevice());
        QVERIFY(QDir().mkpath(QFileInfo(fakeTimerFile()).path()));
    }
    void init()
    {
        warnings.clear();
        previousHandler = qInstallMessageHandler(recordWarning);
    }
    void cleanup() { qInstallMessageHandler(previousHandler); }

    void lowLatencyIsAskedForAndRefusalTolerated_data()
    {
        QTest::addColumn<int>("getErrno"); // 0: the call succeeds
        QTest::addColumn<int>("setErrno");
        QTest::addColumn<QString>("calls");
        QTest::newRow("driver grants it") << 0 << 0 << "get 00001040; set 00003040";
        QTest::newRow("driver refuses the change") << 0 << EPERM << "get 00001040; set 00003040";
        QTest::newRow("no such setting (pseudo-terminal)") << ENOTTY << 0 << "get 00001040";
    }
    void lowLatencyIsAskedForAndRefusalTolerated()
    {
        QFETCH(int, getErrno);
        QFETCH(int, setErrno);
        QFETCH(QString, calls);
        QStringList seen;
        SerialLine line;
        line.setTuning({folder.filePath(QStringLiteral("none")), [&](int, unsigned long request, void *argument) {
            auto *settings = static_cast<serial_struct *>(argument);
            const bool get = request == TIOCGSERIAL;
            if (get)
                settings->flags = 0x1040; // flags of its own, to be kept
            const char *name = get ? "get" : request == TIOCSSERIAL ? "set" : "other";
            seen << QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(settings->flags, 8, 16, QLatin1Char('0'));
            errno = get ? getErrno : setErrno;
            return errno ? -1 : 0;
        }});
        openAndSend(line);
        QCOMPARE(seen.join(QLatin1String("; ")), calls);
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(u'\n')));
    }

    void hintOnlyWhenTheTimerHoldsAnswersBack_data()
    {
        QTest::addColumn<QByteArray>("timerFile"); // what the chip's file reads; "-": no file
        QTest::addColumn<QString>("hint");        // in the one line expected; empty: no line
        QTest::newRow("16 ms, the default") << QByteArray("16\n") << "up to 16 ms (its latency timer), so a telemetry click takes about 227 ms instead of 35 ms";
        QTest::newRow("2 ms") << QByteArray("2\n") << "up to 2 ms";
        QTest::newRow("1 ms") << QByteArray("1\n") << "";
        QTest::newRow("no timer: not a USB chip") << QByteArray("-") << "";
        QTest::newRow("unreadable") << QByteArray("sixteen") << "";
        QTest::newRow("empty") << QByteArray("") << "";
    }
    void hintOnlyWhenTheTimerHoldsAnswersBack()
    {
        QFETCH(QByteArray, timerFile);
        QFETCH(QString, hint);
        QFile::remove(fakeTimerFile());
        QFile file(fakeTimerFile());
        if (timerFile != "-")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(timerFile) == timerFile.size());
        file.close();
        SerialLine line; // the system's own driver call, which a pseudo-terminal refuses
        line.setTuning({folder.filePath(QStringLiteral("sys"))});
        openAndSend(line);
        if (hint.isEmpty()) {
            QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(u'\n')));
            return;
        }
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].contains(hint), qPrintable(warnings[0]));
        QVERIFY(warnings[0].contains(QLatin1String("udev rule")));
        QVERIFY(warnings[0].endsWith(QLatin1String("echo 1 | sudo tee ") + fakeTimerFile()));
        QVERIFY(!warnings[0].contains(u'\n'));
    }
};

QTEST_GUILESS_MAIN(LowLatencyTest)
#include "tst_lowlatency.moc"
