#include "application.h"

#include "controlpanel.h"
#include "readinglog.h"
#include "signalwatcher.h"
#include "simulatedbus.h"
#include "trace.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QTimer>

namespace {

// --simulate: kestrava-sim runs beside the window and every COM port leads to it.
bool startSimulatedBus(kestrava::sim::SimulatedBus &bus)
{
    if (!bus.start(kestrava::sim::SimulatedBus::programBesideApplication())) {
        qWarning("kestrava: %s", qPrintable(bus.errorString()));
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kestrava"),
                        QStringLiteral("No se pudo iniciar el bus simulado: %1").arg(bus.errorString()));
        box.exec();
        return false;
    }
    bus.mapComPorts();
    qInfo("kestrava: simulated bus on %s (kestrava-sim process %lld)", qPrintable(bus.devicePath()),
          bus.processId());
    return true;
}

struct Options
{
    QCommandLineOption trace{QStringLiteral("trace"),
        QStringLiteral("Write every frame sent and reply taken to <file>."), QStringLiteral("file")};
    QCommandLineOption simulate{QStringLiteral("simulate"),
        QStringLiteral("Drive a simulated robot: starts kestrava-sim and points every COM port at it.")};
    QCommandLineOption log{QStringLiteral("log"),
        QStringLiteral("Append one row per reading shown (time, module, field, value) to <file.csv>."),
        QStringLiteral("file.csv")};
    QCommandLineOption quitAfter{QStringLiteral("quit-after"),
        QStringLiteral("Close the window <ms> milliseconds after it is first shown (scripted runs, measurements)."),
        QStringLiteral("ms")};
    QCommandLineParser parser;

    Options()
    {
        parser.setApplicationDescription(
            QStringLiteral("Drives and reads the I2C modules of a robot through a USB-to-I2C adapter."));
        parser.addHelpOption();
        parser.addOptions({trace, simulate, log, quitAfter});
    }
};

bool asksForHelp(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-h" || argument == "--help" || argument == "-?" || argument == "--help-all")
            return true;
    }
    return false;
}

} // namespace

int kestrava::runKestrava(int argc, char *argv[])
{
    // Help needs no window, and so no display: it is printed before one could be needed.
    if (asksForHelp(argc, argv)) {
        QCoreApplication helpOnly(argc, argv);
        Options().parser.process(helpOnly); // prints the help and ends the program
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrava"));
    QApplication::setOrganizationName(QStringLiteral("Kestrava"));

    // A request to end the program (SIGTERM, SIGINT, SIGHUP) closes the windows as the operator
    // would, including a message box shown during start-up; the window is then not shown at all.
    kestrava::sim::SignalWatcher terminationSignals;
    bool terminationRequested = false;
    QObject::connect(&terminationSignals, &kestrava::sim::SignalWatcher::terminationRequested, &app, [&] {
        terminationRequested = true;
        QApplication::closeAllWindows();
    });

    Options options;
    QCommandLineParser &parser = options.parser;
    parser.process(app);

    kestrava::Trace trace;
    QString tracePath = parser.value(options.trace);
    if (tracePath.isEmpty())
        tracePath = qEnvironmentVariable("KESTRAVA_TRACE");
    if (!tracePath.isEmpty() && !trace.open(tracePath))
        qWarning("kestrava: cannot write the trace file %s", qPrintable(tracePath));

    kestrava::ReadingLog readingLog;
    const QString logPath = parser.value(options.log);
    if (!logPath.isEmpty() && !readingLog.open(logPath))
        qWarning("kestrava: cannot write the reading log %s: %s", qPrintable(logPath),
                 qPrintable(readingLog.errorString()));

    int quitAfterMs = -1;
    if (parser.isSet(options.quitAfter)) {
        bool valid = false;
        quitAfterMs = parser.value(options.quitAfter).toInt(&valid);
        if (!valid || quitAfterMs < 0) {
            qWarning("kestrava: --quit-after takes a number of milliseconds");
            return 2;
        }
    }

    // Declared before the window, so it ends only after the window has closed the port.
    kestrava::sim::SimulatedBus simulatedBus;
    if (parser.isSet(options.simulate) && !startSimulatedBus(simulatedBus))
        return 1;

    kestrava::ControlPanel panel;
    panel.engine().setTrace(&trace);
    QObject::connect(&panel, &kestrava::ControlPanel::readingShown, &panel,
                     [&readingLog](const kestrava::Reading &reading) { readingLog.write(reading); });
    panel.setSimulatedBus(parser.isSet(options.simulate));
    if (terminationRequested)
        return 0;
    panel.show();
    if (quitAfterMs >= 0)
        QTimer::singleShot(quitAfterMs, &panel, &QWidget::close);
    return app.exec();
}
