#include "launcher/simulatedbus.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

using kestrava::launcher::SimulatedBus;

namespace {

struct Run
{
    int status = -1;
    QStringList lines;
    QString errors;
};

// Every printed value is the right one or "--": the values of a line (numbers not
// part of a name such as E0) are compared one by one with the right line of its field.
bool onlyRightNumbers(const QStringList &printed, const QStringList &right)
{
    static const QRegularExpression valueToken(QStringLiteral(R"((?<![A-Za-z\d.])(--|\d+(?:\.\d+)?))"));
    const auto values = [](const QString &line) {
        QStringList found;
        for (const QRegularExpressionMatch &match : valueToken.globalMatch(line.section(u':', 1)))
            found << match.captured(1);
        return found;
    };
    for (const QString &line : printed) {
        const QString field = line.section(u':', 0, 0);
        const auto same = std::find_if(right.begin(), right.end(),
                                       [&](const QString &r) { return r.section(u':', 0, 0) == field; });
        if (same == right.end())
            return false;
        const QStringList got = values(line);
        const QStringList expected = values(*same);
        if (got.size() != expected.size())
            return false;
        for (qsizetype i = 0; i < got.size(); ++i) {
            if (got[i] != QLatin1String("--") && got[i] != expected[i])
                return false;
        }
    }
    return true;
}

} // namespace

// kestrava-cli against the simulator, with the simulator's own faults: a reading is
// printed only when its own answer came, and a drive always ends at rest.
class InStepTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedBus> sim;

    Run cli(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral(KESTRAVA_CLI_BINARY),
                      QStringList{QStringLiteral("--device"), sim->devicePath()} + arguments);
        Run run;
        if (!process.waitForFinished(20000))
            return run;
        run.status = process.exitCode();
        run.lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        run.errors = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    void control(const QString &line)
    {
        if (!line.isEmpty())
            QCOMPARE(sim->command(line).value(0).left(2), QStringLiteral("ok"));
    }
    QString pose() { return sim->command(QStringLiteral("world")).filter(QStringLiteral("robot at")).value(0); }

    // Without wire time, stray bytes come in the same write as the answer; with it,
    // no answer comes within a millisecond.
    void startSimulator(bool wireTime)
    {
        qputenv("QT_LOGGING_RULES", "kestrava.*=false");
        sim = std::make_unique<SimulatedBus>();
        QVERIFY(sim->start(QStringLiteral(KESTRAVA_SIM_BINARY), wireTime ? QStringList() : QStringList{"--fast"}));
        for (const char *line : {"pose 300 200 0", "bearing 123.4", "noise off", "temp 22 30 31 32 33 34 35 36 37",
                                 "range E0 50", "range E2 60", "range E4 70", "range E6 80", "range E8 90"})
            control(QString::fromLatin1(line));
    }

private slots:
    void init() { startSimulator(false); }
    void cleanup() { sim.reset(); }

    // The command once while the fault lasts, then twice once it is gone: never a
    // wrong number, and the second command after it reads right.
    void aReadingIsItsOwnAnswerOrAnError_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("right");
        const QList<std::tuple<const char *, QStringList, QString, QStringList>> readings{
            {"bearing", {"bearing"}, "C0", {"version: 14", "bearing: 123.4°"}},
            {"thermal", {"thermal"}, "D0", {"version: 6", "ambient: 22 °C", "pixels: 30 31 32 33 34 35 36 37 °C"}},
            {"telemetry", {"telemetry"}, "B0",
             {"encoder1: 0", "encoder2: 0", "battery: 12.1 V", "version: 9", "current1: 0 A", "current2: 0 A"}},
            {"ranges", {"ranges"}, "E4", {"ranges: E0 50 cm, E2 60 cm, E4 70 cm, E6 80 cm, E8 90 cm"}},
        };
        QTest::addColumn<QStringList>("extraArguments");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("faultGone");
        QTest::addColumn<bool>("wireTime");
        const QList<std::tuple<const char *, QStringList, QString, QString, bool>> faults{
            {"waits of 1 ms", {"--timeout", "1"}, "", "", true},
            // Later than the wait, within the resync quiet that follows it (as long as the wait).
            {"220 ms late", {"--timeout", "150"}, "delay ADDR 220", "delay ADDR 0", false},
            {"garbage before", {}, "garbage ADDR 1 2 3", "", false},
            {"extra after", {}, "extra ADDR 9 9", "", false},
            {"--every, late", {"--every", "100", "--count", "2", "--timeout", "150"}, "delay ADDR 220", "delay ADDR 0", false},
        };
        // One repeat is enough; stray bytes before an answer are the link's own rule, and the
        // rangers' stays the one after their command, while they measure.
        const auto needed = [](QLatin1String reading, const QStringList &extra, const QString &fault) {
            if (extra.contains(QStringLiteral("--every")))
                return reading == "bearing";
            return reading != "ranges" || !fault.startsWith(QStringLiteral("garbage"));
        };
        for (const auto &[name, command, address, right] : readings) {
            for (auto [faultName, extra, fault, gone, wireTime] : faults) {
                if (needed(QLatin1String(name), extra, fault))
                    QTest::addRow("%s, %s", name, faultName)
                        << command << address << right << extra << fault.replace("ADDR", address)
                        << gone.replace("ADDR", address) << wireTime;
            }
        }
    }
    void aReadingIsItsOwnAnswerOrAnError()
    {
        QFETCH(QStringList, command);
        QFETCH(QString, address);
        QFETCH(QStringList, right);
        QFETCH(QStringList, extraArguments);
        QFETCH(QString, fault);
        QFETCH(QString, faultGone);
        QFETCH(bool, wireTime);
        if (wireTime)
            startSimulator(true);
        control(fault);
        const Run faulty = cli(command + extraArguments);
        QCOMPARE(faulty.status, 1);
        QVERIFY2(onlyRightNumbers(faulty.lines, right), qPrintable(faulty.lines.join(u'|')));
        QVERIFY2(faulty.errors.contains(QStringLiteral("error: ")), qPrintable(faulty.errors));
        // One frame read each of these: one complaint for it, not one per field.
        if (command.first() != QLatin1String("ranges") && !extraArguments.contains(QStringLiteral("--every")))
            QCOMPARE(faulty.errors.count(QStringLiteral("error: ")), 1);
        control(faultGone);
        const Run first = cli(command);
        QVERIFY2(onlyRightNumbers(first.lines, right), qPrintable(first.lines.join(u'|')));
        const Run second = cli(command);
        QCOMPARE(second.lines, right);
        QCOMPARE(second.status, 0);
    }

    // The stop is the mode's own: 128 in modes 0 and 2, 0 in modes 1 and 3.
    void aDriveEndsAtRestInEveryMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("speeds");
        QTest::addColumn<QString>("stop");
        QTest::addColumn<bool>("interrupted");
        const QList<std::tuple<int, QStringList, QString>> modes{
            {0, {"160", "160"}, "80 80"}, {1, {"30", "30"}, "00 00"},
            {2, {"160", "128"}, "80 80"}, {3, {"30", "0"}, "00 00"}};
        for (const auto &[mode, speeds, stop] : modes) {
            QTest::addRow("mode %d, timed", mode) << mode << speeds << stop << false;
            QTest::addRow("mode %d, Ctrl-C", mode) << mode << speeds << stop << true;
        }
    }
    void aDriveEndsAtRestInEveryMode()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, speeds);
        QFETCH(QString, stop);
        QFETCH(bool, interrupted);
        QCOMPARE(cli({"write", "B0", "15", QString::number(mode)}).status, 0);
        const QString before = pose();
        if (interrupted) {
            QProcess drive;
            drive.start(QStringLiteral(KESTRAVA_CLI_BINARY),
                        QStringList{"--device", sim->devicePath(), "drive"} + speeds + QStringList{"8000"});
            QVERIFY(drive.waitForStarted());
            QTest::qWait(250);
            ::kill(pid_t(drive.processId()), SIGINT);
            QVERIFY(drive.waitForFinished(3000)); // the drive would have lasted another 7.7 s
            QCOMPARE(drive.exitCode(), 0);
        } else {
            QCOMPARE(cli(QStringList{"drive"} + speeds + QStringList{"200"}).status, 0);
        }
        QCOMPARE(sim->command(QStringLiteral("get B0 0 2")).value(0), QStringLiteral("ok ") + stop);
        QVERIFY2(pose() != before, qPrintable(before)); // it did move
        QVERIFY(sim->command(QStringLiteral("list")).filter(QStringLiteral("(aiming at 0 0)")).size() == 1);
    }

    void aDriveWhoseModeCannotBeReadSendsNothing()
    {
        control(QStringLiteral("silence B0"));
        const Run run = cli({"--timeout", "50", "drive", "160", "160", "400"});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.errors, QStringLiteral("error: no answer from B0 register 15\n"
                                            "error: not driving: the motor controller's mode could not be read, "
                                            "and the stop differs between modes\n"));
        control(QStringLiteral("silence B0 off"));
        QCOMPARE(sim->command(QStringLiteral("get B0 0 2")).value(0), QStringLiteral("ok 80 80"));
    }
};

QTEST_GUILESS_MAIN(InStepTest)
#include "tst_instep.moc"
