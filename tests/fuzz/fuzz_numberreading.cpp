// Any text, as typed in a box or found in the settings file, reads without a crash,
// and a successful 16-bit conversion agrees with the value read.
#include "numbers/numberreading.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const double value = kestrava::readNumber(text);
    const std::optional<qint16> rounded = kestrava::roundToInt16(value);
    if (rounded && std::fabs(double(*rounded) - value) > 0.5)
        std::abort();
    return 0;
}
