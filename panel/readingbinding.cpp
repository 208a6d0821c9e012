#include "panel/readingbinding.h"

#include "drive/md23.h"
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
        {&cmps03::fields::Needle, {"Picture1", -1}},
        {&tpa81::fields::Version, {"LblPixel", 0}},
        {&tpa81::fields::Ambient, {"LblPixel", 1}},
        {&tpa81::fields::Pixel, {"LblPixel", 2}},
        {&srf02::fields::Range, {"LblDistancia", 0}},
    };
    const auto found = captions.constFind(reading.key);
    return found == captions.constEnd() ? nullptr : &found.value();
}

void show(const ModuleContext &context, const Reading &reading)
{
    const Caption *caption = captionFor(reading);
    if (!caption) {
        qWarning("kestrava: no caption shows %s %s", qPrintable(reading.module), qPrintable(reading.field));
        return;
    }
    const QString control = QString::fromLatin1(caption->control);
    if (reading.key == &cmps03::fields::Needle) {
        auto &picture = context.control<CompassPicture>(control);
        picture.clearDrawing();
        picture.drawNeedle(float(reading.value));
        return;
    }
    QLabel &label = caption->firstElement < 0
        ? context.control<QLabel>(control)
        : context.control<QLabel>(control, caption->firstElement + qMax(reading.index, 0));
    label.setText(reading.shown);
}

} // namespace

ReadingSink showReadings(const ModuleContext &context)
{
    return [context](const Reading &reading) {
        show(context, reading);
        if (context.onShown)
            context.onShown(reading);
    };
}

} // namespace kestrava
