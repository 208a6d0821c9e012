#include "sim/view/buspanel.h"

#include "sim/program/buslog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kestrava::simview {

namespace {

// One module a row: two side by side are wider than the view beside the panel on a laptop.
constexpr int ModulesPerRow = 1;

bool sameModules(const QList<ModuleFaultState> &a, const QList<ModuleFaultState> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto &x, const auto &y) {
        return x.address == y.address && x.name == y.name;
    });
}

// The columns' widths in characters of the fixed-width font; the answer takes the rest.
constexpr int ColumnChars[] = {5, 8, 7, 4, 16};

QFont trafficFont(const QFont &viewFont)
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSizeF(viewFont.pointSizeF());
    return font;
}

} // namespace

TrafficPanel::TrafficPanel(QWidget *parent)
    : StatePanel({480, 200}, parent)
{
    const QFontMetricsF metrics(trafficFont(font()));
    // The columns and a few characters of the answer, which the view beside the panel has room for.
    setMinimumSize(int(metrics.horizontalAdvance(QLatin1Char('0')) * 46), int(lineHeight() * (LeastLines + 2) + 4));
}

qreal TrafficPanel::lineHeight() const
{
    return QFontMetricsF(trafficFont(font())).height() + 2;
}

void TrafficPanel::resizeEvent(QResizeEvent *event)
{
    setLogicalSize(size()); // one logical unit a pixel: the text keeps its size
    StatePanel::resizeEvent(event);
}

void TrafficPanel::paint(QPainter &painter, const BusTraffic &traffic) const
{
    const QFont mono = trafficFont(font());
    painter.setFont(mono);
    const qreal charWidth = QFontMetricsF(mono).horizontalAdvance(QLatin1Char('0'));
    const qreal line = lineHeight(), width = logicalSize().width() - 8;
    const auto drawRow = [&](const TrafficRow &row, qreal y) {
        qreal x = 4;
        for (std::size_t column = 0; column < row.size(); ++column) {
            const qreal columnWidth = column < std::size(ColumnChars) ? ColumnChars[column] * charWidth : width - x;
            const QString text = painter.fontMetrics().elidedText(row[column], Qt::ElideRight, int(columnWidth - 2));
            painter.drawText(QRectF(x, y, columnWidth, line), Qt::AlignVCenter | Qt::AlignLeft, text);
            x += columnWidth;
        }
    };
    painter.drawText(QRectF(4, 0, width, line), Qt::AlignVCenter,
                     tr("%n frame(s) on the bus in the last second", nullptr, traffic.framesPerSecond));
    painter.setPen(QColor(90, 90, 90));
    drawRow(trafficHeader(), line);
    painter.drawLine(QPointF(4, 2 * line), QPointF(4 + width, 2 * line));
    painter.setPen(palette().windowText().color());
    const qsizetype fits = std::max<qsizetype>(0, qsizetype((logicalSize().height() - 2 * line - 2) / line));
    const qsizetype first = std::max<qsizetype>(0, traffic.lastFrames.size() - fits);
    for (qsizetype i = first; i < traffic.lastFrames.size(); ++i)
        drawRow(traffic.lastFrames[i], 2 * line + 2 + (i - first) * line);
}

BusPanel::BusPanel(QWidget *parent)
    : QWidget(parent)
    , m_traffic(new TrafficPanel(this))
    , m_switches(new QGridLayout)
    , m_line(new QLabel(this))
    , m_outcome(new QLabel(this))
{
    auto *unplug = new QPushButton(tr("unplug"), this);
    auto *plugIn = new QPushButton(tr("plug in"), this);
    unplug->setObjectName(QStringLiteral("unplug"));
    plugIn->setObjectName(QStringLiteral("plugIn"));
    connect(unplug, &QPushButton::clicked, this, [this] { emit command(QStringLiteral("drop")); });
    connect(plugIn, &QPushButton::clicked, this, [this] { emit command(QStringLiteral("restore")); });
    // The line's state above its buttons: side by side they would not fit the view beside the panel.
    auto *adapter = new QHBoxLayout;
    adapter->addWidget(unplug);
    adapter->addWidget(plugIn);
    adapter->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_traffic, 1);
    layout->addWidget(m_line);
    layout->addLayout(adapter);
    layout->addLayout(m_switches);
    m_switches->setColumnStretch(3 * ModulesPerRow, 1); // the switches keep their own width, the room goes right
    layout->addWidget(m_outcome);
}

void BusPanel::showState(const BusState &state)
{
    m_traffic->showState(state.traffic);
    m_line->setText(state.plugged ? tr("adapter plugged in") : tr("adapter unplugged"));
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
        auto *silent = new QCheckBox(tr("silent"), this);
        auto *late = new QCheckBox(tr("late"), this);
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
