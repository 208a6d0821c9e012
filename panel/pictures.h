#pragma once

#include <QPixmap>

namespace kestrava {

// The pictures of the window, drawn in code.
QPixmap drivePadPicture();  // 256 × 256 white, black cross on columns and rows 127 and 128
QPixmap lampPicture();      // 11 × 20 glowing orange-red lamp
QPixmap bannerPicture(bool simulatedBus); // 431 × 62

} // namespace kestrava
