#pragma once

// STAND-IN, TO BE REPLACED: the shared single-precision caption format lives in
// link/numberformat.h (formatSingle). Until it reaches this branch, the compass
// uses this minimal version; switch the include and drop `standin::` then delete
// this file.

#include <QLocale>
#include <QString>

namespace kestrava::standin {

// General format: at most 7 significant digits, no trailing zeros, exponent form
// from 10000000 up, the locale's decimal separator and no digit grouping.
inline QString formatSingle(float value, QLocale locale = QLocale())
{
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(double(value), 'g', 7);
}

} // namespace kestrava::standin
