#pragma once

#include "sim/view/statepanel.h"
#include "sim/view/viewstate.h"

class QAbstractButton;
class QGridLayout;
class QLabel;

namespace kestrava::simview {

// Frames in the last second and the last frames with their answers, decoded, under
// a header that names the columns; as many of the latest as the panel's height holds.
// Drawn at its own size, never scaled.
class TrafficPanel : public StatePanel<BusTraffic>
{
    Q_OBJECT
public:
    static constexpr int LeastLines = 6;
    explicit TrafficPanel(QWidget *parent = nullptr);
protected:
    void paint(QPainter &painter, const BusTraffic &traffic) const override;
    void resizeEvent(QResizeEvent *event) override;
private:
    qreal lineHeight() const;
};

// The bus: its traffic, a "silent" and a "late" switch per module, and the
// adapter's "unplug" and "plug in". Each switch sends the control command that
// does the same, so the view and standard input act alike.
class BusPanel : public QWidget
{
    Q_OBJECT
public:
    // How late a "late" module answers: beyond the panel's wait for a reply.
    static constexpr int LateMs = 600;

    explicit BusPanel(QWidget *parent = nullptr);
    void showState(const BusState &state);
    void showOutcome(const QString &command, const QStringList &answer);

signals:
    void command(const QString &line);

private:
    void rebuildSwitches(const QList<ModuleFaultState> &modules);

    TrafficPanel *m_traffic;
    QGridLayout *m_switches;
    QLabel *m_line;
    QLabel *m_outcome;
    QList<ModuleFaultState> m_modules;
    QList<std::pair<QAbstractButton *, QAbstractButton *>> m_switchBoxes; // silent, late by module
};

} // namespace kestrava::simview
