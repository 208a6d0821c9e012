#include "controlpanel.h"

#include "actuators.h"
#include "drive.h"
#include "modulecontext.h"
#include "portcombo.h"
#include "sensors.h"

namespace kestrava {

ControlPanel::ControlPanel(PortSelector::ShowMessage showMessage, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ControlPanel"));
    setWindowTitle(QStringLiteral("Control de periféricos I2C"));
    m_comboCom = new PortCombo(this);
    m_comboCom->setObjectName(QStringLiteral("ComboCom"));

    const ModuleContext context{m_engine, m_gate, *this, m_handlers};
    installDrive(context);
    installActuators(context);
    installSensors(context);

    m_portSelector = std::make_unique<PortSelector>(m_line, *m_comboCom, std::move(showMessage));
    connect(m_comboCom, &PortCombo::lostFocus, this,
            [this] { m_gate.run([this] { m_portSelector->ComboCom_LostFocus(); }); });
    m_portSelector->Form_Load();
}

ControlPanel::~ControlPanel() = default;

} // namespace kestrava
