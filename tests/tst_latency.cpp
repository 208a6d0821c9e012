#include "sim/program/latencytimer.h"
#include "tests/support/pseudoterminal.h"
#include "link/serialline.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>

using namespace kestrava;
using kestrava::sim::SimTime;

// A USB serial chip's latency timer from both sides. On open the line asks the driver for
// low latency, carries on where it is refused, and names the fix on standard error only when
// the chip's timer still holds answers back. The simulator emulates that timer: answer bytes
// wait until it has run from the first waiting byte, or until 62 of them wait.
class LatencyTest : public QObject
{
    Q_OBJECT
    test::PseudoTerminal far;
    QTemporaryDir folder;

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

    void lowLatencyIsAskedForAndTheTooSlowTimerNamed_data()
    {
        QTest::addColumn<int>("getErrno"); // 0: the driver call succeeds
        QTest::addColumn<int>("setErrno");
        QTest::addColumn<QString>("calls");        // with the flags handed over, in hex
        QTest::addColumn<QByteArray>("timerFile"); // what the chip's timer reads; "-": no such file
        QTest::addColumn<QString>("hint");         // in the one warning expected; empty: none
        const QString both = QStringLiteral("get 00001040; set 00003040");
        QTest::newRow("granted, timer 1 ms") << 0 << 0 << both << QByteArray("1\n") << "";
        QTest::newRow("change refused, timer 16 ms") << 0 << EPERM << both << QByteArray("16\n")
            << "up to 16 ms (its latency timer), so a telemetry click takes about 227 ms instead of 35 ms";
        QTest::newRow("granted, timer 2 ms") << 0 << 0 << both << QByteArray("2") << "up to 2 ms";
        QTest::newRow("no such setting, no timer") << ENOTTY << 0 << "get 00001040" << QByteArray("-") << "";
        QTest::newRow("unreadable timer") << 0 << 0 << both << QByteArray("sixteen") << "";
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
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        // One line that names the udev rule and ends with the command that helps now.
        const QString wanted = QStringLiteral("^[^\\n]*%1[^\\n]*udev rule[^\\n]*echo 1 \\| sudo tee %2\\z");
        const QString timer = QRegularExpression::escape(fakeTimerFile());
        if (!hint.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(wanted.arg(QRegularExpression::escape(hint), timer)));
        QVERIFY(line.open());
        QCOMPARE(seen.join(QLatin1String("; ")), calls);
        QVERIFY(line.output(QByteArray::fromHex("55e00001"))); // the port works whatever the driver said
        QVERIFY(far.waitForReceived(4));
        QCOMPARE(far.takeReceived().toHex(), QByteArray("55e00001"));
    }

    void answersWaitForTheTimerOrAFullPacket_data()
    {
        QTest::addColumn<int>("timerMs");
        // "hold MS N": N more answer bytes at MS; "take MS N": N bytes out in all by MS;
        // "wake MS": the next wake-up is at MS ("wake -": none).
        QTest::addColumn<QString>("script");
        QTest::newRow("off: at once") << 0 << "hold 0 3; take 0 3; wake -";
        QTest::newRow("later bytes go with the first")
            << 16 << "hold 0 1; hold 10 4; wake 16; take 15.9 0; take 16 5; wake -";
        QTest::newRow("the 62nd byte sends the packet") << 16 << "hold 0 61; take 1 0; hold 2 1; take 2 62; wake -";
        QTest::newRow("beyond a packet the rest waits afresh")
            << 16 << "hold 0 70; take 5 62; wake 21; take 20.9 62; take 21 70";
        QTest::newRow("a new wait after each release") << 1 << "hold 0 1; take 1 1; hold 3 2; take 3.9 1; take 4 3";
        QTest::newRow("two packets at once") << 255 << "hold 0 130; take 0 124; take 254.9 124; take 255 130";
    }
    void answersWaitForTheTimerOrAFullPacket()
    {
        QFETCH(int, timerMs);
        QFETCH(QString, script);
        sim::LatencyTimer timer{std::chrono::milliseconds(timerMs)};
        const auto at = [](const QString &ms) {
            return std::chrono::duration_cast<SimTime>(std::chrono::duration<double, std::milli>(ms.toDouble()));
        };
        QByteArray held; // every byte handed in, numbered in order
        QByteArray out;
        for (const QString &step : script.split(QLatin1String("; "))) {
            const QStringList word = step.split(u' ');
            if (word[0] == QLatin1String("hold")) {
                for (int i = word[2].toInt(); i > 0; --i)
                    held.append(char(held.size()));
                timer.hold(held.right(word[2].toInt()), at(word[1]));
            } else if (word[0] == QLatin1String("take")) {
                out += timer.takeDue(at(word[1]));
                QCOMPARE(out.size(), word[2].toInt());
                QCOMPARE(out, held.left(out.size())); // in order, none lost or doubled
            } else {
                const std::optional<SimTime> wake = timer.nextWake();
                QCOMPARE(wake.has_value(), word[1] != QLatin1String("-"));
                if (wake)
                    QCOMPARE(wake->count(), at(word[1]).count());
            }
        }
    }
};

QTEST_GUILESS_MAIN(LatencyTest)
#include "tst_latency.moc"
