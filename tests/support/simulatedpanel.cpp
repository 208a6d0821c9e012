#include "tests/support/simulatedpanel.h"

#include "link/frames.h"
#include "panel/portcombo.h"
#include "process/sizehintwarnings.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

namespace kestrava::test {

namespace {

// The address change sends 55 C 00 01 A0, AA, A5 and the new address back to
// back: `frame` may follow `previous` without a wait when it is the next of these.
bool continuesAddressChange(const QByteArray &previous, const QByteArray &frame)
{
    static const QByteArray steps = QByteArray::fromHex("a0aaa5");
    const qsizetype step = previous.isEmpty() ? -1 : steps.indexOf(previous.back());
    const bool sameTarget = previous.size() == 5 && frame.size() == 5 && previous.left(4) == frame.left(4)
        && frame.at(2) == 0 && frame.at(3) == 1;
    return sameTarget && step >= 0 && (step == steps.size() - 1 || frame.back() == steps.at(step + 1));
}

} // namespace

void SimulatedPanel::prepareProgram()
{
    static QTemporaryDir settingsHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsHome.path()));
    QLocale::setDefault(QLocale::c());
    QApplication::setQuitOnLastWindowClosed(false);
    process::dropSizeHintWarnings();
}

QString SimulatedPanel::settingsFile()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Kestrava/Kestrava.conf");
}

SimulatedPanel::SimulatedPanel()
{
    m_clock.start();
}

SimulatedPanel::~SimulatedPanel()
{
    m_panel.reset(); // before the simulator it talks to
    if (m_sim)
        m_sim->stop();
}

bool SimulatedPanel::startAdapter()
{
    m_pty = std::make_unique<PseudoTerminal>();
    m_adapter = std::make_unique<ScriptedAdapter>(*m_pty);
    qputenv("KESTRAVA_COM1", QFile::encodeName(m_pty->devicePath()));
    return m_pty->isValid();
}

bool SimulatedPanel::startSimulator(const QStringList &arguments, const QString &link)
{
    m_sim = std::make_unique<launcher::SimulatedBus>();
    QStringList all = arguments;
    if (!link.isEmpty())
        all << QStringLiteral("--link") << link;
    if (!m_sim->start(QStringLiteral(KESTRAVA_SIM_BINARY), all)) {
        qWarning("%s", qPrintable(m_sim->errorString()));
        return false;
    }
    m_sim->mapComPorts(1, 16);
    if (!link.isEmpty()) {
        for (int n = 1; n <= 16; ++n)
            mapComPort(n, link);
    }
    return true;
}

bool SimulatedPanel::openPanel()
{
    m_panel = std::make_unique<ControlPanel>([this](const QString &m) { messages << m; });
    TransactionEngine &engine = m_panel->engine();
    connect(&engine, &TransactionEngine::frameSent, this, [this](const QByteArray &f) { record(WireEvent::Sent, f); });
    connect(&engine, &TransactionEngine::frameNotSent, this,
            [this](const QByteArray &f) { record(WireEvent::NotSent, f); });
    connect(&engine, &TransactionEngine::replyTaken, this, [this](const QByteArray &b) { record(WireEvent::Reply, b); });
    connect(&engine, &TransactionEngine::replyTimedOut, this, [this] { record(WireEvent::TimedOut, {}); });
    // A vanished device ends the wait as a time-out does.
    connect(&engine, &TransactionEngine::replyLost, this, [this] { record(WireEvent::TimedOut, {}); });
    connect(&engine, &TransactionEngine::overlapDetected, this,
            [this](const QByteArray &f) { record(WireEvent::Overlap, f); });
    m_panel->show();
    return QTest::qWaitForWindowActive(m_panel.get());
}

QString SimulatedPanel::command(const QString &line)
{
    return m_sim->command(line).join(u'\n');
}

void SimulatedPanel::postLater(int ms, const QString &line)
{
    QTimer::singleShot(ms, m_sim.get(), [this, line] { m_sim->post(line); });
}

void SimulatedPanel::click(const QString &name)
{
    QWidget *target = control(name);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
}

void SimulatedPanel::perform(const QString &action)
{
    const QString verb = action.section(u' ', 0, 0);
    const QString name = action.section(u' ', 1, 1);
    if (verb == u"click") {
        click(name);
    } else if (verb == u"step") { // one arrow step down (or right), by a key
        auto *bar = control<QScrollBar>(name);
        QTest::keyClick(bar, bar->orientation() == Qt::Vertical ? Qt::Key_Down : Qt::Key_Right);
    } else if (verb == u"home" || verb == u"end" || verb == u"space") {
        QTest::keyClick(control(name), verb == u"home" ? Qt::Key_Home : verb == u"end" ? Qt::Key_End : Qt::Key_Space);
    } else if (verb == u"type") {
        auto *box = control<QLineEdit>(name);
        box->selectAll();
        // Key by key with its text, so letters beyond ASCII are typed too.
        for (const QChar typed : action.section(u' ', 2))
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(typed), Qt::NoModifier);
        if (action.section(u' ', 2).isEmpty())
            QTest::keyClick(box, Qt::Key_Backspace);
    } else {
        QWidget *pad = control(QStringLiteral("Image1"));
        const QPoint at(action.section(u' ', 1, 1).toInt(), action.section(u' ', 2, 2).toInt());
        const QString how = action.section(u' ', 3);
        const Qt::MouseButton button = how.contains(u"right") ? Qt::RightButton
            : how.contains(u"middle")                          ? Qt::MiddleButton
                                                               : Qt::LeftButton;
        const Qt::KeyboardModifiers keys = how.contains(u"shift") ? Qt::ShiftModifier
            : how.contains(u"ctrl")                               ? Qt::ControlModifier
                                                                  : Qt::NoModifier;
        if (verb == u"press") {
            QTest::mousePress(pad, button, keys, at);
        } else if (verb == u"move" && how == u"lr") { // with the left and right buttons held
            QMouseEvent move(QEvent::MouseMove, at, pad->mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
            QApplication::sendEvent(pad, &move);
        } else if (verb == u"move") {
            QTest::mouseMove(pad, at);
        } else if (verb == u"release") {
            QTest::mouseRelease(pad, button, keys, at);
        } else {
            qFatal("no action %s", qPrintable(action));
        }
    }
}

bool SimulatedPanel::chooseComOneAgain()
{
    auto *combo = control<PortCombo>(QStringLiteral("ComboCom"));
    combo->setFocus();
    if (!QTest::qWaitFor([combo] { return combo->hasFocus(); }))
        return false;
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Up);
    return combo->currentText() == QLatin1String("Com1");
}

QString SimulatedPanel::text(const QString &name) const
{
    QWidget *widget = control(name);
    if (auto *box = qobject_cast<QLineEdit *>(widget))
        return box->text();
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        return combo->currentText();
    return widget->property("text").toString();
}

QStringList SimulatedPanel::texts(const QStringList &names) const
{
    QStringList shown;
    for (const QString &name : names)
        shown << text(name);
    return shown;
}

QList<QByteArray> SimulatedPanel::recorded(WireEvent::Kind kind) const
{
    QList<QByteArray> frames;
    for (const WireEvent &event : events) {
        if (event.kind == kind)
            frames << event.bytes;
    }
    return frames;
}

void SimulatedPanel::clearRecord()
{
    events.clear();
    if (m_adapter)
        m_adapter->clearFrames();
}

qint64 SimulatedPanel::timeOfFrame(const QByteArray &frame, int occurrence) const
{
    for (const WireEvent &event : events) {
        if (event.kind == WireEvent::Sent && event.bytes == frame && occurrence-- == 0)
            return event.ms;
    }
    return -1;
}

QString SimulatedPanel::describeRecord() const
{
    static const char *const kindNames[] = {"TX", "CLOSED", "RX", "TIMEOUT", "OVERLAP"};
    QStringList lines;
    for (const WireEvent &event : events) {
        lines << QStringLiteral("%1 ms, tick %2: %3 %4 (%5 bytes)")
                     .arg(event.ms)
                     .arg(event.ticks)
                     .arg(QLatin1String(kindNames[event.kind]), QString::fromLatin1(event.bytes.left(40).toHex(' ')))
                     .arg(event.bytes.size());
    }
    return lines.join(u'\n');
}

QString SimulatedPanel::wireOrderFault() const
{
    if (m_adapter && m_adapter->hexFrames() != sentHex())
        return QStringLiteral("the wire carried\n%1\nbut the engine sent\n%2")
            .arg(m_adapter->hexFrames().join(u'\n'), sentHex().join(u'\n'));
    bool waiting = false;
    QByteArray previous;
    int backToBack = 0; // frames sent since the last wait ended, after the first
    for (const WireEvent &event : events) {
        switch (event.kind) {
        case WireEvent::Overlap:
            return QStringLiteral("overlap at %1 ms: %2").arg(event.ms).arg(hexBytes(event.bytes));
        case WireEvent::Sent:
            if (waiting && (++backToBack > 3 || !continuesAddressChange(previous, event.bytes)))
                return QStringLiteral("frame %1 at %2 ms went out before the previous answer or time-out")
                    .arg(hexBytes(event.bytes))
                    .arg(event.ms);
            waiting = true;
            previous = event.bytes;
            break;
        case WireEvent::Reply:
        case WireEvent::TimedOut:
            if (!waiting)
                return QStringLiteral("a wait at %1 ms with no frame before it").arg(event.ms);
            waiting = false;
            backToBack = 0;
            break;
        case WireEvent::NotSent:
            break;
        }
    }
    return {};
}

QString SimulatedPanel::clickFault()
{
    m_relaysOn = !m_relaysOn;
    const QByteArray frame = QByteArray::fromHex(m_relaysOn ? "55700101ff" : "5570010100");
    const qsizetype before = events.size();
    click(m_relaysOn ? QStringLiteral("CmdTodoOn") : QStringLiteral("CmdTodoOff"));
    const QList<WireEvent> after = events.mid(before);
    if (after.size() != 2 || after[0].kind != WireEvent::Sent || after[0].bytes != frame
        || after[1].kind != WireEvent::Reply)
        return QStringLiteral("a relay click did not send %1 and take its answer:\n%2")
            .arg(QString::fromLatin1(frame.toHex(' ')), describeRecord());
    const QString status = m_relaysOn ? QStringLiteral("255") : QStringLiteral("0");
    if (text(QStringLiteral("TxtStatus")) != status)
        return QStringLiteral("TxtStatus shows %1, not %2").arg(text(QStringLiteral("TxtStatus")), status);
    if (!m_sim)
        return {};
    // Over a path that may still carry a byte from before a cut, the window takes
    // that byte as the click's answer and its own frame lands a moment later.
    const QString wanted = m_relaysOn ? QStringLiteral("ok ff") : QStringLiteral("ok 00");
    QString board;
    QDeadlineTimer deadline(2000);
    while ((board = command(QStringLiteral("get 70 1"))) != wanted && !deadline.hasExpired())
        QTest::qWait(20);
    if (board != wanted)
        return QStringLiteral("the relay board holds %1").arg(board);
    return {};
}

QString SimulatedPanel::soundnessFault()
{
    if (m_sim && !m_sim->isRunning())
        return QStringLiteral("the simulator has ended");
    if (m_panel->gate().busy() || m_panel->gate().deferredCount() != 0)
        return QStringLiteral("the gate still holds events");
    if (const QString fault = wireOrderFault(); !fault.isEmpty())
        return fault + u'\n' + describeRecord();
    return clickFault();
}

void SimulatedPanel::record(WireEvent::Kind kind, const QByteArray &bytes)
{
    events.append({kind, m_clock.elapsed(), bytes, int(m_panel->engine().TickCount())});
}

} // namespace kestrava::test
