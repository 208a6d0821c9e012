#include "buspanel.h"

#include "buslog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kestrava::simview {

namespace {

constexpr int ModulesPerRow = 2;

bool sameModules(const QList<ModuleFaultState> &a, const QList<ModuleFaultState> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto &x, const auto &y) {
        return x.address == y.address && x.name == y.name;
    });
}

} // namespace

void TrafficPanel::paint(QPainter &painter, const BusTraffic &traffic) const
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(12);
    painter.setFont(font);
    painter.drawText(QRectF(4, 0, 452, 18), Qt::AlignVCenter, QStringLiteral("%1 frames a second").arg(traffic.framesPerSecond));
    for (int line = 0; line < traffic.lastFrames.size(); ++line)
        painter.drawText(QRectF(4, 18.0 * (line + 1) + 4, 452, 18), Qt::AlignVCenter, traffic.lastFrames[line]);
}

BusPanel::BusPanel(QWidget *parent)
    : QWidget(parent)
    , m_traffic(new TrafficPanel(this))
    , m_switches(new QGridLayout)
    , m_line(new QLabel(this))
    , m_outcome(new QLabel(this))
{
    auto *unplug = new QPushButton(QStringLiteral("unplug"), this);
    auto *plugIn = new QPushButton(QStringLiteral("plug in"), this);
    unplug->setObjectName(QStringLiteral("unplug"));
    plugIn->setObjectName(QStringLiteral("plugIn"));
    connect(unplug, &QPushButton::clicked, this, [this] { emit command(QStringLiteral("drop")); });
    connect(plugIn, &QPushButton::clicked, this, [this] { emit command(QStringLiteral("restore")); });
    auto *adapter = new QHBoxLayout;
    adapter->addWidget(m_line, 1);
    adapter->addWidget(unplug);
    adapter->addWidget(plugIn);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_traffic, 1);
    layout->addLayout(adapter);
    layout->addLayout(m_switches);
    layout->addWidget(m_outcome);
}

void BusPanel::showState(const BusState &state)
{
    m_traffic->showState(state.traffic);
    m_line->setText(state.plugged ? QStringLiteral("adapter plugged in") : QStringLiteral("adapter unplugged"));
    if (state.modules == m_modules)
        return;
    if (!sameModules(state.modules, m_modules))
        rebuildSwitches(state.modules);
    m_modules = state.modules;
    for (qsizetype i = 0; i < m_modules.size(); ++i) {
        const QSignalBlocker silent(m_switchBoxes[i].first), late(m_switchBoxes[i].second);
        m_switchBoxes[i].first->setChecked(m_modules[i].silent);
        m_switchBoxes[i].second->setChecked(m_modules[i].late);
    }
}

void BusPanel::showOutcome(const QString &command, const QStringList &answer)
{
    m_outcome->setText(QStringLiteral("%1 → %2").arg(command, answer.isEmpty() ? QString() : answer.last()));
}

void BusPanel::rebuildSwitches(const QList<ModuleFaultState> &modules)
{
    m_switchBoxes.clear();
    while (QLayoutItem *item = m_switches->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (int i = 0; i < modules.size(); ++i) {
        const ModuleFaultState &module = modules[i];
        const QString address = sim::hexAddress(module.address);
        auto *name = new QLabel(QStringLiteral("%1 %2").arg(address, module.name), this);
        auto *silent = new QCheckBox(QStringLiteral("silent"), this);
        auto *late = new QCheckBox(QStringLiteral("late"), this);
        silent->setObjectName(QStringLiteral("silent") + address);
        late->setObjectName(QStringLiteral("late") + address);
        m_switchBoxes.append(std::pair<QAbstractButton *, QAbstractButton *>(silent, late));
        connect(silent, &QCheckBox::toggled, this, [this, address](bool on) {
            emit command(QStringLiteral("silence %1 %2").arg(address, on ? QStringLiteral("on") : QStringLiteral("off")));
        });
        connect(late, &QCheckBox::toggled, this, [this, address](bool on) {
            emit command(QStringLiteral("delay %1 %2").arg(address).arg(on ? LateMs : 0));
        });
        const int row = i / ModulesPerRow, column = 3 * (i % ModulesPerRow);
        m_switches->addWidget(name, row, column);
        m_switches->addWidget(silent, row, column + 1);
        m_switches->addWidget(late, row, column + 2);
    }
}

} // namespace kestrava::simview
