#pragma once

namespace kestrava {

// How a field's whole number is meant: in its unit, or in tenths of it (the
// battery's volts, the compass's degrees), as the module's registers hold it.
enum class Scale { Units, Tenths };

// A field of a module, declared once beside the module's registers. Readings point
// at it, so that whoever shows them in fixed places (the window's captions) tells
// them apart by identity, which the compiler checks, instead of by their text.
struct Field
{
    const char *module; // "md23", "cmps03", "tpa81", "srf02"
    const char *name;   // "encoder1", "battery", "version", "bearing", "pixel", "range", ...
    Scale scale = Scale::Units;
};

} // namespace kestrava
