#pragma once

#include "actuators/lcd03.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace kestrava {

class EventGate;
class TransactionEngine;

// Keypad registers of the display module: one bit per key held down.
enum class KeypadRegister : quint8 { Low = lcd03::KeypadLow, High = lcd03::KeypadHigh };

// Clear screen, "Teclee el codigo", carriage return and eight blanks.
QByteArray keypadPromptFrame();
QByteArray keypadReadFrame(KeypadRegister keypadRegister);
// Shows the key's character at the display's cursor.
QByteArray keypadEchoFrame(char key);
// The key a reading stands for; none unless exactly one key's bit is set.
std::optional<char> keypadKey(KeypadRegister keypadRegister, quint8 reading);
// Every key held in the two readings, in the keypad's order 1-9, *, 0, #.
QString heldKeys(quint8 low, quint8 high);

// Prompts on the display and collects a code of four keys (five when a low and a
// high key come in the same pass). Each key is taken when pressed and echoed, on
// the display and to the code sink, once released.
//
// Between its transactions it runs the events the gate deferred, so the rest of
// the window stays usable. It ends early when cancelled, when the port closes,
// or when the module stops answering.
class KeypadDialogue
{
public:
    // Four readings without an answer in a row: about 2 s of silence.
    static constexpr int SilentReadsBeforeGivingUp = 4;
    static constexpr qsizetype CodeLength = 4;

    // Receives the code collected so far, each time a key enters it.
    using CodeSink = std::function<void(const QString &code)>;

    KeypadDialogue(TransactionEngine &engine, EventGate &gate, std::function<void()> beep);

    void run(const CodeSink &codeSink);
    bool isRunning() const { return m_codeSink != nullptr; }
    // Ends a running dialogue at its next safe point.
    void cancel();

private:
    void takeKeyFrom(KeypadRegister keypadRegister);
    bool waitForRelease(KeypadRegister keypadRegister);
    std::optional<quint8> read(KeypadRegister keypadRegister);
    void append(char key);
    bool atSafePoint();
    bool mustEnd() const;

    TransactionEngine &m_engine;
    EventGate &m_gate;
    std::function<void()> m_beep;
    const CodeSink *m_codeSink = nullptr; // set while running
    QByteArray m_code;
    int m_silentReads = 0;
    bool m_cancelled = false;
};

} // namespace kestrava
