#include "pseudoterminal.h"
#include "scriptedadapter.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

using namespace kestrava;
using kestrava::test::PseudoTerminal;
using kestrava::test::ScriptedAdapter;

// kestrava-cli as a user runs it, against a scripted adapter on a pseudo-terminal.
class CliTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<ScriptedAdapter> adapter;
    QProcess cli;
    QHash<int, quint8> registers; // address << 8 | register; unset registers read 0
    QSet<quint8> silent;

    void setRegister(quint8 address, quint8 reg, quint8 value) { registers.insert(address << 8 | reg, value); }
    // Answers like the adapter with modules behind it: 01 to a write, the registers to a read.
    QByteArray answer(const QByteArray &frame) const
    {
        const quint8 address = quint8(frame.at(1)) & 0xFE;
        if (silent.contains(address))
            return {};
        if (!(quint8(frame.at(1)) & 1))
            return QByteArray::fromHex("01");
        QByteArray bytes;
        for (int i = 0; i < quint8(frame.at(3)); ++i)
            bytes += char(registers.value(address << 8 | quint8(quint8(frame.at(2)) + i)));
        return bytes;
    }

    void start(const QStringList &arguments)
    {
        cli.start(QStringLiteral(KESTRAVA_CLI_BINARY),
                  QStringList{QStringLiteral("--device"), pty->devicePath()} + arguments);
        QVERIFY(cli.waitForStarted());
    }
    // Runs the event loop (so the adapter answers) until the program ends.
    int finish(int timeoutMs = 10000)
    {
        if (!QTest::qWaitFor([&] { return cli.state() == QProcess::NotRunning; }, timeoutMs))
            return -1;
        return cli.exitCode();
    }
    // The time column varies from run to run.
    static QString withoutTimes(QString text)
    {
        static const QRegularExpression csvTime(QStringLiteral(R"((^|\n)\d+\.\d{3},)"));
        static const QRegularExpression jsonTime(QStringLiteral(R"("t":\d+\.\d{3})"));
        return text.replace(csvTime, QStringLiteral("\\1T,")).replace(jsonTime, QStringLiteral("\"t\":T"));
    }
    static QByteArray hex(const QStringList &frames) { return QByteArray::fromHex(frames.join(QString()).toLatin1()); }

private slots:
    void init()
    {
        pty = std::make_unique<PseudoTerminal>();
        QVERIFY(pty->isValid());
        adapter = std::make_unique<ScriptedAdapter>(*pty);
        adapter->setResponder([this](const QByteArray &frame) { return answer(frame); });
        registers.clear();
        silent.clear();
    }
    void cleanup()
    {
        if (cli.state() != QProcess::NotRunning) {
            cli.kill();
            cli.waitForFinished();
        }
        adapter.reset();
        pty.reset();
    }

    void eachCommandSendsItsFramesAndPrintsInEveryFormat_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<QString>("json");
        const QString none;
        QTest::newRow("read") << QStringList{"read", "0xB0", "13"} << QStringList{"55b10d01"} << "07\n"
                              << "t,bytes1\nT,7\n" << "{\"t\":T,\"bytes\":[7]}\n";
        QTest::newRow("read two") << QStringList{"read", "c0", "0x02", "2"} << QStringList{"55c10202"} << "03 84\n"
                                  << "t,bytes1,bytes2\nT,3,132\n" << "{\"t\":T,\"bytes\":[3,132]}\n";
        QTest::newRow("write") << QStringList{"write", "B0", "15", "2"} << QStringList{"55b00f0102"} << "01\n"
                               << "t,answer\nT,1\n" << "{\"t\":T,\"answer\":1}\n";
        QTest::newRow("dump") << QStringList{"dump", "C0", "14", "18"} << QStringList{"55c10e10", "55c11e02"}
                              << "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n"
                                 "0E: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n1E: 00 00\n"
                              << "t,register,bytes1,bytes2,bytes3,bytes4,bytes5,bytes6,bytes7,bytes8,bytes9,bytes10,"
                                 "bytes11,bytes12,bytes13,bytes14,bytes15,bytes16\n"
                                 "T,14,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\nT,30,0,0\n"
                              << "{\"t\":T,\"register\":14,\"bytes\":[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0]}\n"
                                 "{\"t\":T,\"register\":30,\"bytes\":[0,0]}\n";
        QTest::newRow("telemetry")
            << QStringList{"telemetry"}
            << QStringList{"55b10201", "55b10301", "55b10401", "55b10501", "55b10601", "55b10701", "55b10801",
                           "55b10901", "55b10a01", "55b10d01", "55b10b01", "55b10c01"}
            << "encoder1: 256\nencoder2: 0\nbattery: 12.1\nversion: 7\ncurrent1: 0.5\ncurrent2: 0\n"
            << "t,encoder1,encoder2,battery,version,current1,current2\nT,256,0,12.1,7,0.5,0\n"
            << "{\"t\":T,\"encoder1\":256,\"encoder2\":0,\"battery\":12.1,\"version\":7,\"current1\":0.5,"
               "\"current2\":0}\n";
        QTest::newRow("ranges") << QStringList{"ranges"}
                                << QStringList{"55e0000151", "55e10202", "55e2000151", "55e30202", "55e4000151",
                                               "55e50202", "55e6000151", "55e70202", "55e8000151", "55e90202"}
                                << "ranges: 34 0 0 0 0\n" << "t,ranges1,ranges2,ranges3,ranges4,ranges5\nT,34,0,0,0,0\n"
                                << "{\"t\":T,\"ranges\":[34,0,0,0,0]}\n";
        QTest::newRow("bearing") << QStringList{"bearing"} << QStringList{"55c10001", "55c10201", "55c10301"}
                                 << "version: 0\nbearing: 90\n" << "t,version,bearing\nT,0,90\n"
                                 << "{\"t\":T,\"version\":0,\"bearing\":90}\n";
        QTest::newRow("thermal") << QStringList{"thermal"}
                                 << QStringList{"55d10001", "55d10101", "55d10201", "55d10301", "55d10401",
                                                "55d10501", "55d10601", "55d10701", "55d10801", "55d10901"}
                                 << "version: 0\nambient: 21\npixels: 0 0 0 0 0 0 0 30\n"
                                 << "t,version,ambient,pixels1,pixels2,pixels3,pixels4,pixels5,pixels6,pixels7,"
                                    "pixels8\nT,0,21,0,0,0,0,0,0,0,30\n"
                                 << "{\"t\":T,\"version\":0,\"ambient\":21,\"pixels\":[0,0,0,0,0,0,0,30]}\n";
        QTest::newRow("relays") << QStringList{"relays", "0x81"} << QStringList{"5570010181"} << "129\n"
                                << "t,pattern\nT,129\n" << "{\"t\":T,\"pattern\":129}\n";
        QTest::newRow("servo") << QStringList{"servo", "2", "1500"} << QStringList{"55c20401dc", "55c2050105"}
                               << none << none << none;
        QTest::newRow("display") << QStringList{"display", "Hola"} << QStringList{"55c60004486f6c61"} << none
                                 << none << none;
        QTest::newRow("drive") << QStringList{"drive", "150", "0x80", "0"}
                               << QStringList{"55b0000196", "55b0010180", "55b0000180", "55b0010180"} << none
                               << none << none;
    }
    void eachCommandSendsItsFramesAndPrintsInEveryFormat()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, frames);
        QFETCH(QString, plain);
        QFETCH(QString, csv);
        QFETCH(QString, json);
        setRegister(0xB0, 13, 0x07);
        setRegister(0xB0, 4, 0x01); // encoder 1: 00 00 01 00
        setRegister(0xB0, 10, 121);
        setRegister(0xB0, 11, 5);
        setRegister(0xC0, 2, 0x03);
        setRegister(0xC0, 3, 0x84);
        setRegister(0xE0, 3, 34);
        setRegister(0xD0, 1, 21);
        setRegister(0xD0, 9, 30);
        const QStringList formats{"", "--csv", "--json"};
        const QStringList expected{plain, csv, json};
        for (int f = 0; f < formats.size(); ++f) {
            pty->takeReceived();
            start(formats[f].isEmpty() ? arguments : arguments + QStringList{formats[f]});
            QCOMPARE(finish(), 0);
            QCOMPARE(cli.readAllStandardError(), QByteArray());
            const QString printed = withoutTimes(QString::fromUtf8(cli.readAllStandardOutput()));
            QCOMPARE(printed, expected[f]);
            QCOMPARE(pty->received().toHex(), hex(frames).toHex());
        }
    }

    // What the user sees when something is wrong, and what reached the wire meanwhile.
    void failuresEndInTheirStatusAndMessage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("complaint");
        QTest::addColumn<QStringList>("frames");
        const QStringList nothing;
        QTest::newRow("silent module") << QStringList{"read", "E2", "0", "--timeout", "100"} << 1 << ""
                                       << "error: no answer from E2 register 0\n" << QStringList{"55e30001"};
        QTest::newRow("silent ranger in the sequence")
            << QStringList{"ranges", "--timeout", "50", "--json"} << 1
            << "{\"t\":T,\"ranges\":[0,null,0,0,0]}\n"
            << "error: no answer from E2 register 0\n"
            << QStringList{"55e0000151", "55e10202", "55e2000151", "55e30202", "55e4000151", "55e50202",
                           "55e6000151", "55e70202", "55e8000151", "55e90202"};
        QTest::newRow("probe E0 and F0 only")
            << QStringList{"probe", "E0", "E2", "F0", "F2"} << 0
            << "E0 answered 2A\nE2 silent\nF0 answered 2A\nF2 silent\n2 of 4 answered\n" << ""
            << QStringList{"55e10001", "55e30001", "55f10001", "55f30001"};
        QTest::newRow("odd address") << QStringList{"read", "B1", "0"} << 2 << ""
                                     << "error: ADDR must be an even bus address from 02 to FE in hexadecimal, "
                                        "not \"B1\"\n" << nothing;
        QTest::newRow("register past 255") << QStringList{"read", "B0", "256"} << 2 << ""
                                           << "error: REG must be a number from 0 to 255, not \"256\"\n" << nothing;
        QTest::newRow("servo past 2500") << QStringList{"servo", "1", "2501"} << 2 << ""
                                         << "error: POSITION must be a number from 500 to 2500, not \"2501\"\n"
                                         << nothing;
        QTest::newRow("drive too long") << QStringList{"drive", "200", "128", "10001"} << 2 << ""
                                        << "error: MS must be a number from 0 to 10000, not \"10001\"\n" << nothing;
        QTest::newRow("text past 40") << QStringList{"display", QString(41, u'x')} << 2 << ""
                                      << "error: TEXT holds at most 40 characters\n" << nothing;
        QTest::newRow("repeated write") << QStringList{"relays", "1", "--every", "100"} << 2 << ""
                                        << "error: --every repeats reading commands only\n" << nothing;
        QTest::newRow("missing argument") << QStringList{"write", "B0", "0"} << 2 << ""
                                          << "error: usage: kestrava-cli write ADDR REG BYTE...\n" << nothing;
        QTest::newRow("no such port") << QStringList{"--device", "/nonexistent/tty", "read", "B0", "0"} << 3 << ""
                                      << "error: cannot open COM1 (/nonexistent/tty): No such file or directory\n"
                                      << nothing;
    }
    void failuresEndInTheirStatusAndMessage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, printed);
        QFETCH(QString, complaint);
        QFETCH(QStringList, frames);
        silent.insert(0xE2);
        silent.insert(0xF2);
        setRegister(0xE0, 0, 0x2A);
        setRegister(0xF0, 0, 0x2A);
        start(arguments);
        QCOMPARE(finish(), status);
        QTest::qWait(20);
        QCOMPARE(withoutTimes(QString::fromUtf8(cli.readAllStandardOutput())), printed);
        const QStringList complaints = QString::fromUtf8(cli.readAllStandardError()).split(u'\n');
        QCOMPARE(complaints.filter(QStringLiteral("error: ")), complaint.split(u'\n', Qt::SkipEmptyParts));
        QCOMPARE(pty->received().toHex(), hex(frames).toHex());
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
        QElapsedTimer clock;
        clock.start();
        start({"drive", "200", "100", "8000"});
        QVERIFY(QTest::qWaitFor([&] { return pty->received().size() >= 10; }, 5000));
        QTest::qWait(200); // in the middle of the drive's wait
        ::kill(pid_t(cli.processId()), signal);
        QCOMPARE(finish(), 0);
        QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(pty->received().toHex(), hex({"55b00001c8", "55b0010164", "55b0000180", "55b0010180"}).toHex());
    }

    void aDeviceLostWhileLoggingEndsWithStatus4()
    {
        start({"bearing", "--every", "100", "--csv"});
        QVERIFY(QTest::qWaitFor([&] { return cli.canReadLine() && cli.bytesAvailable() > 25; }, 5000));
        pty->hangUp();
        QCOMPARE(finish(), 4);
        const QStringList lines = withoutTimes(QString::fromUtf8(cli.readAllStandardOutput())).split(u'\n');
        QCOMPARE(lines.first(), QStringLiteral("t,version,bearing"));
        QVERIFY(lines.size() >= 3);
        QCOMPARE(lines.at(1), QStringLiteral("T,0,0"));
        QVERIFY(QString::fromUtf8(cli.readAllStandardError()).endsWith(QStringLiteral("error: the device was lost\n")));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
