#pragma once

#include "panel/panelcontrols.h"

#include <QRect>
#include <QString>

#include <vector>

class QWidget;

namespace kestrava {

// Geometry is designed in twips; the window works in device-independent pixels.
inline constexpr int TwipsPerPixel = 15;
inline constexpr int ClientWidthTwips = 14265;
inline constexpr int ClientHeightTwips = 11655;

enum class ControlKind {
    Frame, Button, Label, TextBox, ComboBox, VScrollBar, HScrollBar,
    CompassPicture, Banner, PadImage, Lamp, Circle, Oval, Line,
};

enum class FontRole { Default, FrameTitle, RelayNumber, CompassLetter };
enum class Fill { None, ValueBox, White };

// Scroll bar range and steps.
struct Range
{
    int minimum = 0;
    int maximum = 0;
    int value = 0;
    int singleStep = 1; // an arrow click or a key step
    int pageStep = 1;   // a click in the trough
};

// One row of the layout: a control, or a whole control array. Left, Top, Width
// and Height are twips from the client origin of its container. A line runs from
// (left, top) to (left + width, top + height).
//
// An array row makes the elements first..last, named "Name(i)", the element i at
// Left + stepLeft·(i − first), Top + stepTop·(i − first).
struct ControlDesign
{
    ControlKind kind;
    QString name;
    QString text;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int first = -1;
    int last = -1;
    int stepLeft = 0;
    int stepTop = 0;
    bool numbered = false; // the caption of element i is i + 1
    bool centred = false;
    FontRole font = FontRole::Default;
    Fill fill = Fill::None;
    Range range = {};

    bool isArray() const { return first >= 0; }
};

// A row of a control made as a `Widget`: the row's kind is one that makes it.
template <class Widget>
struct Row : ControlDesign
{
    Row array(int firstIndex, int lastIndex, int dLeft = 0, int dTop = 0) const
    {
        Row copy = *this;
        copy.first = firstIndex;
        copy.last = lastIndex;
        copy.stepLeft = dLeft;
        copy.stepTop = dTop;
        return copy;
    }
    Row element(int index) const { return array(index, index); }
    Row numberedCaptions() const { return with(&ControlDesign::numbered, true); }
    Row centredText() const { return with(&ControlDesign::centred, true); }
    Row withFont(FontRole role) const { return with(&ControlDesign::font, role); }
    Row withFill(Fill colour) const { return with(&ControlDesign::fill, colour); }
    Row withRange(Range r) const { return with(&ControlDesign::range, r); }

private:
    template <class T>
    Row with(T ControlDesign::*field, T value) const
    {
        Row copy = *this;
        copy.*field = value;
        return copy;
    }
};

// The element names ("Name(i)", or the plain name) and twip rectangles of one row.
struct PlacedControl
{
    QString objectName;
    int index; // -1 outside arrays
    QRect twips;
};
std::vector<PlacedControl> placeRow(const ControlDesign &design);

// Creates every control of the window inside `client`, and hands back those the
// code uses.
PanelControls buildControls(QWidget &client);

} // namespace kestrava
