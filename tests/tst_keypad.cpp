#include "actuatorrig.h"

#include <QElapsedTimer>

using namespace kestrava;
using kestrava::test::ActuatorRig;

namespace {

const QString Prompt = "55c6001a0c5465636c656520656c20636f6469676f0d2020202020202020";
const QString ReadLow = "55c70101";
const QString ReadHigh = "55c70201";

// The keypad as an operator works it, answered read by read. The script is a list
// of steps:
//   "5", "#"     a key held for one reading of its register, then released (the
//                next reading of that register gives 0);
//   "5:20"       the same key held for 20 readings of its register, then released;
//   "L03", "H10" a raw reading of the low or high register (two keys, unused bit),
//                then released; "L03:3" held for three readings;
//   "3:3!"       key 3 held for three readings, then the module falls silent
//                with the key still down;
//   "-6"         nothing held for 6 readings of either register;
//   "?"          the next reading goes unanswered;
//   "!"          the module falls silent: nothing is answered from here on.
// After the last step nothing is held.
class OperatorAtTheKeypad
{
public:
    explicit OperatorAtTheKeypad(const QString &script)
    {
        for (const QString &token : script.split(' ', Qt::SkipEmptyParts))
            m_steps.append(step(token));
    }

    QByteArray answer(const QByteArray &frame)
    {
        if (!m_steps.isEmpty() && m_steps.first().silent)
            return {};
        const bool isRead = (quint8(frame[1]) & 1) != 0;
        if (!isRead)
            return QByteArray::fromHex("01");
        if (!m_steps.isEmpty() && m_steps.first().unanswered) {
            m_steps.removeFirst();
            return {};
        }
        return QByteArray(1, char(reading(quint8(frame[2]))));
    }

private:
    struct Step
    {
        int keypadRegister = 0; // 0: nothing held
        quint8 bits = 0;
        int readings = 1;
        bool silent = false;
        bool silentWhileHeld = false;
        bool unanswered = false;
    };

    quint8 reading(int keypadRegister)
    {
        if (m_steps.isEmpty())
            return 0;
        Step &now = m_steps.first();
        if (now.keypadRegister == 0) {
            if (--now.readings == 0)
                m_steps.removeFirst();
            return 0;
        }
        if (now.keypadRegister != keypadRegister)
            return 0;
        if (now.readings == 0) { // the release
            m_steps.removeFirst();
            return 0;
        }
        const quint8 bits = now.bits;
        if (--now.readings == 0 && now.silentWhileHeld)
            now = Step{.silent = true};
        return bits;
    }

    static Step step(const QString &token)
    {
        static const QString lowKeys = "12345678";
        static const QString highKeys = "9*0#";
        Step s;
        if (token == "!") {
            s.silent = true;
            return s;
        }
        if (token == "?") {
            s.unanswered = true;
            return s;
        }
        if (token.startsWith('-')) {
            s.readings = token.mid(1).toInt();
            return s;
        }
        QString held = token;
        if (held.endsWith('!')) {
            s.silentWhileHeld = true;
            held.chop(1);
        }
        const QStringList parts = held.split(':');
        if (parts.size() > 1)
            s.readings = parts[1].toInt();
        const QString key = parts[0];
        if (key.size() == 3) {
            s.keypadRegister = key[0] == 'L' ? 1 : 2;
            s.bits = quint8(key.mid(1).toUInt(nullptr, 16));
        } else if (lowKeys.contains(key)) {
            s.keypadRegister = 1;
            s.bits = quint8(1 << lowKeys.indexOf(key));
        } else {
            s.keypadRegister = 2;
            s.bits = quint8(1 << highKeys.indexOf(key));
        }
        return s;
    }

    QList<Step> m_steps;
};

QStringList echoesIn(const QStringList &frames)
{
    QStringList echoes;
    for (const QString &frame : frames) {
        if (frame.startsWith("55c60001"))
            echoes.append(frame);
    }
    return echoes;
}

} // namespace

class KeypadDialogueTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<ActuatorRig> rig;
    std::unique_ptr<OperatorAtTheKeypad> keypad;
    bool watchdogFired = false;

    void operate(const QString &script)
    {
        keypad = std::make_unique<OperatorAtTheKeypad>(script);
        rig->adapter.setResponder([this](const QByteArray &frame) { return keypad->answer(frame); });
    }
    // Runs the dialogue as the "Teclado" button does. A dialogue that outlives the
    // watchdog fails the test; the watchdog closes the port, which ends every wait.
    qint64 pressTeclado(int watchdogMs = 8000)
    {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, this, [this] {
            watchdogFired = true;
            rig->line.close();
        });
        watchdog.start(watchdogMs);
        QElapsedTimer clock;
        clock.start();
        rig->fire("CmdLCD03_6_Click");
        return clock.elapsed();
    }
    // Calls `action` once, when the adapter receives its `count`-th frame.
    void atFrame(qsizetype count, std::function<void()> action)
    {
        connect(&rig->adapter, &test::ScriptedAdapter::frameReceived, this, [this, count, action] {
            if (rig->adapter.frames().size() == count)
                action();
        });
    }
    QString codeBox() { return rig->textBox("TxtLCD03").text(); }

private slots:
    void init()
    {
        rig = std::make_unique<ActuatorRig>();
        QVERIFY(rig->ready());
        watchdogFired = false;
    }
    void cleanup()
    {
        QVERIFY(!watchdogFired);
        QCOMPARE(rig->overlaps.count(), 0);
        QVERIFY(!rig->gate.busy());
        rig.reset();
    }

    void keysAreEchoedOnReleaseUntilFourAreCollected_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("echoes");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("lastFrame");
        QTest::newRow("1 2 # 0")
            << "1 2 # 0" << QStringList{"55c6000131", "55c6000132", "55c6000123", "55c6000130"} << "12#0"
            << "55c6000130";
        QTest::newRow("5 6 7 8, the high byte still read in the last pass")
            << "5 6 7 8" << QStringList{"55c6000135", "55c6000136", "55c6000137", "55c6000138"} << "5678"
            << ReadHigh;
        QTest::newRow("a held key is echoed once")
            << "5:25 6 7 8" << QStringList{"55c6000135", "55c6000136", "55c6000137", "55c6000138"}
            << "5678" << ReadHigh;
        QTest::newRow("a low and a high key in the pass that starts with three")
            << "1 2 3 4 9"
            << QStringList{"55c6000131", "55c6000132", "55c6000133", "55c6000134", "55c6000139"} << "12349"
            << "55c6000139";
        QTest::newRow("idle readings add nothing")
            << "-6 * -3 2 -4 9 -1 4"
            << QStringList{"55c600012a", "55c6000132", "55c6000139", "55c6000134"} << "*294" << ReadHigh;
        // The unanswered reading leaves the echo's acknowledgement 01 in the reply
        // buffer, which must not be taken for key 9.
        QTest::newRow("an unanswered reading is no key")
            << "5 ? 6 7 8" << QStringList{"55c6000135", "55c6000136", "55c6000137", "55c6000138"} << "5678"
            << ReadHigh;
        QTest::newRow("two low keys at once enter nothing")
            << "1 L03:3 2 3 4" << QStringList{"55c6000131", "55c6000132", "55c6000133", "55c6000134"}
            << "1234" << ReadHigh;
        QTest::newRow("an unused high bit before any key enters nothing")
            << "H10:2 1 2 3 4" << QStringList{"55c6000131", "55c6000132", "55c6000133", "55c6000134"}
            << "1234" << ReadHigh;
    }
    void keysAreEchoedOnReleaseUntilFourAreCollected()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, echoes);
        QFETCH(QString, code);
        QFETCH(QString, lastFrame);
        operate(script);
        const QString before = codeBox();
        connect(&rig->adapter, &test::ScriptedAdapter::frameReceived, this, [&] {
            // The code box keeps its text until the first key is appended.
            if (echoesIn(rig->sentFrames()).isEmpty())
                QCOMPARE(codeBox(), before);
        });
        pressTeclado();
        const QStringList frames = rig->sentFrames();
        QCOMPARE(frames.first(), Prompt);
        QCOMPARE(echoesIn(frames), echoes);
        QCOMPARE(codeBox(), code);
        QCOMPARE(frames.last(), lastFrame);
        QTest::qWait(100);
        QCOMPARE(rig->sentFrames().size(), frames.size()); // nothing after the end
    }

    void eachKeyIsEchoedOnlyAfterItsRelease()
    {
        // 55c70101 reads 10 (key 5) three times, then 00: the echo follows the 00.
        operate("5:3 6 7 8");
        pressTeclado();
        const QStringList frames = rig->sentFrames();
        QCOMPARE(frames.mid(0, 6), (QStringList{Prompt, ReadLow, ReadLow, ReadLow, ReadLow, "55c6000135"}));
        QCOMPARE(codeBox(), QString("5678"));
    }

    void theCodeBoxShowsTheCodeAsItGrows()
    {
        operate("1 2 # 0");
        QStringList shown;
        connect(&rig->adapter, &test::ScriptedAdapter::frameReceived, this, [&] {
            if (shown.isEmpty() || shown.last() != codeBox())
                shown.append(codeBox());
        });
        pressTeclado();
        shown.append(codeBox()); // after the last echo no frame follows
        QCOMPARE(shown, (QStringList{"Escriba el texto a mandar al display ", "1", "12", "12#", "12#0"}));
    }

    void aModuleFallingSilentEndsTheDialogue_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("code");
        QTest::newRow("between keys") << "1 2 -1 !" << "12";
        // The last answer was "held": the release wait must not go on for ever.
        QTest::newRow("while a key is held") << "1 2 3:3!" << "12";
    }
    void aModuleFallingSilentEndsTheDialogue()
    {
        QFETCH(QString, script);
        QFETCH(QString, code);
        operate(script);
        QElapsedTimer clock;
        qint64 silentSince = -1;
        connect(&rig->engine, &TransactionEngine::replyTimedOut, this, [&] {
            if (silentSince < 0)
                silentSince = clock.elapsed() - 500;
        });
        clock.start();
        pressTeclado();
        const qint64 silence = clock.elapsed() - silentSince;
        qInfo("the dialogue ended %lld ms after the module fell silent", silence);
        QCOMPARE(codeBox(), code);
        // Four unanswered readings of at least 500 ms each, give or take an unanswered echo.
        QVERIFY2(silence >= 4 * 500 && silence < 5000, qPrintable(QString::number(silence)));
    }

    void aPortThatClosesEndsTheDialogueAtOnce()
    {
        operate("1 -100000");
        QSignalSpy refused(&rig->engine, &TransactionEngine::frameNotSent);
        atFrame(4, [this] { QTimer::singleShot(0, &rig->line, [this] { rig->line.close(); }); });
        const qint64 took = pressTeclado();
        QCOMPARE(codeBox(), QString("1"));
        QVERIFY2(took < 1500, qPrintable(QString::number(took)));
        QVERIFY(refused.count() <= 1);
    }

    void aVanishedDeviceEndsTheDialogue()
    {
        operate("1 -100000");
        atFrame(6, [this] { QTimer::singleShot(0, &rig->pty, [this] { rig->pty.hangUp(); }); });
        const qint64 took = pressTeclado();
        QCOMPARE(codeBox(), QString("1"));
        QVERIFY2(took < 4000, qPrintable(QString::number(took)));
    }

    void pressingTecladoAgainCancelsTheDialogue()
    {
        operate("-100000");
        atFrame(5, [this] { rig->fireLater(0, "CmdLCD03_6_Click"); });
        const qint64 took = pressTeclado();
        qInfo("cancelled after %lld ms", took);
        QVERIFY2(took < 1500, qPrintable(QString::number(took)));
        const qsizetype sent = rig->sentFrames().size();
        QVERIFY(sent >= 5 && sent <= 7);
        QCOMPARE(codeBox(), QString("Escriba el texto a mandar al display "));

        // Once cancelled, the button starts a fresh dialogue.
        operate("7 8 9 0");
        pressTeclado();
        const QStringList again = rig->sentFrames().mid(sent);
        QCOMPARE(again.first(), Prompt);
        QCOMPARE(codeBox(), QString("7890"));
    }

    void closingTheWindowCancelsTheDialogue()
    {
        operate("-100000");
        atFrame(5, [this] { QTimer::singleShot(0, &rig->panel, [this] { rig->panel.close(); }); });
        const qint64 took = pressTeclado();
        QVERIFY2(took < 1500, qPrintable(QString::number(took)));
    }

    void otherButtonsRunBetweenItsTransactions()
    {
        operate("1 -3 2 -3 3 -3 4");
        QStringList wire;
        connect(&rig->engine, &TransactionEngine::frameSent, this,
                [&](const QByteArray &frame) { wire.append(QString::fromLatin1(frame.toHex())); });
        connect(&rig->engine, &TransactionEngine::replyTaken, this, [&] { wire.append("answer"); });
        connect(&rig->engine, &TransactionEngine::replyTimedOut, this, [&] { wire.append("timeout"); });
        atFrame(6, [this] {
            rig->fireLater(0, "ReleOn_Click", 0);
            rig->fireLater(0, "CmdLCD03_2_Click");
        });
        pressTeclado();
        QCOMPARE(codeBox(), QString("1234"));
        QCOMPARE(rig->textBox("TxtStatus").text(), QString("1"));

        const qsizetype relay = wire.indexOf("5570010101");
        QVERIFY(relay > 2);
        // A whole keypad transaction, then the relay's, then the display's, then the keypad again.
        QCOMPARE(wire[relay - 1], QString("answer"));
        QVERIFY(wire[relay - 2].startsWith("55c"));
        QCOMPARE(wire.mid(relay, 4), (QStringList{"5570010101", "answer", "55c600010c", "answer"}));
        QVERIFY(wire[relay + 4].startsWith("55c"));
        QVERIFY(!wire.contains("timeout"));
    }
};

QTEST_MAIN(KeypadDialogueTest)
#include "tst_keypad.moc"
