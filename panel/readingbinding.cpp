#include "panel/readingbinding.h"

#include "drive/md23.h"
#include "panel/captions.h"
#include "panel/compasspicture.h"
#include "panel/modulecontext.h"
#include "sensors/cmps03.h"
#include "sensors/srf02.h"
#include "sensors/tpa81.h"

#include <QHash>
#include <QLabel>

namespace kestrava {

namespace {

// Which caption shows which reading; a repeated field fills consecutive
// elements of a control array from `firstElement` on.
struct Caption
{
    const char *control;
    int firstElement; // -1: not an array
};

const Caption *captionFor(const Reading &reading)
{
    static const QHash<const Field *, Caption> captions{
        {&md23::fields::Encoder1, {"LblConta1", -1}},
        {&md23::fields::Encoder2, {"LblConta2", -1}},
        {&md23::fields::Battery, {"LblBateria", -1}},
        {&md23::fields::Version, {"LblVersionMD23", -1}},
        {&md23::fields::Current1, {"LblCon1", -1}},
        {&md23::fields::Current2, {"LblCon2", -1}},
        {&cmps03::fields::Version, {"LblVersionCMPS03", -1}},
        {&cmps03::fields::Bearing, {"LblBrujula", -1}},
        {&tpa81::fields::Version, {"LblPixel", 0}},
        {&tpa81::fields::Ambient, {"LblPixel", 1}},
        {&tpa81::fields::Pixel, {"LblPixel", 2}},
        {&srf02::fields::Range, {"LblDistancia", 0}},
    };
    const auto found = captions.constFind(reading.key);
    return found == captions.constEnd() ? nullptr : &found.value();
}

// The needle follows the bearing, whatever became of its reads, as the caption does.
void drawNeedle(const ModuleContext &context, const Reading &bearing)
{
    auto &picture = context.control<CompassPicture>(QStringLiteral("Picture1"));
    picture.clearDrawing();
    picture.drawNeedle(needleAngle(captionBearing(bearing.value)));
}

// Shows the reading in its caption; the reading as shown, its caption set.
Reading show(const ModuleContext &context, const Reading &reading)
{
    Reading shown = reading;
    const Caption *caption = captionFor(reading);
    if (!caption) {
        qWarning("kestrava: no caption shows %s %s", qPrintable(reading.module), qPrintable(reading.field));
        return shown;
    }
    const QString control = QString::fromLatin1(caption->control);
    QLabel &label = caption->firstElement < 0
        ? context.control<QLabel>(control)
        : context.control<QLabel>(control, caption->firstElement + qMax(reading.index, 0));
    shown.shown = captionOf(reading);
    label.setText(shown.shown);
    if (reading.key == &cmps03::fields::Bearing)
        drawNeedle(context, reading);
    return shown;
}

} // namespace

ReadingSink showReadings(const ModuleContext &context)
{
    return [context](const Reading &reading) {
        const Reading shown = show(context, reading);
        if (context.onShown)
            context.onShown(shown);
    };
}

} // namespace kestrava
