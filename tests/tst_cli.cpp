#include "tests/support/pseudoterminal.h"
#include "tests/support/scriptedadapter.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace kestrava::test;

namespace {

// What the modules behind the adapter hold, by address << 8 | register; the rest read 0.
const QHash<int, quint8> Registers{
    {0xB004, 0x01}, {0xB00A, 121}, {0xB00B, 5}, {0xB00D, 0x07}, // encoder 1 256, 12.1 V, 0.5 A, version 7
    {0xB006, 0xFF}, {0xB007, 0xFF}, {0xB008, 0xFF}, {0xB009, 0x59}, // encoder 2 -167, a step back
    {0xC002, 0x03}, {0xC003, 0x84},                             // bearing 900 tenths of a degree
    {0xD001, 21},   {0xD009, 30},                               // ambient, the last pixel
    {0xE003, 34},   {0xE000, 0x2A}, {0xF000, 0x2A},             // the first range; what a probe reads
};

// Answers like the adapter with modules behind it: 01 to a write, the registers
// to a read, nothing from E2 and F2.
QByteArray answer(const QByteArray &frame)
{
    const quint8 address = quint8(frame.at(1)) & 0xFE;
    if (address == 0xE2 || address == 0xF2)
        return {};
    if (!(quint8(frame.at(1)) & 1))
        return QByteArray::fromHex("01");
    QByteArray bytes;
    for (int i = 0; i < quint8(frame.at(3)); ++i)
        bytes += char(Registers.value(address << 8 | quint8(quint8(frame.at(2)) + i)));
    return bytes;
}

// The time, first in a CSV line or a JSON object, varies from run to run; so
// does the length of a pass that --every warns about.
QString withoutTimes(QString text)
{
    static const QRegularExpression time(QStringLiteral(R"((^|\n|\{"t":)\d+\.\d{3})"));
    static const QRegularExpression pass(QStringLiteral(R"(took \d+ ms)"));
    return text.replace(time, QStringLiteral("\\1T")).replace(pass, QStringLiteral("took N ms"));
}


} // namespace

// kestrava-cli as a user runs it, against a scripted adapter on a pseudo-terminal.
class CliTest : public QObject
{
    Q_OBJECT
    // A new one for each test; the program, if still running, is killed first.
    // The program runs in a folder where "adapter" leads to the pseudo-terminal.
    struct Rig
    {
        PseudoTerminal pty;
        ScriptedAdapter adapter{pty};
        QProcess cli;
        QTemporaryDir folder;
    };
    std::unique_ptr<Rig> rig;

    void start(const QStringList &arguments)
    {
        rig->cli.setWorkingDirectory(rig->folder.path());
        rig->cli.start(QStringLiteral(KESTRAVA_CLI_BINARY),
                       QStringList{QStringLiteral("--device"), rig->pty.devicePath()} + arguments);
        QVERIFY(rig->cli.waitForStarted());
    }
    // Runs the event loop (so the adapter answers) until the program ends; a plain
    // loop, not QTest::qWaitFor, whose 10 ms naps would hold back every answer.
    int finish(int timeoutMs = 10000)
    {
        QSignalSpy ended(&rig->cli, &QProcess::finished);
        if (rig->cli.state() != QProcess::NotRunning && !ended.wait(timeoutMs))
            return -1;
        return rig->cli.exitCode();
    }
    QString output() { return withoutTimes(QString::fromUtf8(rig->cli.readAllStandardOutput())); }
    QString errors() { return withoutTimes(QString::fromUtf8(rig->cli.readAllStandardError())); }
    // A command line refused before the port is opened: nothing printed or sent.
    static void refused(const char *name, const QStringList &arguments, const QString &message)
    {
        QTest::newRow(name) << arguments << 2 << QStringList{""} << "error: " + message + '\n' << QString();
    }

private slots:
    void init()
    {
        qunsetenv("QT_LOGGING_RULES"); // standard error as a user sees it
        rig = std::make_unique<Rig>();
        QVERIFY(rig->pty.isValid());
        QVERIFY(QFile::link(rig->pty.devicePath(), rig->folder.filePath(QStringLiteral("adapter"))));
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/999999"), rig->folder.filePath(QStringLiteral("gone"))));
        // After a drive at speed 1 the controller falls silent: its stop goes unanswered.
        rig->adapter.setResponder([this](const QByteArray &frame) {
            const QList<QByteArray> &frames = rig->adapter.frames();
            const bool fallenSilent = frames.size() > 3 && frames[1] == QByteArray::fromHex("55b0000101");
            // C0 register 5 answers its first read EE, 60 ms after a wait of 200 ms, and the
            // later ones 00, 120 ms after their frames.
            if (frame == QByteArray::fromHex("55c10501")) {
                const char byte = frames.count(frame) == 1 ? char(0xee) : char(0);
                QTimer::singleShot(byte ? 260 : 120, &rig->pty, [this, byte] { rig->pty.write(QByteArray(1, byte)); });
                return QByteArray();
            }
            return fallenSilent ? QByteArray() : answer(frame);
        });
    }

    // Each command's frames, its output in the default format and, where given, with
    // --csv and --json, and how it ends.
    void eachRunSendsItsFramesPrintsAndEndsInItsStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("printed"); // plain, then csv and json; a null one is not run
        QTest::addColumn<QString>("complaint");
        QTest::addColumn<QString>("frames"); // in hex, a blank between two frames
        const QStringList quiet{""};
        QTest::newRow("read") << QStringList{"read", "c0", "0x02", "2"} << 0
                              << QStringList{"03 84\n", "t,bytes1,bytes2\nT,3,132\n"} << "" << "55c10202";
        QTest::newRow("relative device") << QStringList{"--device", "adapter", "read", "c0", "2"} << 0
                                         << QStringList{"03\n"} << "" << "55c10201";
        QTest::newRow("write") << QStringList{"write", "0xB0", "15", "2"} << 0
                               << QStringList{"01\n", {}, "{\"t\":T,\"answer\":1}\n"} << "" << "55b00f0102";
        QTest::newRow("dump") << QStringList{"dump", "C0", "14", "18"} << 0
                              << QStringList{"     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n"
                                             "0E: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n1E: 00 00\n",
                                             "t,register,bytes1,bytes2,bytes3,bytes4,bytes5,bytes6,bytes7,bytes8,"
                                             "bytes9,bytes10,bytes11,bytes12,bytes13,bytes14,bytes15,bytes16\n"
                                             "T,14,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\nT,30,0,0\n"}
                              << "" << "55c10e10 55c11e02";
        QTest::newRow("telemetry")
            << QStringList{"telemetry"} << 0
            << QStringList{"encoder1: 256\nencoder2: -167\nbattery: 12.1 V\nversion: 7\ncurrent1: 0.5 A\ncurrent2: 0 A\n",
                           "t,encoder1,encoder2,battery,version,current1,current2\nT,256,-167,12.1,7,0.5,0\n",
                           "{\"t\":T,\"encoder1\":256,\"encoder2\":-167,\"battery\":12.1,\"version\":7,\"current1\":0.5,"
                           "\"current2\":0}\n"}
            << "" << "55b1020c";
        QTest::newRow("ranges, E2 silent")
            << QStringList{"ranges", "--timeout", "50"} << 1
            << QStringList{"ranges: E0 34 cm, E2 --, E4 0 cm, E6 0 cm, E8 0 cm\n",
                           "t,range_E0,range_E2,range_E4,range_E6,range_E8\nT,34,,0,0,0\n",
                           "{\"t\":T,\"ranges\":[34,null,0,0,0]}\n"}
            << "error: no answer from E2 register 0\n"
            << "55e0000151 55e2000151 55e4000151 55e6000151 55e8000151 55e10202 55e50202 55e70202 55e90202";
        QTest::newRow("ranges one by one, E2 silent")
            << QStringList{"ranges", "--one-by-one", "--timeout", "50"} << 1
            << QStringList{"ranges: E0 34 cm, E2 --, E4 0 cm, E6 0 cm, E8 0 cm\n"}
            << "error: no answer from E2 register 0\n"
            << "55e0000151 55e10202 55e2000151 55e4000151 55e50202 55e6000151 55e70202 55e8000151 55e90202";
        QTest::newRow("thermal")
            << QStringList{"thermal"} << 0 << QStringList{"version: 0\nambient: 21 °C\npixels: 0 0 0 0 0 0 0 30 °C\n"} << ""
            << "55d1000a";
        QTest::newRow("relays") << QStringList{"relays", "0x81"} << 0
                                << QStringList{"81\n", {}, "{\"t\":T,\"pattern\":129}\n"} << "" << "5570010181";
        QTest::newRow("servo") << QStringList{"servo", "2", "1500"} << 0 << quiet << "" << "55c20401dc 55c2050105";
        QTest::newRow("display") << QStringList{"display", "Hola"} << 0 << quiet << "" << "55c60004486f6c61";
        QTest::newRow("drive") << QStringList{"drive", "150", "0x80", "0"} << 0 << quiet << ""
                               << "55b10f01 55b0000196 55b0010180 55b0000180 55b0010180";
        QTest::newRow("drive whose stop goes unanswered")
            << QStringList{"drive", "1", "0x80", "0", "--timeout", "50"} << 1 << quiet
            << "error: no answer from B0 register 0\n" << "55b10f01 55b0000101 55b0010180 55b0000180 55b0010180";
        QTest::newRow("silent module") << QStringList{"read", "E2", "0", "--timeout", "50"} << 1 << quiet
                                       << "error: no answer from E2 register 0\n" << "55e30001";
        QTest::newRow("probe, two named ones silent")
            << QStringList{"probe", "E0", "E2", "F0", "F2"} << 1
            << QStringList{"E0 answered 2A\nE2 silent\nF0 answered 2A\nF2 silent\n2 of 4 answered\n",
                           "t,address,answered,value\nT,E0,1,42\nT,E2,0,\nT,F0,1,42\nT,F2,0,\n"} << ""
            << "55e10001 55e30001 55f10001 55f30001";
        refused("odd address", {"read", "B1", "0"},
                "ADDR must be an even bus address from 02 to FE in hexadecimal, not \"B1\"");
        refused("three digits", {"read", "1B0", "0"},
                "ADDR must be an even bus address from 02 to FE in hexadecimal, not \"1B0\"");
        refused("register past 255", {"read", "B0", "256"}, "REG must be a number from 0 to 255, not \"256\"");
        refused("servo past 2500", {"servo", "1", "2501"},
                "POSITION must be a number from 500 to 2500, not \"2501\"");
        refused("one by one for another reading", {"bearing", "--one-by-one"}, "--one-by-one goes with ranges");
        refused("drive too long", {"drive", "200", "128", "10001"}, "MS must be a number from 0 to 10000, not \"10001\"");
        refused("a control command past 1024", {"sim", "type", QString(1020, u'1')}, "COMMAND holds at most 1024 characters");
        refused("text past 40", {"display", QString(41, u'x')}, "TEXT holds at most 40 characters");
        refused("repeated write", {"relays", "1", "--every", "100"}, "--every repeats reading commands only");
        refused("every with a unit", {"bearing", "--every", "200ms"},
                "--every takes a number of milliseconds from 0 to 86400000, not \"200ms\"");
        refused("missing argument", {"write", "B0", "0"}, "usage: kestrava-cli write ADDR REG BYTE...");
        // One line each, with the way forward.
        QTest::newRow("no such device") << QStringList{"--device", "/dev/ttyUSB97", "read", "B0", "0"} << 3 << quiet
                                        << "error: cannot open /dev/ttyUSB97: no such device; plug the "
                                           "adapter in, name the adapter's device with --device PATH or "
                                           "KESTRAVA_COM1=PATH, or try the simulated robot with --simulate\n"
                                        << "";
        // Most often a simulator's link asked for before that simulator has made it: no adapter to plug in.
        QTest::newRow("a link not made yet") << QStringList{"--device", "not-yet/adapter", "read", "B0", "0"} << 3 << quiet
            << "error: cannot open not-yet/adapter: no such file; if it is a simulator's link, start the simulator "
               "first and let it get ready (kestrava-sim --link not-yet/adapter --background returns then), name "
               "the adapter's device with --device PATH or KESTRAVA_COM1=PATH, or try the simulated robot with "
               "--simulate\n"
            << "";
        QTest::newRow("not a serial port") << QStringList{"--device", "/etc/hostname", "read", "B0", "0"} << 3 << quiet
                                           << "error: cannot open /etc/hostname: not a serial port; name the "
                                              "adapter's device with --device PATH or KESTRAVA_COM1=PATH, or try the "
                                              "simulated robot with --simulate\n"
                                           << "";
        QTest::newRow("a link whose simulator has ended")
            << QStringList{"--device", "gone", "read", "B0", "0"} << 3 << quiet
            << "error: cannot open gone: a link to /dev/pts/999999, which is gone: the simulator behind it has ended; "
               "start it again with kestrava-sim --link gone, name the adapter's device with --device PATH or "
               "KESTRAVA_COM1=PATH, or try the simulated robot with --simulate\n"
            << "";
        QTest::newRow("--count 3") << QStringList{"bearing", "--every", "100", "--count", "3"} << 0
                                   << QStringList{QString("version: 0\nbearing: 90°\n").repeated(3)} << ""
                                   << "55c10004 55c10004 55c10004";
        // The late EE must not pass for the second read's answer.
        QTest::newRow("a late answer") << QStringList{"read", "C0", "5", "--every", "10", "--count", "2", "--timeout", "200"}
                                       << 1 << QStringList{"00\n"}
                                       << "error: no answer from C0 register 5\nwarning: a pass took N ms, longer than "
                                          "--every 10 ms; the readings follow one another back to back\n"
                                       << "55c10501 55c10501";
        refused("a seed without the simulator", {"--seed", "3", "bearing"}, "--seed goes with --simulate");
        refused("a seed past 32 bits", {"--simulate", "--seed", "4294967296", "bearing"},
                "--seed takes a whole number from 0 to 4294967295, not \"4294967296\"");
        refused("address 00, every module's", {"write", "00", "0", "1"},
                "ADDR must be an even bus address from 02 to FE in hexadecimal, not \"00\"");
    }
    void eachRunSendsItsFramesPrintsAndEndsInItsStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, printed);
        QFETCH(QString, complaint);
        QFETCH(QString, frames);
        const QList<QStringList> formats{{}, {"--csv"}, {"--json"}};
        for (int f = 0; f < printed.size(); ++f) {
            if (printed[f].isNull())
                continue;
            rig->pty.takeReceived();
            start(arguments + formats[f]);
            QCOMPARE(finish(), status);
            QTest::qWait(20); // a frame nobody answers may reach the adapter after the program has ended
            QCOMPARE(output(), printed[f]);
            QCOMPARE(errors().replace(rig->folder.path(), QStringLiteral("FOLDER")), complaint);
            QCOMPARE(rig->pty.received().toHex(), QByteArray::fromHex(frames.toLatin1()).toHex());
        }
    }

    // probe ends in 0 when every address named answered (the main table has one that
    // did not) and, with none named, when anything on the bus answered.
    void probeEndsInZeroWhenWhatItLookedForAnswered_data()
    {
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<bool>("deadBus");
        QTest::addColumn<QString>("timeout"); // long where answers come, short where none will
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("lastLine");
        QTest::newRow("every named one answered") << QStringList{"E0", "F0"} << false << "500" << 0 << "2 of 2 answered";
        QTest::newRow("the whole bus, E2 and F2 silent") << QStringList{} << false << "200" << 0 << "125 of 127 answered";
        QTest::newRow("the whole bus, nothing answers") << QStringList{} << true << "1" << 1 << "0 of 127 answered";
        // The whole bus is 127 of these waits: each must keep to its bound (60 ms, 300 with
        // a loaded machine's margin), read from the trace's own clock.
        QTest::newRow("silent ones, the probe's own wait") << QStringList{"E2", "F2", "F4"} << true << "" << 1 << "0 of 3 answered";
    }
    void probeEndsInZeroWhenWhatItLookedForAnswered()
    {
        QFETCH(QStringList, addresses);
        QFETCH(bool, deadBus);
        QFETCH(QString, timeout);
        QFETCH(int, status);
        QFETCH(QString, lastLine);
        if (deadBus)
            rig->adapter.setResponder([](const QByteArray &) { return QByteArray(); });
        const QString trace = rig->folder.filePath(QStringLiteral("trace.log"));
        start(QStringList{"probe", "--trace", trace} + (timeout.isEmpty() ? QStringList() : QStringList{"--timeout", timeout})
              + addresses);
        QCOMPARE(finish(), status);
        QCOMPARE(output().trimmed().section(u'\n', -1), lastLine);
        QCOMPARE(errors(), QString());
        if (timeout.isEmpty()) {
            QFile log(trace);
            QVERIFY(log.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromLatin1(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), 2 * addresses.size()); // a frame, then its time-out
            for (qsizetype i = 0; i + 1 < lines.size(); i += 2) {
                QVERIFY2(lines[i + 1].contains(QStringLiteral("TIMEOUT")), qPrintable(lines[i + 1]));
                const int waited = lines[i + 1].section(u' ', 0, 0).toInt() - lines[i].section(u' ', 0, 0).toInt();
                QVERIFY2(waited >= 60 && waited <= 300, qPrintable(QString::number(waited)));
            }
        }
    }

    void interruptingADriveSendsTheStopLast_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl-C") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void interruptingADriveSendsTheStopLast()
    {
        QFETCH(int, signal);
        start({"drive", "200", "100", "8000"});
        QVERIFY(rig->pty.waitForReceived(14, 5000)); // the mode read and both speeds
        QTest::qWait(200); // in the middle of the drive's wait
        ::kill(pid_t(rig->cli.processId()), signal);
        QCOMPARE(finish(3000), 0); // the drive would have lasted another 7.8 s
        const QByteArray stopLast = QByteArray::fromHex("55b10f01 55b00001c8 55b0010164 55b0000180 55b0010180");
        QCOMPARE(rig->pty.received().toHex(), stopLast.toHex());
    }

    // The server's wheels: both speeds in one frame in mode 0, which another mode leaves
    // in one frame with both speeds at mode 0's stop; bad params send nothing.
    void theServersWheelsRunInMode0_data()
    {
        QTest::addColumn<QString>("registers"); // B0's from the speeds to the mode, as their read is answered
        QTest::addColumn<QStringList>("calls");  // each call's params
        QTest::addColumn<QString>("answers");    // "ok", or the error's code
        QTest::addColumn<QString>("frames");
        const QString inMode0 = "8080 00000100 ffffff59 79050007 0500";
        QTest::newRow("in mode 0, the speeds alone, then the end's stop")
            << inMode0 << QStringList{R"({"left":20,"right":-20})"} << "ok" << "55b10010 55b00002946c 55b0000180 55b0010180";
        QTest::newRow("mode 1 left once, with mode 0's stop, for the whole way")
            << "1414 00000100 ffffff59 79050007 0501" << QStringList{R"([127,-127])", R"({"left":0,"right":1})"} << "ok ok"
            << "55b10010 55b00010 8080 00000100 ffffff59 79050007 0500 55b00002ff01 55b000028081 55b0000180 55b0010180";
        QTest::newRow("a silent controller") << "" << QStringList{R"({"left":20,"right":20})"} << "1" << "55b10010";
        for (const char *params : {R"({"left":128,"right":0})", R"({"left":0,"right":-128})", R"({"left":1.5,"right":0})",
                                   R"({"right":0})", R"({"left":"1","right":0})", R"([1,2,3])"})
            QTest::addRow("params %s", params) << inMode0 << QStringList{params} << "-32602" << "";
    }
    void theServersWheelsRunInMode0()
    {
        QFETCH(QString, registers);
        QFETCH(QStringList, calls);
        QFETCH(QString, answers);
        QFETCH(QString, frames);
        rig->adapter.setResponder([registers](const QByteArray &frame) {
            return frame == QByteArray::fromHex("55b10010") ? QByteArray::fromHex(registers.toLatin1()) : answer(frame);
        });
        start({"--timeout", "50", "serve"});
        for (const QString &params : calls)
            rig->cli.write(R"({"jsonrpc":"2.0","id":1,"method":"wheels","params":)" + params.toUtf8() + "}\n");
        rig->cli.closeWriteChannel();
        QCOMPARE(finish(), 0);
        QTest::qWait(20);
        QStringList got;
        for (const QString &line : output().split(u'\n', Qt::SkipEmptyParts)) {
            const QJsonObject reply = QJsonDocument::fromJson(line.toUtf8()).object();
            got << (reply.contains(QStringLiteral("result")) ? QStringLiteral("ok")
                                                             : QString::number(reply[QStringLiteral("error")][QStringLiteral("code")].toInt()));
        }
        QCOMPARE(got.join(u' '), answers);
        QCOMPARE(rig->pty.received().toHex(), QByteArray::fromHex(frames.toLatin1()).toHex());
    }

    // A raw write tells the motors' owner what it changed: only the controller's speed
    // registers set the motors moving (so that the end stops them), and only its mode
    // register sends the next stop to read the mode again.
    void theServersRawWritesTellTheMotorsWhatChanged_data()
    {
        QTest::addColumn<QStringList>("calls"); // each a method and its params
        QTest::addColumn<QString>("frames");
        const QString speed = R"(write {"address":176,"register":0,"bytes":[150]})";
        QTest::newRow("a speed: stopped at the end") << QStringList{speed}
                                                     << "55b0000196 55b10f01 55b0000180 55b0010180";
        QTest::newRow("a ranger's command: nothing to stop")
            << QStringList{R"(write {"address":224,"register":0,"bytes":[81]})"} << "55e0000151";
        QTest::newRow("the acceleration: nothing to stop")
            << QStringList{R"(write {"address":176,"register":14,"bytes":[3]})"} << "55b00e0103";
        QTest::newRow("the acceleration: the mode known still")
            << QStringList{"stop {}", R"(write {"address":176,"register":14,"bytes":[3]})", "stop {}"}
            << "55b10f01 55b0000180 55b0010180 55b00e0103 55b0000180 55b0010180";
        QTest::newRow("the mode: read again")
            << QStringList{"stop {}", R"(write {"address":176,"register":14,"bytes":[3,1]})", "stop {}"}
            << "55b10f01 55b0000180 55b0010180 55b00e020301 55b10f01 55b0000180 55b0010180";
    }
    void theServersRawWritesTellTheMotorsWhatChanged()
    {
        QFETCH(QStringList, calls);
        QFETCH(QString, frames);
        start({"--timeout", "50", "serve"});
        for (const QString &call : calls) {
            rig->cli.write(R"({"jsonrpc":"2.0","id":1,"method":")" + call.section(u' ', 0, 0).toUtf8()
                           + R"(","params":)" + call.section(u' ', 1).toUtf8() + "}\n");
        }
        rig->cli.closeWriteChannel();
        QCOMPARE(finish(), 0);
        QTest::qWait(20);
        QVERIFY2(!output().contains(QLatin1String("error")), qPrintable(output()));
        QCOMPARE(rig->pty.received().toHex(' '), QByteArray::fromHex(frames.toLatin1()).toHex(' '));
    }

    // The robot may still be moving: the user is told that its stop never went out.
    void aDeviceLostDuringADriveSaysTheStopWasNotSent()
    {
        start({"drive", "150", "128", "5000"});
        QVERIFY(QTest::qWaitFor([&] { return rig->adapter.frames().size() >= 3; }, 5000)); // the mode, two speeds
        rig->pty.hangUp();
        QCOMPARE(finish(), 4);
        QVERIFY2(errors().contains(QStringLiteral("the stop to B0 registers 0 and 1 could not be sent")), qPrintable(errors()));
    }

    void aDeviceLostWhileLoggingEndsWithStatus4()
    {
        start({"bearing", "--every", "100", "--csv"});
        QVERIFY(QTest::qWaitFor([&] { return rig->cli.bytesAvailable() > 25; }, 5000)); // the header and a row
        rig->pty.hangUp();
        QCOMPARE(finish(), 4);
        QCOMPARE(output().section(u'\n', 0, 1), QStringLiteral("t,version,bearing\nT,0,90"));
        QVERIFY(errors().endsWith(QStringLiteral("error: the device was lost\n")));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
