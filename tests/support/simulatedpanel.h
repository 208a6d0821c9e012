#pragma once

#include "panel/controlpanel.h"
#include "tests/support/scriptedadapter.h"
#include "launcher/simulatedbus.h"

#include <QElapsedTimer>
#include <QList>

#include <memory>

namespace kestrava::test {

// What the engine did on the wire, in order, with the time since the rig started
// and the tick count at that moment (a frame sent after WaitTicks(n) shows n + 1,
// a time-out 11).
struct WireEvent
{
    enum Kind { Sent, NotSent, Reply, TimedOut, Overlap };
    Kind kind;
    qint64 ms;
    QByteArray bytes;
    int ticks = 0;
};

// The real window with COM1 leading to one of two bus sides: a scripted adapter
// on a pseudo-terminal that keeps the raw bytes (startAdapter), or the real
// kestrava-sim child process (startSimulator). The window is shown (offscreen)
// and active, messages are recorded instead of shown, and every frame, reply and
// time-out is recorded from the engine's signals.
class SimulatedPanel : public QObject
{
    Q_OBJECT
public:
    // Call from initTestCase, before anything reads the settings: a private
    // settings folder for the program's run, the C locale for numbers.
    static void prepareProgram();
    static QString settingsFile();

    SimulatedPanel();
    ~SimulatedPanel() override;

    bool startAdapter();
    // Starts the simulator; `link` (may be empty) is a --link path that the COM
    // ports then lead to, so they survive a drop and restore.
    bool startSimulator(const QStringList &arguments = {QStringLiteral("--fast")}, const QString &link = {});
    // Builds and shows the window (Form_Load runs with the saved port).
    bool openPanel();
    bool start(const QStringList &arguments = {QStringLiteral("--fast")}, const QString &link = {})
    {
        return startSimulator(arguments, link) && openPanel();
    }

    ControlPanel &panel() { return *m_panel; }
    launcher::SimulatedBus &simulator() { return *m_sim; }
    ScriptedAdapter &adapter() { return *m_adapter; }
    PseudoTerminal &pty() { return *m_pty; }
    QStringList messages;

    // A command to the simulator; its answer lines joined by newlines ("" on time-out).
    // Never from inside an operation: use postLater() there.
    QString command(const QString &line);
    void postLater(int ms, const QString &line);

    template <class T = QWidget>
    T *control(const QString &name) const
    {
        T *found = m_panel->findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    // A real left click at the middle of the control; returns when the
    // operation it started (and all deferred behind it) has ended.
    void click(const QString &name);
    // An operator action as text, for data tables: "click NAME", "step NAME"
    // (a scroll bar), "type NAME TEXT" (replaces a text box's text by typing; no TEXT empties it),
    // "home NAME", "end NAME" (a scroll bar to its minimum or maximum by key),
    // "space NAME" (a focused button worked by its key),
    // "press X Y", "move X Y", "release X Y" (left button on the drive pad, in pixels;
    // "move X Y lr" with the right button held too; "right", "middle", "shift", "ctrl"
    // after X Y press or release with that button or key).
    void perform(const QString &action);
    QString text(const QString &name) const;
    QStringList texts(const QStringList &names) const;
    // Moves to another entry of ComboCom and back to Com1, as the operator does once the
    // adapter is back; the port reopens when the focus leaves the selector.
    bool chooseComOneAgain();

    // ---- The record ----
    QList<WireEvent> events;
    QList<QByteArray> recorded(WireEvent::Kind kind) const;
    QList<QByteArray> sentFrames() const { return recorded(WireEvent::Sent); }
    QStringList sentHex() const { return hexList(sentFrames()); }
    QStringList refusedHex() const { return hexList(recorded(WireEvent::NotSent)); }
    qsizetype timeOuts() const { return recorded(WireEvent::TimedOut).size(); }
    qint64 timeOfFrame(const QByteArray &frame, int occurrence = 0) const;
    void clearRecord();
    QString describeRecord() const;

    // ---- The checks made after every case ----
    // Frames each start after the previous reply or time-out (the address
    // change's four frames excepted); no overlap was reported; on the adapter,
    // the wire carried exactly the frames the engine sent.
    QString wireOrderFault() const;
    // The window answers a relay click: frame, answer, TxtStatus (and the simulated board).
    QString clickFault();
    // All of the above, and the gate holds nothing.
    QString soundnessFault();

private:
    void record(WireEvent::Kind kind, const QByteArray &bytes);

    QElapsedTimer m_clock;
    std::unique_ptr<launcher::SimulatedBus> m_sim;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<ScriptedAdapter> m_adapter;
    std::unique_ptr<ControlPanel> m_panel;
    bool m_relaysOn = false;
};

} // namespace kestrava::test

// The checks after a case, as one verification.
#define KESTRAVA_VERIFY_SOUND(rig)                                                                           \
    do {                                                                                                     \
        const QString soundnessFault_ = (rig).soundnessFault();                                              \
        QVERIFY2(soundnessFault_.isEmpty(), qPrintable(soundnessFault_));                                    \
    } while (false)
