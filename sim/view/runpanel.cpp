#include "sim/view/runpanel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace kestrava::simview {

namespace {

// The seconds with the locale's decimal separator, whatever the language.
QString withSpan(const QString &text, sim::SimTime span)
{
    return text.arg(std::chrono::duration<double>(span).count(), 0, 'f', 1);
}

} // namespace

QString runText(const sim::Run &run, sim::SimTime now)
{
    using Phase = sim::Run::Phase;
    switch (run.phase) {
    case Phase::Ready: return RunPanel::tr("Ready: the clock starts with the first motor command");
    case Phase::Untimed: return RunPanel::tr("Not timed: the robot was moved (back to start for a run)");
    case Phase::Running:
        return withSpan(RunPanel::tr("Running: %L1 s, %n contact(s)", nullptr, run.contacts), now - run.startedAt);
    case Phase::Finished:
        return withSpan(RunPanel::tr("Candle out in %L1 s, %n contact(s)", nullptr, run.contacts),
                        run.endedAt - run.startedAt);
    }
    return {};
}

RunPanel::RunPanel(QWidget *parent)
    : QWidget(parent)
    , m_arenas(new QComboBox(this))
    , m_run(new QLabel(this))
{
    m_arenas->setObjectName(QStringLiteral("arenaChoice"));
    for (const QString &name : sim::bundledArenaNames())
        m_arenas->addItem(arenaCaption(name), name);
    m_arenas->setToolTip(tr("The arena (control command: arena NAME|FILE)"));
    connect(m_arenas, &QComboBox::activated, this, [this](int index) {
        const QString name = m_arenas->itemData(index).toString();
        if (sim::bundledArenaNames().contains(name))
            emit arenaChosen(name);
    });
    m_run->setObjectName(QStringLiteral("runResult"));
    m_run->setMinimumWidth(0);
    m_run->setWordWrap(true);
    auto *backToStart = new QPushButton(tr("back to start"), this);
    backToStart->setObjectName(QStringLiteral("backToStart"));
    connect(backToStart, &QPushButton::clicked, this, &RunPanel::backToStart);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins({});
    layout->addWidget(new QLabel(tr("Arena"), this));
    layout->addWidget(m_arenas);
    layout->addWidget(m_run, 1);
    layout->addWidget(backToStart);
    m_clock.setInterval(100);
    connect(&m_clock, &QTimer::timeout, this, &RunPanel::showRun);
    showRun();
}

void RunPanel::showState(const QString &arenaName, const sim::Run &run)
{
    if (m_arenas->findData(arenaName) < 0)
        m_arenas->addItem(arenaName, arenaName); // from a file: shown, chosen again by its command
    m_arenas->setCurrentIndex(m_arenas->findData(arenaName));
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

// A bundled arena in the view's language; the control commands keep its own name.
// The world lists the names: they are marked here for the translators.
QString RunPanel::arenaCaption(const QString &name)
{
    [[maybe_unused]] static const char *const bundled[] = {QT_TR_NOOP("open"), QT_TR_NOOP("house"),
                                                          QT_TR_NOOP("corridor")};
    return tr(name.toUtf8().constData());
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
