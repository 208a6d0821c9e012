// The one line that says why a port did not open, and the ways forward.
#include "cli/openfailure.h"

#include "link/serialline.h"

#include <QFileInfo>
#include <QStringList>

namespace kestrava::cli {

namespace {

// A --device that is a link whose target is gone: what the simulator's --link leaves
// behind when the simulator was killed.
bool isLinkWithoutTarget(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() && !info.exists();
}

// A --device outside /dev that is not there at all is no adapter left unplugged: most
// often it is a simulator's --link, asked for before that simulator made it.
bool isSimulatorLinkNotYetMade(const QString &device, OpenFailure failure)
{
    return !device.isEmpty() && failure == OpenFailure::NoDevice && !QFileInfo(device).absoluteFilePath().startsWith(u"/dev/")
        && !QFileInfo::exists(device);
}

} // namespace

QString cannotOpen(const SerialLine &line, bool simulated, const QString &device)
{
    const QString elsewhere = QStringLiteral("name the adapter's device with --device PATH or %1=PATH")
                                  .arg(QLatin1String(comPortVariable(line.commPort())));
    QStringList ways;
    QString reason = line.lastReason();
    if (!device.isEmpty() && isLinkWithoutTarget(device)) {
        reason = QStringLiteral("a link to %1, which is gone: the simulator behind it has ended")
                     .arg(QFileInfo(device).symLinkTarget());
        ways << QStringLiteral("start it again with kestrava-sim --link %1").arg(device) << elsewhere;
    } else if (isSimulatorLinkNotYetMade(device, line.lastOpenFailure())) {
        reason = QStringLiteral("no such file");
        ways << QStringLiteral("if it is a simulator's link, start the simulator first and let it get ready "
                               "(kestrava-sim --link %1 --background returns then)").arg(device)
             << elsewhere;
    } else {
        switch (line.lastOpenFailure()) {
        case OpenFailure::NoDevice: ways << QStringLiteral("plug the adapter in") << elsewhere; break;
        case OpenFailure::NoPermission: ways << QLatin1String(DialoutHint); break;
        case OpenFailure::InUse: ways << QStringLiteral("close the program that holds it") << elsewhere; break;
        case OpenFailure::None:
        case OpenFailure::NoPortNumber:
        case OpenFailure::NotSerial:
        case OpenFailure::Other: ways << elsewhere; break;
        }
    }
    if (!simulated)
        ways << QStringLiteral("try the simulated robot with --simulate");
    const QString last = ways.takeLast();
    const QString advice = ways.isEmpty() ? last : ways.join(QStringLiteral(", ")) + QStringLiteral(", or ") + last;
    const QString what = device.isEmpty() ? line.lastError() : device + QStringLiteral(": ") + reason;
    return QStringLiteral("cannot open %1; %2").arg(what, advice);
}

} // namespace kestrava::cli
