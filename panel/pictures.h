#pragma once

#include <QPixmap>

namespace kestrava {

// The pictures of the window, drawn in code.
QPixmap drivePadPicture();  // 256 × 256 white, black cross on columns and rows 127 and 128
QPixmap lampPicture();      // 11 × 20 glowing orange-red lamp
// The banner's colours: the adapter's blue, the simulator's amber, a warning's red.
enum class BannerTone { Hardware, Simulated, Warning };
QPixmap bannerPicture(const QString &line, BannerTone tone); // 431 × 62, `line` under the name

} // namespace kestrava
