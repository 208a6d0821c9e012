#include "process/sizehintwarnings.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace kestrava::process {

namespace {

QtMessageHandler passedOnTo = nullptr;

void filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message == QLatin1String("This plugin does not support propagateSizeHints()"))
        return;
    if (passedOnTo) {
        passedOnTo(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

void dropSizeHintWarnings()
{
    static const bool installed = [] {
        passedOnTo = qInstallMessageHandler(filter);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace kestrava::process
