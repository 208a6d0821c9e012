#include "panel/readingbinding.h"

#include "drive/md23.h"
#include "panel/captions.h"
#include "panel/compasspicture.h"
#include "panel/modulecontext.h"
#include "panel/panelcontrols.h"
#include "sensors/cmps03.h"
#include "sensors/srf02.h"
#include "sensors/tpa81.h"

#include <QLabel>

namespace kestrava {

namespace {

// The caption that shows the reading: a repeated field fills consecutive elements
// of a control array.
QLabel *captionFor(const PanelControls &shown, const Reading &reading)
{
    const int element = qMax(reading.index, 0);
    const std::pair<const Field *, QLabel *> captions[] = {
        {&md23::fields::Encoder1, &*shown.LblConta1},
        {&md23::fields::Encoder2, &*shown.LblConta2},
        {&md23::fields::Battery, &*shown.LblBateria},
        {&md23::fields::Version, &*shown.LblVersionMD23},
        {&md23::fields::Current1, &*shown.LblCon1},
        {&md23::fields::Current2, &*shown.LblCon2},
        {&cmps03::fields::Version, &*shown.LblVersionCMPS03},
        {&cmps03::fields::Bearing, &*shown.LblBrujula},
        {&tpa81::fields::Version, shown.LblPixel.at(0)},
        {&tpa81::fields::Ambient, shown.LblPixel.at(1)},
        {&tpa81::fields::Pixel, shown.LblPixel.at(2 + element)},
        {&srf02::fields::Range, shown.LblDistancia.at(element)},
    };
    for (const auto &[field, caption] : captions)
        if (field == reading.key)
            return caption;
    return nullptr;
}

// The needle follows the bearing, whatever became of its reads, as the caption does.
void drawNeedle(CompassPicture &picture, const Reading &bearing)
{
    picture.clearDrawing();
    picture.drawNeedle(needleAngle(captionBearing(bearing.value)));
}

// Shows the reading in its caption; the reading as shown, its caption set.
Reading show(const PanelControls &controls, const Reading &reading)
{
    Reading shown = reading;
    QLabel *caption = captionFor(controls, reading);
    if (!caption) {
        qWarning("kestrava: no caption shows %s %s", qPrintable(reading.module), qPrintable(reading.field));
        return shown;
    }
    shown.shown = captionOf(reading);
    caption->setText(shown.shown);
    if (reading.key == &cmps03::fields::Bearing)
        drawNeedle(*controls.Picture1, reading);
    return shown;
}

} // namespace

ReadingSink showReadings(const ModuleContext &context, const PanelControls &controls)
{
    return [context, &controls](const Reading &reading) {
        const Reading shown = show(controls, reading);
        if (context.onShown)
            context.onShown(shown);
    };
}

} // namespace kestrava
