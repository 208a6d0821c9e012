#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cerrno>
#include <csignal>

// `kestrava --simulate` runs kestrava-sim beside the window and leaves nothing behind.
class SimulateTest : public QObject
{
    Q_OBJECT

    struct Run
    {
        std::unique_ptr<QProcess> panel = std::make_unique<QProcess>();
        qint64 simulatorPid = 0;
    };

    // Starts the panel with --simulate and waits until it names its simulator.
    static Run startPanel(const QStringList &extra = {})
    {
        Run run;
        run.panel->setProcessChannelMode(QProcess::MergedChannels);
        run.panel->start(QStringLiteral(KESTRAVA_PANEL_BINARY), QStringList{QStringLiteral("--simulate")} + extra);
        static const QRegularExpression announcement(QStringLiteral("simulated bus on (/\\S+) \\(kestrava-sim process (\\d+)\\)"));
        QByteArray output;
        const bool announced = QTest::qWaitFor([&] {
            output += run.panel->readAll();
            const QRegularExpressionMatch match = announcement.match(QString::fromLocal8Bit(output));
            if (match.hasMatch())
                run.simulatorPid = match.captured(2).toLongLong();
            return run.simulatorPid > 0 || run.panel->state() == QProcess::NotRunning;
        }, 10000);
        Q_UNUSED(announced); // the caller checks simulatorPid
        return run;
    }

    static bool processGone(qint64 pid)
    {
        if (::kill(pid_t(pid), 0) != 0)
            return errno == ESRCH;
        // An orphan that has ended but waits to be reaped is gone too.
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        return stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") Z ");
    }

private slots:
    void closingTheWindowEndsTheSimulator_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QStringList>("extra");
        QTest::newRow("SIGTERM closes the window") << int(SIGTERM) << QStringList{};
        QTest::newRow("--quit-after closes it") << 0 << QStringList{QStringLiteral("--quit-after"), QStringLiteral("300")};
        QTest::newRow("even a killed panel") << int(SIGKILL) << QStringList{};
    }
    void closingTheWindowEndsTheSimulator()
    {
        QFETCH(int, signal);
        QFETCH(QStringList, extra);
        Run run = startPanel(extra);
        QVERIFY2(run.simulatorPid > 0, "the panel did not start a simulator");
        QVERIFY(!processGone(run.simulatorPid));
        if (signal)
            ::kill(pid_t(run.panel->processId()), signal);
        QVERIFY(run.panel->waitForFinished(5000));
        if (signal != SIGKILL)
            QCOMPARE(run.panel->exitStatus(), QProcess::NormalExit);
        QVERIFY(QTest::qWaitFor([&] { return processGone(run.simulatorPid); }, 5000));
    }
};

QTEST_GUILESS_MAIN(SimulateTest)
#include "tst_simulate.moc"
