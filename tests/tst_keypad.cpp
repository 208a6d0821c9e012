#include "tests/support/simulatedpanel.h"

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

// The keypad module, answered reading by reading. The script's steps are consumed
// in order by the readings of their register: "L10" the low register reads 10
// (hex), "H02" the high one 02, "L10*3" three readings of 10; a reading of the
// other register meanwhile gives 0. "?" leaves the next reading unanswered and
// "!" every reading from then on. Writes are acknowledged unless silent.
class KeypadModule
{
public:
    explicit KeypadModule(const QString &script)
    {
        for (const QString &step : script.split(u' ', Qt::SkipEmptyParts))
            for (int i = 0; i < qMax(1, step.section(u'*', 1).toInt()); ++i)
                m_steps << step.section(u'*', 0, 0);
    }

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
        if (step.isEmpty() || (step[0] == u'L' ? 1 : 2) != frame[2])
            return QByteArray(1, '\0');
        m_steps.removeFirst();
        return QByteArray::fromHex(step.mid(1).toLatin1());
    }

private:
    QStringList m_steps;
};

// Each key pressed for one reading, then released.
QString keys(const QString &pressed)
{
    static const QString names = QStringLiteral("123456789*0#");
    QString script;
    for (const QChar key : pressed) {
        const int bit = int(names.indexOf(key));
        const QString reg = bit < 8 ? QStringLiteral("L") : QStringLiteral("H");
        script += reg + QStringLiteral("%1 ").arg(1 << (bit % 8), 2, 16, QLatin1Char('0')) + reg + QStringLiteral("00 ");
    }
    return script;
}

} // namespace

// The "Teclado" dialogue through the window, on a tick of 10 ms: the tables count
// readings and time-outs, not milliseconds.
class KeypadDialogueTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<SimulatedPanel> rig;
    std::unique_ptr<KeypadModule> keypad;
    bool watchdogFired = false;
    std::unique_ptr<QObject> scope; // what the case connects lives as long as the case

    void operate(const QString &script)
    {
        keypad = std::make_unique<KeypadModule>(script);
        rig->adapter().setResponder([this](const QByteArray &frame) { return keypad->answer(frame); });
    }
    // Presses "Teclado". A dialogue still running after 8 s fails the case: the
    // watchdog closes the port, which ends every wait.
    void pressTeclado()
    {
        QTimer::singleShot(8000, scope.get(), [this] {
            watchdogFired = true;
            rig->panel().line().close();
        });
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
        const QStringList echoes5678{"55c6000135", "55c6000136", "55c6000137", "55c6000138"};
        const QStringList echoes1234{"55c6000131", "55c6000132", "55c6000133", "55c6000134"};
        QTest::newRow("a held key is echoed once, the high byte still read in the last pass")
            << "L10*25 L00 " + keys("678") << echoes5678 << "5678" << ReadHigh;
        QTest::newRow("a low and a high key in the pass that starts with three")
            << keys("12*49") << QStringList{"55c6000131", "55c6000132", "55c600012a", "55c6000134", "55c6000139"}
            << "12*49" << "55c6000139";
        // The unanswered reading leaves the echo's acknowledgement 01 in the reply
        // buffer, which must not be taken for key 9.
        QTest::newRow("an unanswered reading is no key") << keys("5") + "? " + keys("678") << echoes5678 << "5678"
                                                         << ReadHigh;
        QTest::newRow("two low keys at once enter nothing")
            << keys("1") + "L03*3 L00 " + keys("234") << echoes1234 << "1234" << ReadHigh;
        QTest::newRow("an unused high bit enters nothing") << "H10*2 H00 " + keys("1234") << echoes1234 << "1234"
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
        QCOMPARE(wire().filter(QStringLiteral("55c60001")), echoes);
        QCOMPARE(codeBox(), code);
        QCOMPARE(wire().last(), lastFrame);
        QCOMPARE(shown.size(), code.size() + 1);
        QCOMPARE(shown.first(), Untouched);
        for (int i = 1; i < shown.size(); ++i)
            QCOMPARE(shown[i], code.left(i));
    }

    // Four unanswered readings in a row end it, even with a key held. (Silent from
    // the start is a row of the operations table.)
    void aModuleFallingSilentWithAKeyHeldEndsTheDialogue()
    {
        operate(keys("12") + "L04*3 !");
        pressTeclado();
        QCOMPARE(codeBox(), QStringLiteral("12"));
        QCOMPARE(rig->timeOuts(), 4);
        const QList<WireEvent> last = rig->events.last(2);
        QCOMPARE(last[1].kind, WireEvent::TimedOut);
        QCOMPARE(last[0].kind, WireEvent::Sent);
    }

    // Cancelling ends the dialogue at its next safe point, a frame or two later.
    void aSecondTecladoAClosedPortOrAClosingWindowEndsTheDialogue_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("a second Teclado") << "Teclado";
        QTest::newRow("the port closes") << "close port";
        QTest::newRow("the window closes") << "close window";
    }
    void aSecondTecladoAClosedPortOrAClosingWindowEndsTheDialogue()
    {
        QFETCH(QString, how);
        operate(keys("1"));
        atFrame(5, [this, how] {
            if (how == u"close port")
                rig->panel().line().close();
            else if (how == u"close window")
                rig->panel().close();
            else
                rig->click(QStringLiteral("CmdLCD03_6"));
        });
        pressTeclado();
        QVERIFY2(wire().size() >= 5 && wire().size() <= 7, qPrintable(wire().join(u' ')));
        QCOMPARE(codeBox(), QStringLiteral("1"));
        if (how == u"close port") {
            QVERIFY(rig->panel().line().open());
        } else if (how == u"close window") {
            QTRY_VERIFY(!rig->panel().isVisible());
            rig->panel().show(); // for the checks after every case
            QVERIFY(QTest::qWaitForWindowActive(&rig->panel()));
        } else { // once cancelled, the button starts a fresh dialogue
            rig->clearRecord();
            operate(keys("7890"));
            pressTeclado();
            QCOMPARE(wire().first(), Prompt);
            QCOMPARE(codeBox(), QStringLiteral("7890"));
        }
    }

    void otherButtonsRunAtItsSafePoints()
    {
        operate(keys("1") + "L00*2 " + keys("2") + "L00*2 " + keys("3") + "L00*2 " + keys("4"));
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
