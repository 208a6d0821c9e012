#include "controlpanel.h"
#include "trace.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrava"));
    QApplication::setOrganizationName(QStringLiteral("Kestrava"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Drives and reads the I2C modules of a robot through a USB-to-I2C adapter."));
    parser.addHelpOption();
    const QCommandLineOption traceOption(QStringLiteral("trace"),
        QStringLiteral("Write every frame sent and reply taken to <file>."), QStringLiteral("file"));
    parser.addOption(traceOption);
    parser.process(app);

    kestrava::Trace trace;
    QString tracePath = parser.value(traceOption);
    if (tracePath.isEmpty())
        tracePath = qEnvironmentVariable("KESTRAVA_TRACE");
    if (!tracePath.isEmpty() && !trace.open(tracePath))
        qWarning("kestrava: cannot write the trace file %s", qPrintable(tracePath));

    kestrava::ControlPanel panel;
    panel.engine().setTrace(&trace);
    panel.show();
    return app.exec();
}
