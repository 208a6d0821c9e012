#include "controlpanel.h"

#include "actuatorbinding.h"
#include "addressbinding.h"
#include "drivebinding.h"
#include "eventtable.h"
#include "modulecontext.h"
#include "panellayout.h"
#include "pictures.h"
#include "portcombo.h"
#include "sensorbinding.h"

#include <QCloseEvent>
#include <QLabel>

namespace kestrava {

ControlPanel::ControlPanel(PortSelector::ShowMessage showMessage, QWidget *parent,
                           const HandlerHook &beforeWiring)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ControlPanel"));
    setWindowTitle(QStringLiteral("Control de periféricos I2C"));
    buildControls(*this);
    // Frame captions sit on the frame's top line, so that controls placed just
    // below a frame's top edge stay inside its border.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); margin-top: 9px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 5px; padding: 0px 1px; }"));
    setFixedSize(ClientWidthTwips / TwipsPerPixel, ClientHeightTwips / TwipsPerPixel);

    m_comboCom = findChild<PortCombo *>(QStringLiteral("ComboCom"));
    m_portSelector = std::make_unique<PortSelector>(m_line, *m_comboCom, std::move(showMessage));
    m_handlers.add(QStringLiteral("ComboCom_LostFocus"), [this] { m_portSelector->ComboCom_LostFocus(); });

    const ModuleContext context{m_engine, m_gate, *this, m_handlers,
                                [this](const Reading &reading) { emit readingShown(reading); }};
    installAddressChange(context);
    installDrive(context);
    installActuators(context);
    installSensors(context);
    if (beforeWiring)
        beforeWiring(m_handlers);
    wireEventTable(*this, m_handlers, m_gate);

    connect(&m_gate, &EventGate::idle, this, [this] {
        if (m_closeWhenIdle)
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
    m_portSelector->Form_Load();
}

ControlPanel::~ControlPanel()
{
    // The controls go first: a control that reports its last event while it is
    // destroyed (a drag ended by hiding the pad, focus leaving ComboCom) must still
    // find the gate, the engine and the handlers alive.
    qDeleteAll(findChildren<QWidget *>(Qt::FindDirectChildrenOnly));
}

void ControlPanel::setSimulatedBus(bool simulated)
{
    if (auto *banner = findChild<QLabel *>(QStringLiteral("Picture2")))
        banner->setPixmap(bannerPicture(simulated));
}

// Closing while an operation runs would destroy the engine under its wait. The
// close waits for the operation (and a timed move's stop frame) to end instead.
void ControlPanel::closeEvent(QCloseEvent *event)
{
    if (m_gate.busy()) {
        m_closeWhenIdle = true;
        event->ignore();
        return;
    }
    m_closeWhenIdle = false;
    QWidget::closeEvent(event);
}

} // namespace kestrava
