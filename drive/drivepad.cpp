#include "drivepad.h"

#include "md23.h"
#include "modulecontext.h"

#include <QLabel>

#include <cmath>

namespace kestrava {

namespace {

constexpr qint16 LeftButtonAlone = 1;
constexpr int TwipsPerPixel = 15;
constexpr float ReferenceLineY = 3825.0f; // 255 pixels: vertical pixels count up from here
constexpr int Centre = 128;
constexpr int ScaleDivisor = 3;
constexpr int DeadBandLow = 121;
constexpr int DeadBandHigh = 135;
constexpr int UpperLimit = 255;
// Far beyond any screen; keeps the conversion to a whole number defined.
constexpr double FarthestTwips = 1.0e9;

// Image1_MouseDown and Image1_MouseMove.
void padUpdate(const ModuleContext &context, const MouseArgs &mouse)
{
    if (mouse.button != LeftButtonAlone)
        return;
    const PadSpeeds speeds = padSpeeds(mouse.x, mouse.y);
    context.control<QLabel>(QStringLiteral("Label10")).setText(QString::number(speeds.turn));
    context.control<QLabel>(QStringLiteral("Label9")).setText(QString::number(speeds.speed));
    if (context.engine.writeRegister(md23::Address, md23::Speed1, speeds.speed) != Outcome::NotSent)
        context.engine.writeRegister(md23::Address, md23::Speed2Turn, speeds.turn);
}

void Image1_MouseUp(const ModuleContext &context)
{
    if (context.engine.writeRegister(md23::Address, md23::Speed1, md23::Stop) != Outcome::NotSent)
        context.engine.writeRegister(md23::Address, md23::Speed2Turn, md23::Stop);
}

} // namespace

void installDrivePad(const ModuleContext &context)
{
    const auto update = [context](const MouseArgs &mouse) { padUpdate(context, mouse); };
    context.handlers.add(QStringLiteral("Image1_MouseDown"), EventHandlers::Mouse(update));
    // Moves that arrive while an update waits merge into the latest one; the
    // release is of another kind, so it keeps its place behind them.
    context.handlers.add(QStringLiteral("Image1_MouseMove"), EventHandlers::Mouse(update),
                         Deferral::MergeWithLatest);
    context.handlers.add(QStringLiteral("Image1_MouseUp"),
                         EventHandlers::Mouse([context](const MouseArgs &) { Image1_MouseUp(context); }));
}

PadSpeeds padSpeeds(float xTwips, float yTwips)
{
    return {padValue(padPixel(yTwips - ReferenceLineY)), padValue(padPixel(xTwips))};
}

int padPixel(float distanceTwips)
{
    const double distance = std::fabs(double(distanceTwips));
    // Not-a-number counts as far outside, like an infinite distance.
    const double bounded = distance < FarthestTwips ? distance : FarthestTwips;
    return int(std::nearbyint(bounded)) / TwipsPerPixel; // nearest, ties to even
}

quint8 padValue(int pixel)
{
    const int value = (pixel - Centre) / ScaleDivisor + Centre; // truncates toward zero
    if (value >= DeadBandLow && value <= DeadBandHigh)
        return Centre;
    return quint8(qMin(value, UpperLimit));
}

} // namespace kestrava
