#include "robotview.h"

#include "arenapanel.h"
#include "buspanel.h"
#include "keypadpanel.h"
#include "modulepanels.h"
#include "simulatorthread.h"
#include "viewfeed.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrava::simview {

using sim::Simulator;

RobotView::RobotView(sim::SimulatorThread &simulator, QWidget *parent)
    : QWidget(parent)
    , m_simulator(simulator)
    , m_feed(new ViewFeed(this))
    , m_arena(new ArenaPanel(this))
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
    m_simulator.setWatcher([feed = m_feed](Simulator &core) { feed->look(core); });
    connect(m_feed, &ViewFeed::changed, this, &RobotView::showState);
    m_motion.setInterval(ViewFeed::FrameTime);
    connect(&m_motion, &QTimer::timeout, this, [this] {
        m_simulator.post([](Simulator &core) { core.bus().advanceTo(sim::simNow()); });
    });
    connect(m_keypad, &KeypadPanel::keyPressed, this, &RobotView::pressKey);
    connect(m_keypad, &KeypadPanel::keyReleased, this, &RobotView::releaseKey);
    connect(m_bus, &BusPanel::command, this, &RobotView::act);
    connect(m_arena, &ArenaPanel::robotPlaced, this, [this](QPointF where, double heading) {
        m_simulator.post([=](Simulator &core) { core.bus().world().place({where.x(), where.y(), heading}); });
    });
    connect(m_arena, &ArenaPanel::robotTurnedBy, this, [this](double degrees) {
        m_simulator.post([=](Simulator &core) {
            sim::geometry::Pose pose = core.bus().world().pose();
            pose.heading = sim::geometry::normalizedDegrees(pose.heading + degrees);
            core.bus().world().place(pose);
        });
    });
    connect(m_arena, &ArenaPanel::warmObjectPlaced, this, [this](QPointF where) {
        m_simulator.post([=](Simulator &core) { core.bus().world().setWarmObject({where.x(), where.y()}); });
    });

    auto *left = new QVBoxLayout;
    left->addWidget(framed(QStringLiteral("Arena"), arenaWithButton()), 3);
    left->addWidget(side(framed(QStringLiteral("MD23 motors"), m_motors), framed(QStringLiteral("CMPS03 compass"), m_compass), 2));
    left->addWidget(side(framed(QStringLiteral("TPA81 thermal array"), m_thermal), framed(QStringLiteral("RLY08 relays"), m_relays)));
    auto *right = new QVBoxLayout;
    right->addWidget(framed(QStringLiteral("LCD03 display and keypad"), side(m_display, m_keypad, 3)));
    right->addWidget(framed(QStringLiteral("SD21 servos"), m_servos));
    right->addWidget(framed(QStringLiteral("Bus"), m_bus), 1);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
}

RobotView::~RobotView()
{
    // The simulator may outlive the view: it stops looking before the view goes.
    m_simulator.setWatcher({});
}

QWidget *RobotView::arenaWithButton()
{
    auto *backToStart = new QPushButton(QStringLiteral("back to start"), this);
    backToStart->setObjectName(QStringLiteral("backToStart"));
    connect(backToStart, &QPushButton::clicked, this, [this] {
        m_simulator.post([](Simulator &core) { core.bus().world().returnToStart(); });
    });
    auto *box = new QWidget(this);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins({});
    layout->addWidget(m_arena, 1);
    layout->addWidget(backToStart, 0, Qt::AlignLeft);
    return box;
}

QWidget *RobotView::side(QWidget *left, QWidget *right, int leftStretch)
{
    auto *pair = new QWidget(this);
    auto *layout = new QHBoxLayout(pair);
    layout->setContentsMargins({});
    layout->addWidget(left, leftStretch);
    layout->addWidget(right, 1);
    return pair;
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
    m_arena->showState(state.arena);
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
