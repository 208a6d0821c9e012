#pragma once

#include "panellayout.h"

#include <QFont>

class QWidget;

namespace kestrava {

// The fonts of the window, sized in device-independent pixels (point size × 96 / 72)
// so that captions keep their proportions to the twip geometry on any screen.
QFont panelFont(FontRole role);

// Creates one control (or one element of an array) of `design` inside its container,
// which must already exist in `window`.
QWidget *createControl(QWidget &window, const ControlDesign &design, const PlacedControl &placed);

// Twips to device-independent pixels.
QRect pixelsFromTwips(const QRect &twips);

} // namespace kestrava
