#include "panel/controlpanel.h"

#include "panel/eventtable.h"
#include "panel/modulecontext.h"
#include "panel/panellayout.h"
#include "panel/pictures.h"
#include "panel/portcombo.h"

#include <QCloseEvent>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>

namespace kestrava {

namespace {

// What a window manager's title bar and borders take from the screen, as long as
// the window's real frame is not known.
constexpr QSize LikelyFrame{8, 40};
// A scrolled window can shrink to this, small enough for any screen.
constexpr QSize SmallestScrolledWindow{320, 240};

struct BannerLine
{
    QString text;
    BannerTone tone;
};

BannerLine bannerLineFor(const SerialLine &line, bool simulatedBus)
{
    switch (line.state()) {
    case PortState::NotOpened:
        if (line.lastOpenFailure() == OpenFailure::NoPortNumber)
            return {ControlPanel::tr("SIN PUERTO — ningún puerto elegido"), BannerTone::Warning};
        return {ControlPanel::tr("SIN PUERTO — %1 no se pudo abrir").arg(line.portName()), BannerTone::Warning};
    case PortState::Lost:
        return {ControlPanel::tr("PUERTO PERDIDO — %1 desconectado").arg(line.portName()), BannerTone::Warning};
    case PortState::Open:
    case PortState::Closed:
        break;
    }
    if (simulatedBus)
        return {ControlPanel::tr("BUS SIMULADO — sin hardware"), BannerTone::Simulated};
    return {ControlPanel::tr("Módulos I2C por adaptador USB"), BannerTone::Hardware};
}

// The controls sit at their designed places in a client of the designed size,
// which scrolls when the screen is too small for it.
QScrollArea *scrollingClient(QWidget *client)
{
    client->setFixedSize(ClientWidthTwips / TwipsPerPixel, ClientHeightTwips / TwipsPerPixel);
    auto *area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(client);
    return area;
}

} // namespace

ControlPanel::ControlPanel(PortSelector::ShowMessage showMessage, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ControlPanel"));
    setWindowTitle(tr("Control de periféricos I2C"));
    auto *client = new QWidget;
    m_controls = std::make_unique<PanelControls>(buildControls(*client));
    m_scrollArea = scrollingClient(client);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins({});
    layout->addWidget(m_scrollArea);
    // Frame captions sit on the frame's top line, so that controls placed just
    // below a frame's top edge stay inside its border.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); margin-top: 9px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 5px; padding: 0px 1px; }"));
    fitScreen();

    m_portSelector = std::make_unique<PortSelector>(m_line, *m_controls->ComboCom, std::move(showMessage));
    const ModuleContext context{m_engine, m_gate, *this,
                                [this](const Reading &reading) { emit readingShown(reading); }};
    m_handlers = std::make_unique<EventHandlers>(context, *m_controls, *m_portSelector);
    wireEventTable(*m_controls, *m_handlers, m_gate);

    connect(&m_gate, &EventGate::idle, this, [this] {
        if (m_closeWhenIdle)
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
    connect(&m_line, &SerialLine::stateChanged, this, &ControlPanel::showPortState);
    showBanner();
    m_portSelector->Form_Load();
}

ControlPanel::~ControlPanel()
{
    // The controls go first: a control that reports its last event while it is
    // destroyed (a drag ended by hiding the pad, focus leaving ComboCom) must still
    // find the gate, the engine and the handlers alive.
    delete m_scrollArea;
}

void ControlPanel::setSimulatedBus(bool simulated)
{
    m_simulatedBus = simulated;
    showBanner();
}

// Standard error keeps the details; the banner says it in the window.
void ControlPanel::showPortState(PortState state)
{
    switch (state) {
    case PortState::Closed:
        return; // a port change reopens at once: no flash of "no port"
    case PortState::NotOpened:
        if (m_line.lastOpenFailure() == OpenFailure::NoPermission)
            qWarning("kestrava: cannot open %s; %s", qPrintable(m_line.lastError()), DialoutHint);
        else
            qWarning("kestrava: cannot open %s", qPrintable(m_line.lastError()));
        break;
    case PortState::Lost:
        qWarning("kestrava: %s", qPrintable(m_line.lastError()));
        break;
    case PortState::Open:
        break;
    }
    showBanner();
}

void ControlPanel::showBanner()
{
    QLabel &banner = *m_controls->Picture2;
    const BannerLine line = bannerLineFor(m_line, m_simulatedBus);
    banner.setPixmap(bannerPicture(line.text, line.tone));
    banner.setAccessibleName(line.text);
    banner.setToolTip(line.text);
}

// Where the screen has room, the window is exactly its designed size; where it has
// not, the window fits the screen and its client scrolls.
void ControlPanel::fitScreen()
{
    const QSize client = m_scrollArea->widget()->size();
    const QScreen *on = screen();
    const bool framed = isVisible() && frameGeometry().size() != size();
    const QSize room = on ? on->availableGeometry().size() - (framed ? frameGeometry().size() - size() : LikelyFrame)
                          : client;
    if (client.width() <= room.width() && client.height() <= room.height()) {
        setFixedSize(client);
        return;
    }
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scrollArea);
    const QSize largest = client + QSize(bar, bar);
    setMinimumSize(SmallestScrolledWindow);
    setMaximumSize(largest);
    resize(largest.boundedTo(room));
}

bool ControlPanel::event(QEvent *event)
{
    if (event->type() == QEvent::ScreenChangeInternal)
        fitScreen(); // moved to another screen, or the window made anew on it
    return QWidget::event(event);
}

void ControlPanel::showEvent(QShowEvent *event)
{
    fitScreen();
    QWidget::showEvent(event);
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
