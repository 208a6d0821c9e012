#pragma once

#include <QString>

namespace kestrava {
class SerialLine;
}

namespace kestrava::cli {

// Why the port did not open, in one line that names the device as the user gave it
// (the COM port when none was given), what is wrong with it and the ways forward.
QString cannotOpen(const SerialLine &line, bool simulated, const QString &device);

} // namespace kestrava::cli
