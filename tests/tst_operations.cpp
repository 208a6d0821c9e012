#include "panel/compasspicture.h"
#include "tests/support/simulatedpanel.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTest>

using namespace kestrava;
using kestrava::test::SimulatedPanel;
using kestrava::test::WireEvent;

namespace {

enum Mode { Answered, Silent, Closed };

const QString Prompt = QStringLiteral("55c6001a0c5465636c656520656c20636f6469676f0d2020202020202020");
const QString Untouched = QStringLiteral("Escriba el texto a mandar al display ");

} // namespace

// Every operation of the window, driven by real clicks, keys and mouse events,
// each in three modes: the bus answers as listed; the module is silent (every
// wait times out and the captions show what the reply store held: 01 02 03 04);
// the port is closed (nothing goes out, nothing waits, no reading changes).
//
// Captions are "Name=value" when every mode shows the value, and
// "Name=answered|silent" for readings, which a closed port leaves as they were.
// "lamps" are the relay lamps from 1 to 8, "needle" the compass needle's angle,
// "focus" the control that has the focus.
class OperationsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;

    QString shown(const QString &name)
    {
        if (name == u"lamps") {
            QString lamps;
            for (int i = 0; i < 8; ++i)
                lamps += rig->control(QStringLiteral("ImgRele(%1)").arg(i))->isVisible() ? u'1' : u'0';
            return lamps;
        }
        if (name == u"focus")
            return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
        if (name == u"needle") {
            const std::optional<float> angle = rig->control<CompassPicture>(QStringLiteral("Picture1"))->needle();
            return angle ? QString::number(*angle, 'f', 4) : QStringLiteral("none");
        }
        return rig->text(name);
    }
    QString captionsOf(const QStringList &names)
    {
        QStringList out;
        for (const QString &name : names)
            out << name + u'=' + shown(name);
        return out.join(u'\n');
    }

    // Silent, a row may send other frames (`silentFrames`); `waits` counts the
    // time-outs a silent run has when it is not one per frame.
    static void row(const char *name, const QStringList &actions, const QStringList &frames,
                    const QStringList &captions = {}, const QStringList &answers = {}, int waits = -1,
                    const QStringList &silentFrames = {})
    {
        for (Mode mode : {Answered, Silent, Closed}) {
            static const char *const modeNames[] = {"answered", "silent", "port closed"};
            const QStringList &sent = mode == Silent && !silentFrames.isEmpty() ? silentFrames : frames;
            QTest::addRow("%s: %s", name, modeNames[mode])
                << int(mode) << actions << answers << sent << (waits < 0 ? int(sent.size()) : waits) << captions;
        }
    }

    // Frames in the tables may carry "@n": the frame goes out when the tick clock
    // shows n, that is right after a WaitTicks(n - 1).
    void checkOnTheWire(Mode mode, const QStringList &frames, int waits)
    {
        QStringList bare;
        for (const QString &frame : frames)
            bare << frame.section(u'@', 0, 0);
        QCOMPARE(rig->adapter().hexFrames().join(u'\n'), bare.join(u'\n'));
        QCOMPARE(rig->timeOuts(), mode == Silent ? waits : 0);
        int sent = 0;
        for (const WireEvent &event : std::as_const(rig->events)) {
            if (event.kind == WireEvent::TimedOut)
                QVERIFY2(event.ticks == 11, qPrintable(rig->describeRecord()));
            if (event.kind != WireEvent::Sent)
                continue;
            const QString ticks = frames.value(sent++).section(u'@', 1);
            if (!ticks.isEmpty())
                QVERIFY2(event.ticks == ticks.toInt(), qPrintable(rig->describeRecord()));
        }
    }

private slots:
    void initTestCase() { SimulatedPanel::prepareProgram(); }
    void cleanup() { rig.reset(); }

    void everyOperation_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<int>("waits");
        QTest::addColumn<QStringList>("captions");

        row("Motor1 marcha", {"click Command2"}, {"55b00001ff"});
        row("Motor 1 paro", {"click Command3"}, {"55b0000180"});
        row("Modo 0", {"click CmdModo0"}, {"55b00f0100"});
        row("Modo 2", {"click CmdModo2"}, {"55b00f0102"});
        row("Aceleracion 10", {"click CmdAcel10"}, {"55b00e010a"});
        row("Aceleracion 5", {"click CmdAcel5"}, {"55b00e0105"});
        row("Aceleracion 1", {"click CmdAcel1"}, {"55b00e0101"});
        row("Borrar Contadores", {"click CmdResetCounter"}, {"55b0100120"});
        row("Quitar Auto Velocidad", {"click CmdAutoOff"}, {"55b0100130"});
        row("Poner Auto Velocidad", {"click CmdAutoOn"}, {"55b0100131"});
        row("Quitar AutoStop", {"click CmdStopOff"}, {"55b0100132"});
        row("Poner AutoStop", {"click CmdStopOn"}, {"55b0100133"});

        // Timed moves: the stop goes out after the move's ticks and one more.
        row("Adelante 10", {"click CmdAdelante1(0)"}, {"55b0000188", "55b0000180@11"});
        row("Adelante 15", {"click CmdAdelante1(1)"}, {"55b000018c", "55b0000180@16"});
        row("Adelante 20", {"click CmdAdelante1(2)"}, {"55b000018c", "55b0000180@21"});
        row("Adelante 30", {"click CmdAdelante1(3)"}, {"55b000018c", "55b0000180@31"});
        row("Atras 10", {"click CmdAdelante1(4)"}, {"55b0000178", "55b0000180@11"});
        row("Atras 15", {"click CmdAdelante1(5)"}, {"55b0000174", "55b0000180@16"});
        row("Atras 20", {"click CmdAdelante1(6)"}, {"55b0000174", "55b0000180@21"});
        row("Atras 30", {"click CmdAdelante1(7)"}, {"55b0000174", "55b0000180@31"});
        row("right 10", {"click CmdGiro(0)"}, {"55b0010187", "55b0010180@11"});
        row("right 30", {"click CmdGiro(1)"}, {"55b001018c", "55b0010180@7"});
        row("right 45", {"click CmdGiro(2)"}, {"55b001018b", "55b0010180@15"});
        row("right 90", {"click CmdGiro(3)"}, {"55b001018b", "55b0010180@29"});
        row("left 10", {"click CmdGiro(4)"}, {"55b0010179", "55b0010180@11"});
        row("left 30", {"click CmdGiro(5)"}, {"55b0010174", "55b0010180@7"});
        row("left 45", {"click CmdGiro(6)"}, {"55b0010175", "55b0010180@15"});
        row("left 90", {"click CmdGiro(7)"}, {"55b0010175", "55b0010180@29"});

        row("pad press and release at the top left", {"press 1 1", "release 1 1"},
            {"55b00001aa", "55b0010156", "55b0000180", "55b0010180"}, {"Label10=86", "Label9=170"});
        row("pad press at the centre, drag to the bottom right",
            {"press 128 127", "move 257 255", "release 257 255"},
            {"55b0000180", "55b0010180", "55b0000156", "55b00101ab", "55b0000180", "55b0010180"},
            {"Label10=171", "Label9=86"});
        // Only the left button drives, with or without a modifier; any release stops both motors.
        row("pad pressed with shift", {"press 1 1 shift", "release 128 127 shift"},
            {"55b00001aa", "55b0010156", "55b0000180", "55b0010180"}, {"Label10=86", "Label9=170"});
        row("pad pressed with the right button", {"press 1 1 right", "release 128 127 right"},
            {"55b0000180", "55b0010180"}, {"Label10=", "Label9="});
        row("pad pressed with the middle button and ctrl", {"press 1 1 middle ctrl", "release 1 1 middle ctrl"},
            {"55b0000180", "55b0010180"}, {"Label10=", "Label9="});
        // The same values again are sent again; a move with the right button held too sends nothing.
        row("pad moved to the same values, then with both buttons held",
            {"press 1 1", "move 2 1", "move 257 255 lr", "release 257 255"},
            {"55b00001aa", "55b0010156", "55b00001aa", "55b0010156", "55b0000180", "55b0010180"},
            {"Label10=86", "Label9=170"});

        // Registers 2..10, then 13 (the version) before 11 and 12.
        row("Leer Datos", {"click CmdLeerDatos"},
            {"55b10201", "55b10301", "55b10401", "55b10501", "55b10601", "55b10701", "55b10801", "55b10901",
             "55b10a01", "55b10d01", "55b10b01", "55b10c01"},
            {"LblConta1=256|1.684301E+07", "LblConta2=1.677722E+07|1.684301E+07", "LblBateria=12.1|0.1",
             "LblVersionMD23=5|1", "LblCon1=0.5|0.1", "LblCon2=25.5|0.1"},
            {"00", "00", "01", "00", "01", "00", "00", "00", "79", "05", "05", "ff"});

        row("servo 21 to the end", {"end ServoScroll(20)"}, {"55c23d01c4", "55c23e0109"},
            {"ServoVal(20)=25", "ServoVal(0)=15"});
        row("servo 1 to the start", {"home ServoScroll(0)"}, {"55c20101f4", "55c2020101"}, {"ServoVal(0)=50"});
        row("speed to the end", {"end VeloScroll"},
            {"55c20001ff", "55c20301ff", "55c20601ff", "55c20901ff", "55c20c01ff", "55c20f01ff", "55c21201ff",
             "55c21501ff", "55c21801ff", "55c21b01ff", "55c21e01ff", "55c22101ff", "55c22401ff", "55c22701ff",
             "55c22a01ff", "55c22d01ff", "55c23001ff", "55c23301ff", "55c23601ff", "55c23901ff", "55c23c01ff"});

        row("Todo On, then relay 3 off", {"click CmdTodoOn", "click ReleOff(2)"}, {"55700101ff", "55700101fb"},
            {"TxtStatus=251", "lamps=11011111"});
        // Space on a focused button works it as a click does; "On" again and "Off" of an
        // off relay change nothing, and still send.
        row("relays 1 and 8 on, 8 on again, 3 off", {"click ReleOn(0)", "space ReleOn(7)", "click ReleOn(7)", "click ReleOff(2)"},
            {"5570010101", "5570010181", "5570010181", "5570010181"}, {"TxtStatus=129", "lamps=10000001"});
        row("relay 5 on, Todo Off, relay 8 off", {"click ReleOn(4)", "click CmdTodoOff", "click ReleOff(7)"},
            {"5570010110", "5570010100", "5570010100"}, {"TxtStatus=0", "lamps=00000000"});

        row("Display", {"type TxtLCD03 Añó 5 €", "click CmdLCD03_1"}, {"55c6000741f1f32035203f"},
            {"TxtLCD03=Añó 5 €"});
        row("Limpia", {"click CmdLCD03_2"}, {"55c600010c"});
        row("Retorno", {"click CmdLCD03_3"}, {"55c600010d"});
        row("Enciende", {"click CmdLCD03_4"}, {"55c6000113"});
        row("Apaga", {"space CmdLCD03_5"}, {"55c6000114"});
        // Keys 1, 2, # and 0, each echoed once released; silent, it gives up
        // after four unanswered readings and takes the stale 01 for no key.
        row("Teclado", {"click CmdLCD03_6"},
            {Prompt, "55c70101", "55c70101", "55c6000131", "55c70201", "55c70101", "55c70101", "55c6000132",
             "55c70201", "55c70101", "55c70201", "55c70201", "55c6000123", "55c70101", "55c70201", "55c70201",
             "55c6000130"},
            {"TxtLCD03=12#0|" + Untouched},
            {"01", "01", "00", "01", "00", "02", "00", "01", "00", "00", "08", "00", "01", "00", "04", "00", "01"},
            -1, {Prompt, "55c70101", "55c70201", "55c70101", "55c70201"});

        row("Leer Brújula", {"click CmdBrujula"}, {"55c10001", "55c10201", "55c10301"},
            {"LblVersionCMPS03=7|1", "LblBrujula=90|25.7", "needle=6.2832|1.1222"}, {"07", "03", "84"});
        row("Medir Temperatura", {"click CmdTPA81"},
            {"55d10001", "55d10101", "55d10201", "55d10301", "55d10401", "55d10501", "55d10601", "55d10701",
             "55d10801", "55d10901"},
            {"LblPixel(0)=5|1", "LblPixel(1)=22|1", "LblPixel(2)=0|1", "LblPixel(5)=23|1", "LblPixel(9)=255|1"},
            {"05", "16", "00", "15", "16", "17", "18", "19", "1a", "ff"});
        // Each range is read after the ranging wait's ticks.
        row("Medir Distancias", {"click CmdDistancia"},
            {"55e0000151", "55e10202@1", "55e2000151", "55e30202@1", "55e4000151", "55e50202@1", "55e6000151",
             "55e70202@1", "55e8000151", "55e90202@1"},
            {"LblDistancia(0)=85|258", "LblDistancia(1)=300|258", "LblDistancia(2)=0|258",
             "LblDistancia(3)=65535|258", "LblDistancia(4)=4660|258"},
            {"01", "0055", "01", "012c", "01", "0000", "01", "ffff", "01", "1234"});
        // Four frames back to back, then one wait; the boxes keep their texts.
        row("Cambiar dirección", {"type TxtActDir e 0", "type TxtNueDir F2x", "click CmdDireccion"},
            {"55e00001a0", "55e00001aa", "55e00001a5", "55e00001f2"}, {"TxtActDir=e 0", "TxtNueDir=F2x"}, {}, 1);
        // Addresses beyond a byte send nothing; the box at fault takes the focus.
        row("a new address beyond a byte", {"type TxtNueDir 100", "click CmdDireccion"}, {},
            {"focus=TxtNueDir", "TxtNueDir=100"});
        row("a current address of FFFF, that is -1", {"type TxtActDir FFFF", "click CmdDireccion"}, {},
            {"focus=TxtActDir"});
        // FF is the last address; a second click sends the whole sequence again.
        row("a new address of FF, twice", {"type TxtNueDir FF", "click CmdDireccion", "click CmdDireccion"},
            {"55e00001a0", "55e00001aa", "55e00001a5", "55e00001ff", "55e00001a0", "55e00001aa", "55e00001a5",
             "55e00001ff"}, {}, {}, 2);
        row("a current address beyond 16 bits", {"type TxtActDir 12345", "click CmdDireccion"}, {},
            {"focus=TxtActDir"});
        row("a current address of no hexadecimal digit", {"type TxtActDir 中", "click CmdDireccion"},
            {"55000001a0", "55000001aa", "55000001a5", "55000001e2"}, {}, {}, 1);
        row("Display with 41 characters", {"type TxtLCD03 " + QString(41, u'x'), "click CmdLCD03_1"},
            {"55c60028" + QStringLiteral("78").repeated(40)});
        row("Display with an empty text", {"type TxtLCD03", "click CmdLCD03_1"}, {"55c60000"}, {"TxtLCD03="});
    }
    void everyOperation()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, actions);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, frames);
        QFETCH(int, waits);
        QFETCH(QStringList, captions);
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->startAdapter() && rig->openPanel());
        TransactionEngine &engine = rig->panel().engine();
        // What the silent reads find in the reply store.
        rig->adapter().queueAnswers({"01020304"});
        engine.transact(QByteArray::fromHex("55410004"), 4);
        QCOMPARE(engine.reply(3), quint8(4));
        // The tables count ticks, so a faster clock tells the same; the
        // 50 ms tick itself is checked where the engine is.
        engine.setTickInterval(std::chrono::milliseconds(mode == Silent ? 1 : 10));
        rig->adapter().queueAnswers(answers);
        rig->adapter().setSilent(mode == Silent);
        if (mode == Closed) {
            engine.setTickInterval(TransactionEngine::TickInterval);
            rig->panel().line().close();
        }
        QStringList names;
        QStringList expected;
        for (const QString &caption : captions) {
            const QString name = caption.section(u'=', 0, 0);
            const QStringList values = caption.section(u'=', 1).split(u'|');
            const bool reading = values.size() > 1;
            names << name;
            expected << name + u'=' + (mode == Closed && reading ? shown(name) : values.value(mode == Silent && reading));
        }
        rig->clearRecord();

        QVERIFY(!engine.timerRunning());
        for (const QString &action : actions)
            rig->perform(action);

        if (mode == Closed) {
            // Nothing went out and no wait ran: every wait switches Timer1 on, and only a reply taken stops it.
            QCOMPARE(rig->sentHex(), QStringList());
            QCOMPARE(rig->timeOuts(), 0);
            QVERIFY(!engine.timerRunning());
        } else {
            checkOnTheWire(Mode(mode), frames, waits);
        }
        QCOMPARE(captionsOf(names), expected.join(u'\n'));
        if (mode == Closed)
            QVERIFY(rig->panel().line().open());
        rig->adapter().setSilent(false);
        KESTRAVA_VERIFY_SOUND(*rig);
    }

    // What shows while an operation runs: each caption as soon as its value is
    // complete, and a bar moved during a wait read afresh for the frames after it.
    // "k:Name=value" is checked when the k-th frame (from 0) reaches the adapter.
    void whatShowsAndWhatIsReadDuringAnOperation_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("during"); // done when frame 1 arrives, inside its wait; "; " between actions
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QStringList>("shownAt");
        QStringList speeds; // the speed register of each servo, 0x00 to 0x3c in steps of 3
        for (int servo = 0; servo < 21; ++servo)
            speeds << QStringLiteral("55c2%1").arg(servo * 3, 2, 16, QLatin1Char('0')) + QStringLiteral("01");
        QTest::newRow("Leer Datos") << "click CmdLeerDatos"
                                    << QStringList{"00", "00", "01", "00", "01", "00", "00", "00", "79", "05", "05"} << ""
                                    << QStringList{} << QStringList{"4:LblConta1=256", "4:LblConta2=", "9:LblConta2=1.677722E+07",
                                                                    "9:LblBateria=12.1", "9:LblVersionMD23=", "11:LblVersionMD23=5",
                                                                    "11:LblCon1=0.5", "11:LblCon2="};
        QTest::newRow("Medir Distancias") << "click CmdDistancia" << QStringList{"01", "0055", "01", "012c"} << ""
                                          << QStringList{} << QStringList{"2:LblDistancia(0)=85", "3:LblDistancia(1)=0",
                                                                          "4:LblDistancia(1)=300"};
        // The first change shows the bar as it stands after its waits; the second runs after it.
        QTest::newRow("servo bar moved during a wait")
            << "step ServoScroll(0)" << QStringList{} << "home ServoScroll(0)"
            << QStringList{"55c20101e6", "55c2020105", "55c20101f4", "55c2020101"} << QStringList{"2:ServoVal(0)=50"};
        // The pad's labels are set before its first frame; moves during its waits merge into
        // the latest, and the release goes out after them, last.
        QTest::newRow("pad moved and released during an update")
            << "press 257 255" << QStringList{} << "move 200 50; move 150 100; move 1 127; release 1 127"
            << QStringList{"55b0000156", "55b00101ab", "55b0000180", "55b0010156", "55b0000180", "55b0010180"}
            << QStringList{"0:Label10=171", "0:Label9=86"};
        QStringList oneThenFull;
        for (const QString &frame : speeds)
            oneThenFull << frame + (oneThenFull.size() < 2 ? QStringLiteral("01") : QStringLiteral("ff"));
        for (const QString &frame : speeds)
            oneThenFull << frame + QStringLiteral("ff");
        QTest::newRow("speed bar moved during the loop") << "step VeloScroll" << QStringList{} << "end VeloScroll"
                                                         << oneThenFull << QStringList{};
    }
    void whatShowsAndWhatIsReadDuringAnOperation()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, answers);
        QFETCH(QString, during);
        QFETCH(QStringList, frames);
        QFETCH(QStringList, shownAt);
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->startAdapter() && rig->openPanel());
        rig->adapter().queueAnswers(answers);
        QStringList seen;
        QObject scope;
        connect(&rig->adapter(), &test::ScriptedAdapter::frameReceived, &scope, [&] {
            const qsizetype k = rig->adapter().frames().size() - 1;
            if (k == 1) {
                for (const QString &act : during.split(QStringLiteral("; "), Qt::SkipEmptyParts))
                    rig->perform(act);
            }
            for (const QString &check : shownAt.filter(QRegularExpression(QStringLiteral("^%1:").arg(k))))
                seen << QStringLiteral("%1:%2=%3").arg(k).arg(check.section(u':', 1).section(u'=', 0, 0),
                                                          shown(check.section(u':', 1).section(u'=', 0, 0)));
        });
        rig->perform(action);
        QCOMPARE(seen, shownAt);
        if (!frames.isEmpty())
            QCOMPARE(rig->adapter().hexFrames(), frames);
        KESTRAVA_VERIFY_SOUND(*rig);
    }
};

QTEST_MAIN(OperationsTest)
#include "tst_operations.moc"
