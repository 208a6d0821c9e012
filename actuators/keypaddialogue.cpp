#include "actuators/keypaddialogue.h"

#include "link/eventgate.h"
#include "link/frames.h"
#include "link/transactionengine.h"

#include <QScopedValueRollback>

namespace kestrava {

QByteArray keypadPromptFrame()
{
    const QByteArray text = QByteArrayLiteral("\x0C" "Teclee el codigo" "\x0D" "        ");
    return registerWriteFrame(lcd03::Address, lcd03::Command, text);
}

QByteArray keypadReadFrame(KeypadRegister keypadRegister)
{
    return registerReadFrame(lcd03::Address, quint8(keypadRegister), 1);
}

QByteArray keypadEchoFrame(char key)
{
    return registerWriteFrame(lcd03::Address, lcd03::Command, quint8(key));
}

std::optional<char> keypadKey(KeypadRegister keypadRegister, quint8 reading)
{
    const bool low = keypadRegister == KeypadRegister::Low;
    const int first = low ? 0 : lcd03::LowKeyCount;
    const int count = low ? lcd03::LowKeyCount : int(lcd03::Keys.size()) - lcd03::LowKeyCount;
    for (int bit = 0; bit < count; ++bit) {
        if (reading == (1u << bit))
            return lcd03::Keys[size_t(first + bit)];
    }
    return std::nullopt;
}

QString heldKeys(quint8 low, quint8 high)
{
    const quint16 bits = lcd03::keyBits(low, high);
    QString keys;
    for (size_t key = 0; key < lcd03::Keys.size(); ++key) {
        if (bits & (1u << key))
            keys += QLatin1Char(lcd03::Keys[key]);
    }
    return keys;
}

KeypadDialogue::KeypadDialogue(TransactionEngine &engine, EventGate &gate, std::function<void()> beep)
    : m_engine(engine)
    , m_gate(gate)
    , m_beep(std::move(beep))
{
}

void KeypadDialogue::run(const CodeSink &codeSink)
{
    QScopedValueRollback running(m_codeSink, &codeSink);
    m_code.clear();
    m_silentReads = 0;
    m_cancelled = false;
    m_engine.transact(keypadPromptFrame(), 1);
    // The length is tested only here, so one pass can take a low and a high key.
    while (m_code.size() < CodeLength && !mustEnd()) {
        takeKeyFrom(KeypadRegister::Low);
        takeKeyFrom(KeypadRegister::High);
    }
    // A last safe point while still running: "Teclado" pressed during the final
    // wait is taken as a cancel, not as the start of a new dialogue.
    m_gate.runDeferred();
}

void KeypadDialogue::cancel()
{
    if (isRunning())
        m_cancelled = true;
}

void KeypadDialogue::takeKeyFrom(KeypadRegister keypadRegister)
{
    if (!atSafePoint())
        return;
    const std::optional<quint8> reading = read(keypadRegister);
    if (!reading || *reading == 0)
        return;
    m_beep();
    // Two keys at once or an unused bit: waited out, but nothing enters the code.
    const std::optional<char> key = keypadKey(keypadRegister, *reading);
    if (!waitForRelease(keypadRegister) || !key || !atSafePoint())
        return;
    m_engine.transact(keypadEchoFrame(*key), 1);
    append(*key);
}

bool KeypadDialogue::waitForRelease(KeypadRegister keypadRegister)
{
    while (atSafePoint()) {
        if (read(keypadRegister) == quint8(0))
            return true;
    }
    return false;
}

std::optional<quint8> KeypadDialogue::read(KeypadRegister keypadRegister)
{
    // An unanswered reading says nothing about the keys: what ReplyBuffer still
    // holds is an older answer, perhaps a write's acknowledgement.
    if (m_engine.transact(keypadReadFrame(keypadRegister), 1) != Outcome::Taken) {
        ++m_silentReads;
        return std::nullopt;
    }
    m_silentReads = 0;
    return m_engine.reply(0);
}

void KeypadDialogue::append(char key)
{
    m_code.append(key);
    (*m_codeSink)(QString::fromLatin1(m_code));
}

bool KeypadDialogue::atSafePoint()
{
    m_gate.runDeferred();
    return !mustEnd();
}

bool KeypadDialogue::mustEnd() const
{
    return m_cancelled || m_silentReads >= SilentReadsBeforeGivingUp || !m_engine.isOpen();
}

} // namespace kestrava
