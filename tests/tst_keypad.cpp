#include "simulatedpanel.h"

#include <QTest>
#include <QTimer>

using namespace kestrava;
using kestrava::test::SimulatedPanel;
using kestrava::test::WireEvent;

namespace {

const QString Prompt = QStringLiteral("55c6001a0c5465636c656520656c20636f6469676f0d2020202020202020");
const QString ReadLow = QStringLiteral("55c70101");
const QString ReadHigh = QStringLiteral("55c70201");
const QString Untouched = QStringLiteral("Escriba el texto a mandar al display ");

// The keypad as an operator works it, answered read by read. The script is a list
// of steps: "5" a key held for one reading of its register, then released (the
// next reading of that register gives 0); "5:20" held for 20 readings; "L03",
// "H10" a raw reading of the low or high register; "3:3!" key 3 held for three
// readings, then the module falls silent with the key still down; "-6" nothing
// held for 6 readings; "?" the next reading unanswered; "!" silent from here on.
class OperatorAtTheKeypad
{
public:
    explicit OperatorAtTheKeypad(const QString &script) : m_steps(script.split(u' ', Qt::SkipEmptyParts)) {}

    QByteArray answer(const QByteArray &frame)
    {
        const QString step = m_steps.value(0);
        if (step == u"!")
            return {};
        if (!(quint8(frame[1]) & 1))
            return QByteArray::fromHex("01");
        if (step == u"?") {
            m_steps.removeFirst();
            return {};
        }
        return QByteArray(1, char(reading(quint8(frame[2]))));
    }

private:
    quint8 reading(int keypadRegister)
    {
        if (m_steps.isEmpty())
            return 0;
        QString &step = m_steps.first();
        const QString key = step.section(u':', 0, 0).remove(u'!');
        int readings = step.contains(u':') ? step.section(u':', 1).remove(u'!').toInt() : 1;
        if (key.startsWith(u'-')) { // nothing held
            if (key.mid(1).toInt() <= 1)
                m_steps.removeFirst();
            else
                step = QStringLiteral("-%1").arg(key.mid(1).toInt() - 1);
            return 0;
        }
        static const QString keys = QStringLiteral("123456789*0#");
        const int heldRegister = key.size() == 3 ? (key[0] == u'L' ? 1 : 2) : (keys.indexOf(key) < 8 ? 1 : 2);
        if (heldRegister != keypadRegister)
            return 0;
        if (readings == 0) { // the release
            m_steps.removeFirst();
            return 0;
        }
        const quint8 bits = key.size() == 3 ? quint8(key.mid(1).toUInt(nullptr, 16)) : quint8(1 << (keys.indexOf(key) % 8));
        --readings;
        const QString silentAfter = step.endsWith(u'!') ? QStringLiteral("!") : QString();
        step = readings == 0 && !silentAfter.isEmpty() ? silentAfter : key + u':' + QString::number(readings) + silentAfter;
        return bits;
    }

    QStringList m_steps;
};

QStringList echoesIn(const QStringList &frames)
{
    return frames.filter(QStringLiteral("55c60001"));
}

} // namespace

// The "Teclado" dialogue through the window, on a tick of 10 ms: the tables count
// readings and time-outs, not milliseconds.
class KeypadDialogueTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;
    std::unique_ptr<OperatorAtTheKeypad> keypad;
    bool watchdogFired = false;
    std::unique_ptr<QObject> scope; // what the case connects lives as long as the case

    void operate(const QString &script)
    {
        keypad = std::make_unique<OperatorAtTheKeypad>(script);
        rig->adapter().setResponder([this](const QByteArray &frame) { return keypad->answer(frame); });
    }
    // Presses "Teclado". A dialogue that outlives the watchdog fails the test;
    // the watchdog closes the port, which ends every wait.
    void pressTeclado()
    {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, this, [this] {
            watchdogFired = true;
            rig->panel().line().close();
        });
        watchdog.start(8000);
        rig->click(QStringLiteral("CmdLCD03_6"));
    }
    // Calls `action` once, just after the adapter receives its `count`-th frame.
    void atFrame(qsizetype count, std::function<void()> action)
    {
        auto fired = std::make_shared<bool>(false);
        connect(&rig->adapter(), &test::ScriptedAdapter::frameReceived, scope.get(), [=, this] {
            if (rig->adapter().frames().size() == count && !std::exchange(*fired, true))
                QTimer::singleShot(0, scope.get(), action);
        });
    }
    QString codeBox() const { return rig->text(QStringLiteral("TxtLCD03")); }
    QStringList wire() const { return rig->adapter().hexFrames(); }

private slots:
    void initTestCase() { SimulatedPanel::prepareProgram(); }
    void init()
    {
        rig = std::make_unique<SimulatedPanel>();
        QVERIFY(rig->startAdapter() && rig->openPanel());
        rig->panel().engine().setTickInterval(std::chrono::milliseconds(10));
        watchdogFired = false;
        scope = std::make_unique<QObject>();
    }
    void cleanup()
    {
        QVERIFY(!watchdogFired);
        scope.reset();
        rig->adapter().setResponder({});
        KESTRAVA_VERIFY_SOUND(*rig);
        rig.reset();
    }

    void keysAreEchoedOnReleaseUntilFourAreCollected_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("echoes");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("lastFrame");
        QTest::newRow("5 6 7 8, the high byte still read in the last pass")
            << "5 6 7 8" << QStringList{"55c6000135", "55c6000136", "55c6000137", "55c6000138"} << "5678" << ReadHigh;
        QTest::newRow("a held key is echoed once")
            << "5:25 6 7 8" << QStringList{"55c6000135", "55c6000136", "55c6000137", "55c6000138"} << "5678"
            << ReadHigh;
        QTest::newRow("a low and a high key in the pass that starts with three")
            << "1 2 3 4 9" << QStringList{"55c6000131", "55c6000132", "55c6000133", "55c6000134", "55c6000139"}
            << "12349" << "55c6000139";
        QTest::newRow("idle readings add nothing")
            << "-6 * -3 2 -4 9 -1 4" << QStringList{"55c600012a", "55c6000132", "55c6000139", "55c6000134"} << "*294"
            << ReadHigh;
        // The unanswered reading leaves the echo's acknowledgement 01 in the reply
        // buffer, which must not be taken for key 9.
        QTest::newRow("an unanswered reading is no key")
            << "5 ? 6 7 8" << QStringList{"55c6000135", "55c6000136", "55c6000137", "55c6000138"} << "5678" << ReadHigh;
        QTest::newRow("two low keys at once enter nothing")
            << "1 L03:3 2 3 4" << QStringList{"55c6000131", "55c6000132", "55c6000133", "55c6000134"} << "1234"
            << ReadHigh;
        QTest::newRow("an unused high bit enters nothing")
            << "H10:2 1 2 3 4" << QStringList{"55c6000131", "55c6000132", "55c6000133", "55c6000134"} << "1234"
            << ReadHigh;
    }
    void keysAreEchoedOnReleaseUntilFourAreCollected()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, echoes);
        QFETCH(QString, code);
        QFETCH(QString, lastFrame);
        operate(script);
        // The box shows the code as it grows, from the first key on.
        QStringList shown{codeBox()};
        connect(&rig->adapter(), &test::ScriptedAdapter::frameReceived, scope.get(), [&] {
            if (shown.last() != codeBox())
                shown << codeBox();
        });
        pressTeclado();
        shown << codeBox();
        shown.removeDuplicates();
        QCOMPARE(wire().first(), Prompt);
        QCOMPARE(echoesIn(wire()), echoes);
        QCOMPARE(codeBox(), code);
        QCOMPARE(wire().last(), lastFrame);
        QCOMPARE(shown.size(), code.size() + 1);
        QCOMPARE(shown.first(), Untouched);
        for (int i = 1; i < shown.size(); ++i)
            QCOMPARE(shown[i], code.left(i));
    }

    // Four unanswered readings in a row end it, even with a key held.
    void aModuleFallingSilentEndsTheDialogue_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("code");
        QTest::newRow("between keys") << "1 2 -1 !" << "12";
        QTest::newRow("while a key is held") << "1 2 3:3!" << "12";
    }
    void aModuleFallingSilentEndsTheDialogue()
    {
        QFETCH(QString, script);
        QFETCH(QString, code);
        operate(script);
        pressTeclado();
        QCOMPARE(codeBox(), code);
        QCOMPARE(rig->timeOuts(), 4);
        const QList<WireEvent> last = rig->events.last(2);
        QCOMPARE(last[1].kind, WireEvent::TimedOut);
        QCOMPARE(last[0].kind, WireEvent::Sent);
    }

    // Cancelling ends the dialogue at its next safe point, a frame or two later.
    void aSecondTecladoOrAClosedPortEndsTheDialogue_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("a second Teclado") << "Teclado";
        QTest::newRow("the port closes") << "close";
    }
    void aSecondTecladoOrAClosedPortEndsTheDialogue()
    {
        QFETCH(QString, how);
        operate("1 -100000");
        atFrame(5, [this, how] {
            if (how == u"close")
                rig->panel().line().close();
            else
                rig->click(QStringLiteral("CmdLCD03_6"));
        });
        pressTeclado();
        QVERIFY2(wire().size() >= 5 && wire().size() <= 7, qPrintable(wire().join(u' ')));
        QCOMPARE(codeBox(), QStringLiteral("1"));
        if (how == u"close") {
            QVERIFY(rig->panel().line().open());
            return;
        }
        // Once cancelled, the button starts a fresh dialogue.
        rig->clearRecord();
        operate("7 8 9 0");
        pressTeclado();
        QCOMPARE(wire().first(), Prompt);
        QCOMPARE(codeBox(), QStringLiteral("7890"));
    }

    void closingTheWindowCancelsTheDialogueAndThenCloses()
    {
        operate("-100000");
        atFrame(5, [this] { rig->panel().close(); });
        pressTeclado();
        QVERIFY(wire().size() <= 7);
        QTRY_VERIFY(!rig->panel().isVisible());
        rig->panel().show(); // for the checks after every case
        QVERIFY(QTest::qWaitForWindowActive(&rig->panel()));
    }

    void otherButtonsRunAtItsSafePoints()
    {
        operate("1 -3 2 -3 3 -3 4");
        atFrame(6, [this] {
            rig->click(QStringLiteral("ReleOn(0)"));
            rig->click(QStringLiteral("CmdLCD03_2"));
        });
        pressTeclado();
        QCOMPARE(codeBox(), QStringLiteral("1234"));
        QCOMPARE(rig->text(QStringLiteral("TxtStatus")), QStringLiteral("1"));
        QCOMPARE(rig->timeOuts(), 0);
        // A whole keypad transaction, then the relay's, then the display's, then the keypad again.
        const QStringList frames = wire();
        const qsizetype relay = frames.indexOf(QStringLiteral("5570010101"));
        QVERIFY(relay > 5);
        QCOMPARE(frames.value(relay + 1), QStringLiteral("55c600010c"));
        QVERIFY(frames.value(relay + 2).startsWith(QStringLiteral("55c7")));
    }
};

QTEST_MAIN(KeypadDialogueTest)
#include "tst_keypad.moc"
