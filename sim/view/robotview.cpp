#include "sim/view/robotview.h"

#include "sim/view/arenapanel.h"
#include "sim/view/buspanel.h"
#include "sim/view/keypadpanel.h"
#include "sim/view/modulepanels.h"
#include "sim/view/runpanel.h"
#include "sim/program/simulatorthread.h"
#include "sim/view/viewfeed.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

#include <numeric>

namespace kestrava::simview {

using sim::Simulator;

namespace {

constexpr int LeastRowsUnderArena = 260; // pixels kept for the panels under the arena
constexpr int MostColumns = 3;
constexpr double NaturalScale = 1.0;     // a pixel a centimetre: the arena is big enough

// Which column each of the frames goes to: in order, each column filled up to an
// even share of the total height. Returns the columns' heights too.
std::vector<int> columnsFor(const QList<int> &heights, int columns, std::vector<int> *columnHeights = nullptr)
{
    const int total = std::accumulate(heights.begin(), heights.end(), 0);
    const int share = (total + columns - 1) / columns;
    std::vector<int> column(heights.size()), filled(columns, 0);
    int at = 0;
    for (qsizetype i = 0; i < heights.size(); ++i) {
        if (filled[at] > 0 && filled[at] + heights[i] > share && at + 1 < columns)
            ++at;
        column[i] = at;
        filled[at] += heights[i];
    }
    if (columnHeights)
        *columnHeights = filled;
    return column;
}

int tallest(const QList<int> &heights, int columns)
{
    std::vector<int> filled;
    columnsFor(heights, columns, &filled);
    return *std::max_element(filled.begin(), filled.end());
}

} // namespace

RobotView::RobotView(sim::SimulatorThread &simulator, QWidget *parent)
    : QWidget(parent)
    , m_simulator(simulator)
    , m_feed(new ViewFeed(this))
    , m_run(new RunPanel(this))
    , m_arena(new ArenaPanel(this))
    , m_motors(new MotorPanel(this))
    , m_servos(new ServoPanel(this))
    , m_relays(new RelayPanel(this))
    , m_display(new DisplayPanel(this))
    , m_keypad(new KeypadPanel(this))
    , m_compass(new CompassPanel(this))
    , m_thermal(new ThermalPanel(this))
    , m_bus(new BusPanel(this))
    , m_layout(new QBoxLayout(QBoxLayout::LeftToRight, this))
    , m_arenaBlock(new QWidget(this))
    , m_modulesScroll(new QScrollArea(this))
{
    setWindowTitle(tr("Kestrava robot view"));
    setFocusPolicy(Qt::StrongFocus);
    // Text is read from a chair: never below 10 points, whatever the desktop's default.
    QFont readable = font();
    readable.setPointSizeF(std::max(readable.pointSizeF(), 10.0));
    setFont(readable);
    m_simulator.setWatcher([feed = m_feed](Simulator &core) { feed->look(core); });
    connect(m_feed, &ViewFeed::changed, this, &RobotView::showState);
    m_motion.setInterval(ViewFeed::FrameTime);
    connect(&m_motion, &QTimer::timeout, this, [this] {
        m_simulator.post([](Simulator &core) { core.bus().advanceTo(core.clock().now()); });
    });
    connect(m_keypad, &KeypadPanel::keyPressed, this, &RobotView::pressKey);
    connect(m_keypad, &KeypadPanel::keyReleased, this, &RobotView::releaseKey);
    connect(m_bus, &BusPanel::command, this, &RobotView::act);
    connect(m_run, &RunPanel::arenaChosen, this, [this](const QString &name) { act(QStringLiteral("arena ") + name); });
    connect(m_run, &RunPanel::backToStart, this, [this] { act(QStringLiteral("start")); });
    connectArena();

    auto *arenaLayout = new QVBoxLayout(m_arenaBlock);
    arenaLayout->setContentsMargins({});
    arenaLayout->addWidget(m_run);
    arenaLayout->addWidget(m_arena);
    m_moduleFrames = {framed(tr("MD23 motors"), m_motors),
                      framed(tr("CMPS03 compass"), m_compass),
                      framed(tr("TPA81 thermal array"), m_thermal),
                      framed(tr("RLY08 relays"), m_relays),
                      framed(tr("LCD03 display"), m_display),
                      framed(tr("LCD03 keypad"), m_keypad),
                      framed(tr("SD21 servos"), m_servos),
                      framed(tr("Bus"), m_bus)};
    auto *modules = new QWidget;
    (new QHBoxLayout(modules))->setContentsMargins({});
    m_modulesScroll->setWidget(modules);
    m_modulesScroll->setWidgetResizable(true);
    m_modulesScroll->setFrameShape(QFrame::NoFrame);
    m_layout->addWidget(m_arenaBlock, 0, Qt::AlignTop | Qt::AlignLeft);
    m_layout->addWidget(m_modulesScroll, 1);
    // The arrangement, not the layout, decides the window's smallest useful size.
    m_layout->setSizeConstraint(QLayout::SetNoConstraint);
    setMinimumSize(400, 480);
    arrange();
}

RobotView::~RobotView()
{
    // The simulator may outlive the view: it stops looking before the view goes.
    m_simulator.setWatcher({});
}

void RobotView::connectArena()
{
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
}

QWidget *RobotView::framed(const QString &title, QWidget *content)
{
    auto *box = new QGroupBox(title, this);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(content);
    return box;
}

void RobotView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    arrange();
}

Arrangement RobotView::bestArrangement(QSize room) const
{
    const int spacing = m_layout->spacing();
    const int scrollbar = style()->pixelMetric(QStyle::PM_ScrollBarExtent) + spacing;
    const int runHeight = m_run->sizeHint().height() + spacing;
    QList<int> heights;
    int columnWidth = 0;
    for (const QWidget *frame : m_moduleFrames) {
        heights << frame->sizeHint().height() + spacing;
        columnWidth = std::max(columnWidth, frame->minimumSizeHint().width() + spacing);
    }
    struct Option
    {
        Arrangement arrangement;
        bool panelsFit;
    };
    std::vector<Option> options;
    for (int columns = 1; columns <= MostColumns; ++columns) {
        const QSize arenaRoom(room.width() - columns * columnWidth - scrollbar - spacing, room.height() - runHeight);
        if (arenaRoom.width() >= ArenaPanel::Least.width())
            options.push_back({{true, columns, m_arena->fittedSize(arenaRoom.expandedTo({1, 1}))}, tallest(heights, columns) <= room.height()});
    }
    const int under = std::clamp((room.width() - scrollbar) / std::max(columnWidth, 1), 1, MostColumns);
    const QSize arena = m_arena->fittedSize(
        QSize(room.width(), room.height() - runHeight - spacing - LeastRowsUnderArena).expandedTo({1, 1}));
    options.push_back({{false, under, arena},
                       tallest(heights, under) <= room.height() - runHeight - spacing - arena.height()});
    const auto area = [](const Option &o) { return qint64(o.arrangement.arena.width()) * o.arrangement.arena.height(); };
    const auto bigEnough = [&](const Option &o) {
        return o.panelsFit && o.arrangement.arena.width() >= NaturalScale * m_arena->logicalSize().width();
    };
    const auto best = std::max_element(options.begin(), options.end(), [&](const Option &a, const Option &b) {
        return std::pair(bigEnough(a), area(a)) < std::pair(bigEnough(b), area(b));
    });
    return best->arrangement;
}

void RobotView::arrange()
{
    const QMargins margins = m_layout->contentsMargins();
    const Arrangement chosen = bestArrangement(size().shrunkBy(margins).expandedTo({1, 1}));
    if (chosen == m_arrangement)
        return;
    const bool panelsMove = chosen.columns != m_arrangement.columns;
    m_arrangement = chosen;
    m_layout->setDirection(chosen.beside ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    m_layout->setAlignment(m_arenaBlock, Qt::AlignTop | (chosen.beside ? Qt::AlignLeft : Qt::AlignHCenter));
    m_arena->setFixedSize(chosen.arena.expandedTo(ArenaPanel::Least));
    m_arenaBlock->setFixedWidth(m_arena->width()); // the run's line wraps rather than widen it
    if (!panelsMove)
        return;
    QBoxLayout *columns = qobject_cast<QBoxLayout *>(m_modulesScroll->widget()->layout());
    while (QLayoutItem *column = columns->takeAt(0))
        delete column; // the column's layout, not its frames
    QList<int> heights;
    for (const QWidget *frame : m_moduleFrames)
        heights << frame->sizeHint().height() + m_layout->spacing();
    const std::vector<int> columnOf = columnsFor(heights, chosen.columns);
    QList<QVBoxLayout *> stacks;
    for (int column = 0; column < chosen.columns; ++column) {
        stacks << new QVBoxLayout;
        columns->addLayout(stacks.last());
    }
    for (qsizetype i = 0; i < m_moduleFrames.size(); ++i)
        stacks[columnOf[i]]->addWidget(m_moduleFrames[i]);
    for (QVBoxLayout *stack : stacks)
        stack->addStretch(1);
}

QStringList RobotView::run(const QString &command)
{
    QStringList answer;
    m_simulator.call([&](Simulator &core) { answer = core.execute(command); });
    return answer;
}

void RobotView::showState(const ViewState &state)
{
    const QSizeF arenaSize = m_arena->logicalSize();
    m_arena->showState(state.arena);
    m_run->showState(state.arena.name, state.run);
    if (m_arena->logicalSize() != arenaSize) { // another arena, other proportions
        m_arrangement.arena = {};
        arrange();
    }
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
