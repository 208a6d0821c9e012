#include "robotview.h"

#include "buspanel.h"
#include "keypadpanel.h"
#include "modulepanels.h"
#include "simulatorthread.h"
#include "viewfeed.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace kestrava::simview {

using sim::Simulator;

RobotView::RobotView(sim::SimulatorThread &simulator, QWidget *parent)
    : QWidget(parent)
    , m_simulator(simulator)
    , m_feed(new ViewFeed(this))
    , m_motors(new MotorPanel(this))
    , m_servos(new ServoPanel(this))
    , m_relays(new RelayPanel(this))
    , m_display(new DisplayPanel(this))
    , m_keypad(new KeypadPanel(this))
    , m_compass(new CompassPanel(this))
    , m_thermal(new ThermalPanel(this))
    , m_bus(new BusPanel(this))
{
    setWindowTitle(QStringLiteral("Kestrava robot view"));
    setFocusPolicy(Qt::StrongFocus);
    ViewFeed *feed = m_feed;
    m_simulator.setWatcher([feed](Simulator &core) {
        ViewState state = readViewState(core.bus(), sim::simNow());
        state.bus.plugged = core.isPlugged();
        feed->store(std::move(state));
    });
    connect(m_feed, &ViewFeed::changed, this, &RobotView::showState);
    m_motion.setInterval(ViewFeed::FrameMs);
    connect(&m_motion, &QTimer::timeout, this, [this] { m_simulator.post([](Simulator &) {}); });
    connect(m_keypad, &KeypadPanel::keyPressed, this, &RobotView::pressKey);
    connect(m_keypad, &KeypadPanel::keyReleased, this, &RobotView::releaseKey);
    connect(m_bus, &BusPanel::command, this, &RobotView::act);

    auto *lcd = new QWidget(this);
    auto *lcdLayout = new QHBoxLayout(lcd);
    lcdLayout->setContentsMargins({});
    lcdLayout->addWidget(m_display, 3);
    lcdLayout->addWidget(m_keypad, 1);

    auto *left = new QVBoxLayout;
    auto *sensors = new QHBoxLayout;
    sensors->addWidget(framed(QStringLiteral("MD23 motors"), m_motors), 2);
    sensors->addWidget(framed(QStringLiteral("CMPS03 compass"), m_compass), 1);
    left->addLayout(sensors);
    left->addWidget(framed(QStringLiteral("TPA81 thermal array"), m_thermal));
    left->addWidget(framed(QStringLiteral("RLY08 relays"), m_relays));
    auto *right = new QVBoxLayout;
    right->addWidget(framed(QStringLiteral("LCD03 display and keypad"), lcd));
    right->addWidget(framed(QStringLiteral("SD21 servos"), m_servos));
    right->addWidget(framed(QStringLiteral("Bus"), m_bus), 1);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
}

QWidget *RobotView::framed(const QString &title, QWidget *content)
{
    auto *box = new QGroupBox(title, this);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(content);
    return box;
}

QStringList RobotView::run(const QString &command)
{
    QStringList answer;
    m_simulator.call([&](Simulator &core) { answer = core.execute(command); });
    return answer;
}

void RobotView::showState(const ViewState &state)
{
    m_motors->showState(state.motors);
    m_servos->showState(state.servos);
    m_relays->showState(state.relays);
    m_display->showState(state.display);
    m_keypad->showState(state.display ? std::optional(state.display->keysDown) : std::nullopt);
    m_compass->showState(state.bearingTenths);
    m_thermal->showState(state.thermal);
    m_bus->showState(state.bus);
    m_displayAddress = state.displayAddress;
    if (state.moving && !m_motion.isActive())
        m_motion.start();
    else if (!state.moving)
        m_motion.stop();
    emit shown();
}

void RobotView::act(const QString &command)
{
    m_bus->showOutcome(command, run(command));
}

void RobotView::pressKey(QChar key)
{
    act(QStringLiteral("press %1 %2").arg(m_displayAddress, 2, 16, QLatin1Char('0')).arg(key));
}

void RobotView::releaseKey(QChar key)
{
    act(QStringLiteral("release %1 %2").arg(m_displayAddress, 2, 16, QLatin1Char('0')).arg(key));
}

void RobotView::keyPressEvent(QKeyEvent *event)
{
    const QChar key = event->text().size() == 1 ? event->text()[0] : QChar();
    if (keyBit(key) < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat() && !m_keysHeldByKeyboard.contains(key)) {
        m_keysHeldByKeyboard.insert(key);
        pressKey(key);
    }
}

void RobotView::keyReleaseEvent(QKeyEvent *event)
{
    const QChar key = event->text().size() == 1 ? event->text()[0] : QChar();
    if (event->isAutoRepeat() || !m_keysHeldByKeyboard.remove(key)) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    releaseKey(key);
}

void RobotView::focusOutEvent(QFocusEvent *event)
{
    // A key let go of while another window had the keyboard would be held for ever.
    for (const QChar key : std::exchange(m_keysHeldByKeyboard, {}))
        releaseKey(key);
    QWidget::focusOutEvent(event);
}

} // namespace kestrava::simview
