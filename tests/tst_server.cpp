#include "cli/commands.h"
#include "cli/rpc.h"
#include "launcher/simanswers.h"
#include "launcher/simulatedbus.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <csignal>

using kestrava::launcher::SimulatedBus;

// kestrava-cli serve against the simulator: every method's result against the
// simulated modules' own registers, every error, and the motors stopped with the
// stop of their mode however the server ends.
class ServerTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedBus> sim;
    std::unique_ptr<QProcess> server;

    void startServer(const QStringList &options = {})
    {
        server = std::make_unique<QProcess>();
        server->start(QStringLiteral(KESTRAVA_CLI_BINARY),
                      QStringList{"--device", sim->devicePath(), "--timeout", "100"} + options + QStringList{"serve"});
        QVERIFY(server->waitForStarted());
    }
    // Sends a line; the reply's line, or an empty string when none comes.
    QByteArray exchange(const QByteArray &line, int timeoutMs = 3000)
    {
        server->write(line + '\n');
        QDeadlineTimer deadline(timeoutMs);
        while (!server->canReadLine() && server->waitForReadyRead(int(deadline.remainingTime()))) {
        }
        return server->readLine().trimmed();
    }
    QJsonValue call(const QString &method, const QJsonObject &params = {})
    {
        const QJsonObject request{{"jsonrpc", "2.0"}, {"id", 7}, {"method", method}, {"params", params}};
        const QJsonObject reply = QJsonDocument::fromJson(exchange(QJsonDocument(request).toJson(QJsonDocument::Compact))).object();
        return reply.contains(QStringLiteral("error")) ? reply.value(QStringLiteral("error")) : reply.value(QStringLiteral("result"));
    }
    QString control(const QString &line) { return sim->command(line).value(0); }

private slots:
    void init()
    {
        qputenv("QT_LOGGING_RULES", "kestrava.*=false");
        sim = std::make_unique<SimulatedBus>();
        QVERIFY(sim->start(QStringLiteral(KESTRAVA_SIM_BINARY), {QStringLiteral("--fast")}));
        for (const char *line : {"pose 300 200 0", "bearing 123.4", "noise off", "temp 22 30 31 32 33 34 35 36 37",
                                 "range E0 50", "range E2 60", "range E4 70", "range E6 80", "range E8 90"})
            QCOMPARE(control(QString::fromLatin1(line)), QStringLiteral("ok"));
    }
    void cleanup()
    {
        if (server) {
            server->closeWriteChannel();
            server->waitForFinished(3000);
        }
        server.reset();
        sim.reset();
    }

    // The simulator's JSON answers as the server reads them, once, into what they say.
    void theSimulatorsAnswersAreReadIntoWhatTheySay_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("read");
        QTest::newRow("not started") << R"({"ok":true,"state":"not started","time":0,"contacts":0})" << "ok; run 0 0 0";
        QTest::newRow("running") << R"({"ok":true,"state":"running","time":12.3,"contacts":1})" << "ok; run 1 12.3 1";
        QTest::newRow("ended") << R"({"ok":true,"state":"ended","time":0.6,"contacts":0})" << "ok; run 2 0.6 0";
        QTest::newRow("finished") << R"({"ok":true,"state":"finished","time":41.2,"contacts":2})" << "ok; run 3 41.2 2";
        QTest::newRow("a state unknown") << R"({"ok":true,"state":"paused","time":1,"contacts":0})" << "ok";
        QTest::newRow("a run garbled") << R"({"ok":true,"state":"running","time":"soon","contacts":2})" << "ok";
        QTest::newRow("a run cut short") << R"({"ok":true,"state":"running","time":3.0})" << "ok";
        QTest::newRow("refused") << R"({"ok":false,"error":"nowhere: no such file"})" << "error \"nowhere: no such file\"";
        QTest::newRow("the world") << R"({"ok":true,"robot":{"x":30,"y":125,"heading":90.5}})" << "ok; pose 30 125 90.5";
        QTest::newRow("a world with no robot") << R"({"ok":true,"robot":"at home"})" << "ok";
        QTest::newRow("a path") << R"({"ok":true,"points":[{"t":0,"x":1,"y":2,"heading":3,"fan":false,"contact":true}]})"
                                << "ok; 1 points";
        QTest::newRow("a point without its fan") << R"({"ok":true,"points":[{"t":0,"x":1,"y":2,"heading":3}]})" << "ok";
        QTest::newRow("prose is no answer") << "ok running time 12.3 contacts 1" << "no answer";
        QTest::newRow("okay is no ok") << R"({"ok":"yes"})" << "no answer";
        QTest::newRow("nothing") << "" << "no answer";
    }
    void theSimulatorsAnswersAreReadIntoWhatTheySay()
    {
        QFETCH(QString, line);
        using namespace kestrava::launcher;
        const std::optional<SimAnswer> answer = simAnswerOf(line);
        QString read = QStringLiteral("no answer");
        if (answer) {
            read = answer->ok ? QStringLiteral("ok") : QStringLiteral("error \"%1\"").arg(answer->error);
            if (const std::optional<SimRun> run = runOf(*answer))
                read += QStringLiteral("; run %1 %2 %3").arg(int(run->state)).arg(run->seconds).arg(run->contacts);
            if (const std::optional<SimPose> pose = poseOf(*answer))
                read += QStringLiteral("; pose %1 %2 %3").arg(pose->x).arg(pose->y).arg(pose->heading);
            if (const std::optional<QJsonArray> points = pathOf(*answer))
                read += QStringLiteral("; %1 points").arg(points->size());
        }
        QTEST(read, "read");
    }

    // The reply to each method, and what the simulated modules hold afterwards.
    void eachMethodAnswersFromItsOwnFrame_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("params");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("check");  // a control command...
        QTest::addColumn<QString>("checked"); // ...and its first line
        QTest::addColumn<QStringList>("setup"); // control commands before the call
        // A plain register file at B0 holds whatever encoder bytes a row needs.
        const QStringList plainB0{"remove B0", "add B0 generic", "set B0 10 121 0 0 9"};
        QTest::newRow("telemetry, a step back") << "telemetry" << "{}"
            << R"({"battery":12.1,"current1":0,"current2":0,"encoder1":-167,"encoder2":256,"version":9})" << "" << ""
            << plainB0 + QStringList{"set B0 2 0xff 0xff 0xff 0x59 0 0 1 0"};
        QTest::newRow("telemetry, the extreme counts") << "telemetry" << "{}"
            << R"({"battery":12.1,"current1":0,"current2":0,"encoder1":-2147483648,"encoder2":2147483647,"version":9})"
            << "" << "" << plainB0 + QStringList{"set B0 2 0x80 0 0 0 0x7f 0xff 0xff 0xff"};
        QTest::newRow("ranges one by one") << "ranges" << R"({"together":false})" << R"({"ranges":[50,60,70,80,90]})"
                                           << "" << "" << QStringList{};
        QTest::newRow("bearing") << "bearing" << "{}" << R"({"bearing":123.4,"version":14})" << "" << "" << QStringList{};
        QTest::newRow("thermal") << "thermal" << "{}"
                                 << R"({"ambient":22,"pixels":[30,31,32,33,34,35,36,37],"version":6})" << "" << "" << QStringList{};
        QTest::newRow("telemetry") << "telemetry" << "{}"
                                   << R"({"battery":12.1,"current1":0,"current2":0,"encoder1":0,"encoder2":0,"version":9})"
                                   << "" << "" << QStringList{};
        QTest::newRow("ranges") << "ranges" << "{}" << R"({"ranges":[50,60,70,80,90]})" << "" << "" << QStringList{};
        QTest::newRow("read") << "read" << R"({"address":192,"register":2,"count":2})" << R"({"bytes":[4,210]})" << "" << "" << QStringList{};
        QTest::newRow("read, count left out") << "read" << R"({"address":192,"register":0})" << R"({"bytes":[14]})" << "" << "" << QStringList{};
        QTest::newRow("write") << "write" << R"({"address":112,"register":1,"bytes":[129]})" << R"({"answer":1})"
                               << "get 70 1" << "ok 81" << QStringList{};
        QTest::newRow("relays") << "relays" << R"({"pattern":6})" << "{}" << "get 70 1" << "ok 06" << QStringList{};
        QTest::newRow("servo") << "servo" << R"({"channel":2,"position":1500})" << "{}" << "get C2 4 2" << "ok dc 05" << QStringList{};
        QTest::newRow("display") << "display" << R"({"text":"Hola"})" << "{}" << "screen" << "|Hola                |" << QStringList{};
        QTest::newRow("keys") << "keys" << "{}" << R"({"keys":"5#"})" << "" << "" << QStringList{};
    }
    void eachMethodAnswersFromItsOwnFrame()
    {
        QFETCH(QString, method);
        QFETCH(QString, params);
        QFETCH(QString, result);
        QFETCH(QString, check);
        QFETCH(QString, checked);
        QFETCH(QStringList, setup);
        for (const QString &line : setup)
            QCOMPARE(control(line), QStringLiteral("ok"));
        control(QStringLiteral("press 5"));
        control(QStringLiteral("press #"));
        startServer();
        const QJsonValue reply = call(method, QJsonDocument::fromJson(params.toUtf8()).object());
        QCOMPARE(QJsonDocument(reply.toObject()).toJson(QJsonDocument::Compact), result.toUtf8());
        if (!check.isEmpty())
            QCOMPARE(control(check), checked);
    }

    // Raw lines in, raw replies out: the protocol's errors, notifications, batches.
    void badRequestsGetErrorsAndTheServerGoesOn_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("reply"); // empty: no reply at all
        const auto error = [](const char *id, int code) {
            return QStringLiteral(R"({"error":{"code":%1)").arg(code).toUtf8() + "," + id;
        };
        QTest::newRow("not JSON") << QByteArray("{\"jsonrpc\":") << error("", -32700);
        for (const char *lone : {"1", "null", "true", "\"x\""})
            QTest::addRow("a lone %s", lone) << QByteArray(lone) << error("", -32600);
        for (const char *params : {"null", "\"x\"", "3"})
            QTest::addRow("params %s", params)
                << R"({"jsonrpc":"2.0","id":3,"method":"hello","params":)" + QByteArray(params) + "}" << error("", -32600);
        QTest::newRow("no jsonrpc member") << QByteArray(R"({"method":"bearing","id":1})") << error("", -32600);
        QTest::newRow("an id that is an object") << QByteArray(R"({"jsonrpc":"2.0","method":"stop","id":{}})")
                                                 << error("", -32600);
        QTest::newRow("empty batch") << QByteArray("[]") << error("", -32600);
        QTest::newRow("no such method") << QByteArray(R"({"jsonrpc":"2.0","method":"fly","id":1})") << error("", -32601);
        const QList<std::pair<const char *, const char *>> badParams{
            {"odd address", R"("read","params":{"address":193,"register":0,"count":1})"},
            {"address in text", R"("read","params":{"address":"C0","register":0,"count":1})"},
            {"count 256", R"("read","params":{"address":192,"register":0,"count":256})"},
            {"byte 256", R"("write","params":{"address":192,"register":0,"bytes":[256]})"},
            {"no bytes", R"("write","params":{"address":192,"register":0,"bytes":[]})"},
            {"servo 22", R"("servo","params":{"channel":22,"position":1500})"},
            {"position 2501", R"("servo","params":{"channel":1,"position":2501})"},
            {"41 characters", R"("display","params":{"text":"01234567890123456789012345678901234567890"})"},
            {"half a speed", R"("drive","params":{"speed1":1.5,"speed2":128})"},
            {"10001 ms", R"("drive","params":{"speed1":128,"speed2":128,"ms":10001})"},
            {"pattern 256", R"("relays","params":{"pattern":256})"},
            {"together as a number", R"("ranges","params":{"together":1})"},
            {"more params by position than the method takes", R"("relays","params":[1,2])"},
            {"a position out of range", R"("servo","params":[22,1500])"},
            {"wait without ms", R"("drive","params":{"speed1":128,"speed2":128,"wait":false})"},
        };
        for (const auto &[name, call] : badParams)
            QTest::newRow(name) << R"({"jsonrpc":"2.0","id":3,"method":)" + QByteArray(call) + "}" << error("", -32602);
        QTest::newRow("a silent module") << QByteArray(R"({"jsonrpc":"2.0","method":"read","params":{"address":66,"register":5,"count":1},"id":4})")
                                         << QByteArray(R"({"error":{"code":1,"data":{"address":66,"register":5},"message":"no answer from 42 register 5"},"id":4,"jsonrpc":"2.0"})");
        QTest::newRow("a notification") << QByteArray(R"({"jsonrpc":"2.0","method":"relays","params":{"pattern":1}})")
                                        << QByteArray();
        QTest::newRow("a batch with a notification")
            << QByteArray(R"([{"jsonrpc":"2.0","method":"relays","params":{"pattern":1}},{"jsonrpc":"2.0","method":"read","params":{"address":112,"register":1,"count":1},"id":"r"},5])")
            << QByteArray(R"([{"id":"r","jsonrpc":"2.0","result":{"bytes":[1]}},{"error":{"code":-32600,"message":"not a JSON-RPC 2.0 request"},"id":null,"jsonrpc":"2.0"}])");
        QTest::newRow("a batch of notifications only") << QByteArray(R"([{"jsonrpc":"2.0","method":"relays","params":{"pattern":1}},{"jsonrpc":"2.0","method":"hello"}])")
                                                       << QByteArray();
        // Ids come back as they were sent, whatever their length; params by position in the docs' order.
        const auto result = [](const char *id, const char *result) {
            return QByteArray(R"({"id":)") + id + R"(,"jsonrpc":"2.0","result":)" + result + "}";
        };
        for (const char *id : {"123456789012345678901234567890", "-9007199254740993", "1.5", "\"a\\\"b\"", "null", "0"})
            QTest::addRow("id %s", id) << R"({"jsonrpc":"2.0","method":"read","params":[112,1],"id":)" + QByteArray(id) + "}"
                                       << result(id, R"({"bytes":[0]})");
        QTest::newRow("read by position") << QByteArray(R"({"jsonrpc":"2.0","method":"read","params":[192,2,2],"id":1})")
                                          << result("1", R"({"bytes":[4,210]})");
        QTest::newRow("keys by position, none") << QByteArray(R"({"jsonrpc":"2.0","method":"keys","params":[],"id":1})")
                                                 << result("1", R"({"keys":""})");
        QTest::newRow("a line of 70000 bytes") << QByteArray(70000, ' ') + "1" << error("", -32600);
    }
    void badRequestsGetErrorsAndTheServerGoesOn()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, reply);
        startServer();
        const QByteArray got = exchange(line, reply.isEmpty() ? 300 : 3000);
        QVERIFY2(reply.isEmpty() ? got.isEmpty() : got.startsWith(reply) || got == reply, got.constData());
        if (!reply.isEmpty())
            QVERIFY2(QJsonDocument::fromJson(got).isObject() || QJsonDocument::fromJson(got).isArray(), got.constData());
        QCOMPARE(call(QStringLiteral("bearing")).toObject().value("bearing").toDouble(), 123.4);
    }

    // However the server ends, the motors get the stop of their mode: set moving by a
    // drive, by a write of the speed registers, or by a drive before the mode was written.
    void theMotorsStopWhenTheServerEnds_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("stop");
        const QList<std::pair<int, const char *>> stops{{0, "80 80"}, {1, "00 00"}, {2, "80 80"}, {3, "00 00"}};
        for (const QString ending : {"end of input", "SIGTERM", "watchdog"}) {
            for (const auto &[mode, stop] : stops)
                QTest::addRow("mode %d, %s", mode, qPrintable(ending)) << mode << "drive" << ending << stop;
        }
        for (const QString ending : {"end of input", "watchdog"}) {
            QTest::addRow("speeds by write, mode 1, %s", qPrintable(ending)) << 1 << "write" << ending << "00 00";
            QTest::addRow("speeds by write, mode 2, %s", qPrintable(ending)) << 2 << "write" << ending << "80 80";
            QTest::addRow("mode 1 written after a drive, %s", qPrintable(ending)) << 1 << "mode after a drive" << ending << "00 00";
        }
        QTest::newRow("mode 0, the default watchdog") << 0 << "drive" << "default watchdog" << "80 80";
        QTest::newRow("mode 1, a timed drive that answered at once") << 1 << "drive, no wait" << "its time" << "00 00";
    }
    void theMotorsStopWhenTheServerEnds()
    {
        QFETCH(int, mode);
        QFETCH(QString, how);
        QFETCH(QString, ending);
        QFETCH(QString, stop);
        const bool byDefault = ending == QLatin1String("default watchdog");
        const auto setMode = [this](int value) {
            QCOMPARE(call("write", {{"address", 176}, {"register", 15}, {"bytes", QJsonArray{value}}}).toObject().value("answer"), 1);
        };
        // The controller's own 2 s automatic stop off: only the server's stops count.
        QCOMPARE(control(QStringLiteral("write B0 16 0x32")), QStringLiteral("ok"));
        startServer(byDefault ? QStringList() : QStringList{"--watchdog", "300"});
        if (how == QLatin1String("mode after a drive")) { // the mode read for the drive is no longer true
            setMode(0);
            QCOMPARE(call("drive", {{"speed1", 140}, {"speed2", 140}}), QJsonValue(QJsonObject()));
        }
        setMode(mode);
        if (how == QLatin1String("write"))
            QCOMPARE(call("write", {{"address", 176}, {"register", 0}, {"bytes", QJsonArray{40, 40}}}).toObject().value("answer"), 1);
        else if (how == QLatin1String("drive, no wait")) // longer than the watchdog, which leaves it alone
            QCOMPARE(call("drive", {{"speed1", 40}, {"speed2", 40}, {"ms", 1500}, {"wait", false}}), QJsonValue(QJsonObject()));
        else
            QCOMPARE(call("drive", {{"speed1", 40}, {"speed2", 40}}), QJsonValue(QJsonObject()));
        QCOMPARE(control(QStringLiteral("get B0 0 2")), QStringLiteral("ok 28 28"));
        if (ending == QLatin1String("end of input"))
            server->closeWriteChannel();
        else if (ending == QLatin1String("SIGTERM"))
            ::kill(pid_t(server->processId()), SIGTERM);
        if (ending == QLatin1String("its time")) {
            QTest::qWait(800); // past the watchdog's 300 ms
            QCOMPARE(control(QStringLiteral("get B0 0 2")), QStringLiteral("ok 28 28"));
            QTRY_COMPARE_WITH_TIMEOUT(control(QStringLiteral("get B0 0 2")), QStringLiteral("ok ") + stop, 5000);
        } else if (!ending.endsWith(QLatin1String("watchdog"))) {
            QVERIFY(server->waitForFinished(3000));
            QCOMPARE(server->exitCode(), 0);
        } else {
            if (byDefault) { // 1000 ms: not yet at 600
                QTest::qWait(600);
                QCOMPARE(control(QStringLiteral("get B0 0 2")), QStringLiteral("ok 28 28"));
            }
            QTRY_COMPARE_WITH_TIMEOUT(control(QStringLiteral("get B0 0 2")), QStringLiteral("ok ") + stop, 3000);
            QCOMPARE(server->state(), QProcess::Running); // stopped the motors, and goes on serving
        }
        QCOMPARE(control(QStringLiteral("get B0 0 2")), QStringLiteral("ok ") + stop);
    }

    // Lost in the middle of a timed drive: the drive ends at once, and the request
    // queued behind it is answered too, both with code 4.
    void aDeviceLostInATimedDriveAnswersEveryRequestRead()
    {
        startServer();
        server->write(R"({"jsonrpc":"2.0","method":"drive","params":{"speed1":160,"speed2":160,"ms":8000},"id":1})" "\n"
                      R"({"jsonrpc":"2.0","method":"hello","id":"next"})" "\n");
        QTRY_COMPARE_WITH_TIMEOUT(control(QStringLiteral("get B0 0 2")), QStringLiteral("ok a0 a0"), 3000);
        QCOMPARE(control(QStringLiteral("drop")), QStringLiteral("ok"));
        QVERIFY(server->waitForFinished(3000)); // the drive had 7 s or more to go
        QCOMPARE(server->exitCode(), 4);
        const QByteArray lost = R"(,"jsonrpc":"2.0","error":{"code":4,"message":"the device was lost"}})";
        QCOMPARE(server->readAllStandardOutput(),
                 QByteArray(R"({"error":{"code":4,"message":"the device was lost"},"id":1,"jsonrpc":"2.0"})" "\n"
                            R"({"error":{"code":4,"message":"the device was lost"},"id":"next","jsonrpc":"2.0"})" "\n"));
    }

    // The reference in docs/programming.md and in the man page lists every method of the
    // server's list, each with its params in their order by position, and no other.
    void theReferenceListsEveryMethodWithItsParams_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("section"); // where the reference starts
        QTest::addColumn<QString>("entry");   // a method and the text of its params
        QTest::addColumn<QString>("param");   // a param's name in that text
        QTest::newRow("docs/programming.md") << "docs/programming.md" << "## The server's methods"
                                             << R"(^\| `([\w.]+)` \| ([^|]*)\|)" << R"(`(\w+)`)";
        QTest::newRow("the man page") << "packaging/man/kestrava-cli.1" << ".SH SERVER METHODS"
                                      << R"(^\.TP\n\.B ([\w.]+)\n((?:[^.\n].*\n)*))" << R"(\\fI(\w+)\\fR)";
    }
    void theReferenceListsEveryMethodWithItsParams()
    {
        QFETCH(QString, file);
        QFETCH(QString, section);
        QFETCH(QString, entry);
        QFETCH(QString, param);
        QFile reference(QStringLiteral(KESTRAVA_SOURCE_DIR "/") + file);
        QVERIFY(reference.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(reference.readAll());
        QVERIFY(text.contains(section));
        const QString body = text.mid(text.indexOf(section)).section(QRegularExpression(QStringLiteral("\n(## |\\.SH )")), 0, 0);
        QStringList documented;
        QHash<QString, QString> texts; // a method's params as the reference words them
        auto entries = QRegularExpression(entry, QRegularExpression::MultilineOption).globalMatch(body);
        while (entries.hasNext()) {
            const auto match = entries.next();
            QStringList params;
            auto names = QRegularExpression(param).globalMatch(match.captured(2));
            while (names.hasNext())
                params << names.next().captured(1);
            documented << match.captured(1) + '(' + params.join(u',') + ')';
            texts.insert(match.captured(1), match.captured(2));
        }
        QStringList served;
        for (const kestrava::cli::CommandRow &row : kestrava::cli::commands()) {
            if (!row.method)
                continue;
            QStringList params;
            for (const kestrava::cli::Param &p : row.params) {
                params << QLatin1String(p.name);
                // Each param's range, in the words after its name.
                using Param = kestrava::cli::Param;
                const QString range = p.type == Param::Text ? QStringLiteral("up to %1").arg(p.most)
                                    : p.type == Param::Flag || p.type == Param::OneLine ? QString()
                                                                                        : QStringLiteral("%1 to %2").arg(p.least).arg(p.most);
                const QString text = texts.value(QLatin1String(row.method));
                const QString after = text.mid(text.indexOf(QRegularExpression(QString(param).replace(QStringLiteral("(\\w+)"), QLatin1String(p.name)))));
                QVERIFY2(after.contains(range), qPrintable(QLatin1String(row.method) + ": " + QLatin1String(p.name) + " " + range));
            }
            served << QLatin1String(row.method) + '(' + params.join(u',') + ')';
        }
        QCOMPARE(documented, served);
    }

    // The man page's COMMANDS give every command of the table with its usage, in its order.
    void theManPageListsEveryCommandWithItsUsage()
    {
        QFile page(QStringLiteral(KESTRAVA_SOURCE_DIR "/packaging/man/kestrava-cli.1"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        const QString body = text.mid(text.indexOf(".SH COMMANDS")).section(QStringLiteral("\n.SH "), 0, 0);
        QStringList documented;
        auto entries = QRegularExpression(QStringLiteral(R"(^\.TP\n\.B (.*)$)"), QRegularExpression::MultilineOption)
                           .globalMatch(body);
        while (entries.hasNext()) {
            // "telemetry\fR, \fBranges" names two commands; "\-" is a plain hyphen.
            QString usages = entries.next().captured(1);
            usages.remove(QStringLiteral("\\fR")).remove(QStringLiteral("\\fB")).replace(QStringLiteral("\\-"), QStringLiteral("-"));
            documented << usages.split(QStringLiteral(", "));
        }
        QStringList usages;
        for (const kestrava::cli::CommandRow &row : kestrava::cli::commands()) {
            if (row.name)
                usages << QLatin1String(row.usage);
        }
        QCOMPARE(documented, usages);
    }

    void aLostDeviceEndsTheServerWithStatus4()
    {
        startServer();
        QCOMPARE(call(QStringLiteral("hello")).toObject().value("open"), QJsonValue(true));
        QCOMPARE(call("drive", {{"speed1", 160}, {"speed2", 160}}), QJsonValue(QJsonObject()));
        QCOMPARE(control(QStringLiteral("drop")), QStringLiteral("ok"));
        QVERIFY(server->waitForFinished(3000)); // at once, with no request to find out
        QCOMPARE(server->exitCode(), 4);
        QVERIFY(server->readAllStandardError().contains("the device was lost"));
    }

    void aPortThatCannotBeOpenedIsCode3()
    {
        server = std::make_unique<QProcess>();
        server->start(QStringLiteral(KESTRAVA_CLI_BINARY), {"--device", "/nonexistent/tty", "serve"});
        QCOMPARE(call(QStringLiteral("hello")).toObject().value("open"), QJsonValue(false));
        QCOMPARE(call(QStringLiteral("bearing")).toObject().value("code").toInt(), 3);
    }
};

QTEST_GUILESS_MAIN(ServerTest)
#include "tst_server.moc"
