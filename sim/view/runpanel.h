#pragma once

#include "sim/world/world.h"

#include <QTimer>
#include <QWidget>

class QComboBox;
class QLabel;

namespace kestrava::simview {

// The task's line above the arena: which arena (a bundled one can be chosen), the
// run (its clock while it runs, then the result) and "back to start".
class RunPanel : public QWidget
{
    Q_OBJECT
public:
    explicit RunPanel(QWidget *parent = nullptr);
    void showState(const QString &arenaName, const sim::Run &run);
    QString runText() const;

signals:
    void arenaChosen(const QString &name);
    void backToStart();

private:
    static QString arenaCaption(const QString &name);
    void showRun();

    QComboBox *m_arenas;
    QLabel *m_run;
    sim::Run m_shownRun;
    // Ticks only while a run is on, for its clock: nothing else moves the line.
    QTimer m_clock;
};

// The run as the view words it, its clock read at `now` while it runs:
// "Candle out in 41.2 s, 2 contacts".
QString runText(const sim::Run &run, sim::SimTime now);

} // namespace kestrava::simview
