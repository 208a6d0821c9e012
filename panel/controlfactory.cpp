#include "panel/controlfactory.h"

#include "panel/compasspicture.h"
#include "panel/padimage.h"
#include "panel/figures.h"
#include "panel/pictures.h"
#include "panel/portcombo.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionButton>

#include <cmath>

namespace kestrava {
namespace {

struct FontDesign
{
    double points;
    bool bold;
};

FontDesign designOf(FontRole role)
{
    switch (role) {
    case FontRole::FrameTitle: return {13.5, true};
    case FontRole::RelayNumber: return {9.75, true};
    case FontRole::CompassLetter: return {8.25, true};
    case FontRole::Default: break;
    }
    return {8.25, false};
}

bool designFaceInstalled()
{
    static const bool installed = QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))
        || QFontDatabase::hasFamily(QStringLiteral("Microsoft Sans Serif"));
    return installed;
}

} // namespace

QFont panelFont(FontRole role)
{
    const FontDesign design = designOf(role);
    int pixels = int(std::lround(design.points * 96.0 / 72.0));
    QFont font;
    font.setBold(design.bold);
    if (designFaceInstalled()) {
        font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif")});
    } else if (role == FontRole::Default) {
        // The common sans faces are wider than the design face: at its size they
        // push "Contador M1:" past its 65-pixel label. A narrow face one pixel
        // smaller keeps every caption inside its control.
        font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans Narrow"),
                          QStringLiteral("Arial Narrow"), QStringLiteral("Helvetica Neue"),
                          QStringLiteral("Arial")});
        pixels -= 1;
    } else {
        font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                          QStringLiteral("Helvetica Neue"), QStringLiteral("Arial")});
    }
    font.setPixelSize(pixels);
    return font;
}

void shrinkFontToFit(QWidget &widget, const QString &caption, int room)
{
    constexpr int SmallestLegiblePixels = 7;
    QFont font = widget.font();
    while (font.pixelSize() > SmallestLegiblePixels && QFontMetrics(font).horizontalAdvance(caption) > room)
        font.setPixelSize(font.pixelSize() - 1);
    widget.setFont(font);
}

int captionRoom(const QWidget &widget)
{
    if (auto *button = qobject_cast<const QPushButton *>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    }
    return widget.width();
}

QRect pixelsFromTwips(const QRect &twips)
{
    return {twips.x() / TwipsPerPixel, twips.y() / TwipsPerPixel, twips.width() / TwipsPerPixel,
            twips.height() / TwipsPerPixel};
}

namespace {

// The rows' captions are the window's Spanish texts; another language's come from
// its translation, made in the window's context.
QString captionOf(const ControlDesign &design, const PlacedControl &placed)
{
    if (design.numbered)
        return QString::number(placed.index + 1);
    return QCoreApplication::translate("kestrava::ControlPanel", design.text.toUtf8().constData());
}

QWidget *makeLabel(const ControlDesign &design, const QString &caption)
{
    auto *label = new QLabel(caption);
    if (design.centred)
        label->setAlignment(Qt::AlignCenter);
    if (design.fill != Fill::None) {
        QPalette palette = label->palette();
        const QColor background = design.fill == Fill::White ? QColor(Qt::white)
                                                           : palette.color(QPalette::Base);
        palette.setColor(QPalette::Window, background);
        label->setPalette(palette);
        label->setAutoFillBackground(true);
    }
    return label;
}

QWidget *makeScrollBar(const ControlDesign &design)
{
    auto *bar = new QScrollBar(design.kind == ControlKind::VScrollBar ? Qt::Vertical : Qt::Horizontal);
    bar->setRange(design.range.minimum, design.range.maximum);
    bar->setSingleStep(design.range.singleStep);
    bar->setPageStep(design.range.pageStep);
    bar->setValue(design.range.value);
    // A scroll bar inverts its keys by default, which makes the Right key lower a
    // horizontal bar; the speed bar must grow towards the right, as drawn.
    if (bar->orientation() == Qt::Horizontal)
        bar->setInvertedControls(false);
    // Change fires after a step or the release of a dragged thumb, never during the drag.
    bar->setTracking(false);
    return bar;
}

QWidget *makeLamp()
{
    auto *lamp = new QLabel;
    lamp->setPixmap(lampPicture());
    lamp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return lamp;
}

QWidget *makeBanner()
{
    auto *banner = new QLabel;
    banner->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    banner->setAlignment(Qt::AlignCenter); // the window draws it once it knows the port's state
    return banner;
}

QWidget *makeWidget(const ControlDesign &design, const QString &caption)
{
    switch (design.kind) {
    case ControlKind::Frame: return new QGroupBox(caption);
    case ControlKind::Button: return new QPushButton(caption);
    case ControlKind::Label: return makeLabel(design, caption);
    case ControlKind::TextBox: return new QLineEdit(caption);
    case ControlKind::ComboBox: return new PortCombo;
    case ControlKind::VScrollBar:
    case ControlKind::HScrollBar: return makeScrollBar(design);
    case ControlKind::CompassPicture: return new CompassPicture;
    case ControlKind::Banner: return makeBanner();
    case ControlKind::PadImage: return new PadImage;
    case ControlKind::Lamp: return makeLamp();
    case ControlKind::Circle:
    case ControlKind::Oval: return new OutlineFigure;
    case ControlKind::Line: return new LineFigure;
    }
    return new QWidget;
}

// Neither a wider fallback face, where the window's own faces are missing, nor a
// translation longer than the design's caption may clip the fixed captions of
// labels and buttons.
void fitFixedCaption(QWidget &widget, const QString &caption)
{
    if (!caption.isEmpty() && (qobject_cast<QLabel *>(&widget) || qobject_cast<QPushButton *>(&widget)))
        shrinkFontToFit(widget, caption, captionRoom(widget));
}

// Controls the operator can act on take the focus on a click on every platform,
// so that leaving ComboCom by clicking one of them always counts as moving on.
bool takesFocusOnClick(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Button:
    case ControlKind::TextBox:
    case ControlKind::ComboBox:
    case ControlKind::VScrollBar:
    case ControlKind::HScrollBar:
    case ControlKind::PadImage: return true;
    default: return false;
    }
}

} // namespace

QWidget *createControl(QWidget &container, const ControlDesign &design, const PlacedControl &placed)
{
    const QString caption = captionOf(design, placed);
    QWidget *widget = makeWidget(design, caption);
    widget->setParent(&container);
    widget->setObjectName(placed.objectName);
    widget->setFont(panelFont(design.font));
    const QRect pixels = pixelsFromTwips(placed.twips);
    if (design.kind == ControlKind::Line)
        static_cast<LineFigure *>(widget)->setSegment(
            QLine(pixels.topLeft(), pixels.topLeft() + QPoint(pixels.width(), pixels.height())));
    else
        widget->setGeometry(pixels);
    fitFixedCaption(*widget, caption);
    if (design.kind == ControlKind::Lamp)
        widget->hide(); // the relay code shows the lamps of the relays it finds on
    if (takesFocusOnClick(design.kind))
        widget->setFocusPolicy(Qt::StrongFocus);
    return widget;
}

} // namespace kestrava
