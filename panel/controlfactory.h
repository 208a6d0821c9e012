#pragma once

#include "panel/panellayout.h"

#include <QFont>

class QWidget;

namespace kestrava {

// The fonts of the window, sized in device-independent pixels (point size × 96 / 72)
// so that captions keep their proportions to the twip geometry on any screen.
QFont panelFont(FontRole role);

// Steps the widget's font down a pixel at a time until `caption` is at most `room`
// pixels wide (or the font reaches a smallest legible size).
void shrinkFontToFit(QWidget &widget, const QString &caption, int room);

// The room a fixed caption has: a label's whole width, a button's contents.
int captionRoom(const QWidget &widget);

// Creates one control (or one element of an array) of `design` inside `container`.
QWidget *createControl(QWidget &container, const ControlDesign &design, const PlacedControl &placed);

// Twips to device-independent pixels.
QRect pixelsFromTwips(const QRect &twips);

} // namespace kestrava
