#include "sim/view/runpanel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace kestrava::simview {

namespace {

QString secondsAndContacts(sim::SimTime span, int contacts)
{
    return QStringLiteral("%1 s, %2 contact%3")
        .arg(std::chrono::duration<double>(span).count(), 0, 'f', 1)
        .arg(contacts)
        .arg(contacts == 1 ? "" : "s");
}

} // namespace

QString runText(const sim::Run &run, sim::SimTime now)
{
    using Phase = sim::Run::Phase;
    switch (run.phase) {
    case Phase::Ready: return QStringLiteral("Ready: the clock starts with the first motor command");
    case Phase::Untimed: return QStringLiteral("Not timed: the robot was moved (back to start for a run)");
    case Phase::Running: return QStringLiteral("Running: ") + secondsAndContacts(now - run.startedAt, run.contacts);
    case Phase::Finished:
        return QStringLiteral("Candle out in ") + secondsAndContacts(run.endedAt - run.startedAt, run.contacts);
    }
    return {};
}

RunPanel::RunPanel(QWidget *parent)
    : QWidget(parent)
    , m_arenas(new QComboBox(this))
    , m_run(new QLabel(this))
{
    m_arenas->setObjectName(QStringLiteral("arenaChoice"));
    m_arenas->addItems(sim::bundledArenaNames());
    m_arenas->setToolTip(QStringLiteral("The arena (control command: arena NAME|FILE)"));
    connect(m_arenas, &QComboBox::activated, this, [this](int index) {
        if (sim::bundledArenaNames().contains(m_arenas->itemText(index)))
            emit arenaChosen(m_arenas->itemText(index));
    });
    m_run->setObjectName(QStringLiteral("runResult"));
    m_run->setMinimumWidth(0);
    m_run->setWordWrap(true);
    auto *backToStart = new QPushButton(QStringLiteral("back to start"), this);
    backToStart->setObjectName(QStringLiteral("backToStart"));
    connect(backToStart, &QPushButton::clicked, this, &RunPanel::backToStart);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins({});
    layout->addWidget(new QLabel(QStringLiteral("Arena"), this));
    layout->addWidget(m_arenas);
    layout->addWidget(m_run, 1);
    layout->addWidget(backToStart);
    m_clock.setInterval(100);
    connect(&m_clock, &QTimer::timeout, this, &RunPanel::showRun);
    showRun();
}

void RunPanel::showState(const QString &arenaName, const sim::Run &run)
{
    if (m_arenas->findText(arenaName) < 0)
        m_arenas->addItem(arenaName); // from a file: shown, chosen again by its command
    m_arenas->setCurrentText(arenaName);
    if (run == m_shownRun)
        return;
    m_shownRun = run;
    if (run.phase == sim::Run::Phase::Running)
        m_clock.start();
    else
        m_clock.stop();
    const bool finished = run.phase == sim::Run::Phase::Finished;
    m_run->setStyleSheet(finished ? QStringLiteral("font-weight: bold; color: #1b6e20") : QString());
    showRun();
}

QString RunPanel::runText() const
{
    return m_run->text();
}

void RunPanel::showRun()
{
    m_run->setText(simview::runText(m_shownRun, sim::simNow()));
}

} // namespace kestrava::simview
