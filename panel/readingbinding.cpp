#include "panel/readingbinding.h"

#include "panel/compasspicture.h"
#include "panel/modulecontext.h"

#include <QLabel>

#include <array>

namespace kestrava {

namespace {

// Which caption shows which reading; a repeated field fills consecutive
// elements of a control array from `firstElement` on.
struct Caption
{
    const char *module;
    const char *field;
    const char *control;
    int firstElement; // -1: not an array
};

constexpr std::array<Caption, 13> Captions{{
    {"md23", "encoder1", "LblConta1", -1},
    {"md23", "encoder2", "LblConta2", -1},
    {"md23", "battery", "LblBateria", -1},
    {"md23", "version", "LblVersionMD23", -1},
    {"md23", "current1", "LblCon1", -1},
    {"md23", "current2", "LblCon2", -1},
    {"cmps03", "version", "LblVersionCMPS03", -1},
    {"cmps03", "bearing", "LblBrujula", -1},
    {"tpa81", "version", "LblPixel", 0},
    {"tpa81", "ambient", "LblPixel", 1},
    {"tpa81", "pixel", "LblPixel", 2},
    {"srf02", "range", "LblDistancia", 0},
    {"cmps03", "needle", "Picture1", -1},
}};

const Caption &captionFor(const Reading &reading)
{
    for (const Caption &caption : Captions) {
        if (reading.module == QLatin1String(caption.module) && reading.field == QLatin1String(caption.field))
            return caption;
    }
    qFatal("no caption shows %s %s", qPrintable(reading.module), qPrintable(reading.field));
}

void show(const ModuleContext &context, const Reading &reading)
{
    const Caption &caption = captionFor(reading);
    const QString control = QString::fromLatin1(caption.control);
    if (reading.field == QLatin1String("needle")) {
        auto &picture = context.control<CompassPicture>(control);
        picture.clearDrawing();
        picture.drawNeedle(float(reading.value));
        return;
    }
    QLabel &label = caption.firstElement < 0
        ? context.control<QLabel>(control)
        : context.control<QLabel>(control, caption.firstElement + qMax(reading.index, 0));
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
