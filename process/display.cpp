#include "process/display.h"

#include <QtGlobal>

namespace kestrava::process {

bool displayAvailable()
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    // xcb and wayland need the display named below; every other platform (offscreen, vnc,
    // eglfs, linuxfb) draws without one.
    if (!platform.isEmpty() && !platform.startsWith(u"xcb") && !platform.startsWith(u"wayland"))
        return true;
    return !qEnvironmentVariable("DISPLAY").isEmpty() || !qEnvironmentVariable("WAYLAND_DISPLAY").isEmpty();
}

QString noDisplayMessage()
{
    return QStringLiteral("no display to open a window on: run it in a desktop session, or under xvfb-run "
                          "(xvfb-run -a COMMAND) for a test");
}

} // namespace kestrava::process
