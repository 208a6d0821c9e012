#include "panel/application.h"

#include "panel/controlpanel.h"
#include "panel/panellayout.h"
#include "panel/readinglog.h"
#include "language/language.h"
#include "process/display.h"
#include "process/signalwatcher.h"
#include "launcher/simulatedbus.h"
#include "process/sizehintwarnings.h"
#include "link/trace.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// The window's width with its frame, as the robot view leaves it room.
constexpr int PanelWidthOnScreen = kestrava::ClientWidthTwips / kestrava::TwipsPerPixel + 16;

// --simulate: kestrava-sim runs beside the window, with its robot view unless headless,
// and every COM port leads to it through a link that follows the view's "plug in".
bool startSimulatedBus(kestrava::launcher::SimulatedBus &bus, const QTemporaryDir &folder, bool headless,
                       const QString &arena, kestrava::language::Language language)
{
    const QString link = folder.filePath(QStringLiteral("adapter"));
    QStringList arguments{QStringLiteral("--link"), link};
    if (!headless) // the view takes the screen right of the window, which goes to the left; it speaks its language
        arguments << QStringLiteral("--view") << QStringLiteral("--beside") << QString::number(PanelWidthOnScreen)
                  << QStringLiteral("--lang") << kestrava::language::languageCode(language);
    if (!arena.isEmpty())
        arguments << QStringLiteral("--arena") << arena;
    if (!folder.isValid() || !bus.start(kestrava::launcher::SimulatedBus::programBesideApplication(), arguments)) {
        qWarning("kestrava: %s", qPrintable(bus.errorString()));
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kestrava"),
                        QCoreApplication::translate("kestrava::ControlPanel", "No se pudo iniciar el bus simulado: %1")
                            .arg(bus.errorString()));
        box.exec();
        return false;
    }
    bus.mapComPorts(1, 16, link);
    qInfo("kestrava: simulated bus on %s (kestrava-sim process %lld)", qPrintable(bus.devicePath()),
          bus.processId());
    return true;
}

struct Options
{
    QCommandLineOption trace{QStringLiteral("trace"),
        QStringLiteral("Write every frame sent and reply taken to <file>."), QStringLiteral("file")};
    QCommandLineOption simulate{QStringLiteral("simulate"),
        QStringLiteral("Drive a simulated robot: starts kestrava-sim with its robot view and points every COM "
                       "port at it. --simulate=headless starts it without the view.")};
    QCommandLineOption arena{QStringLiteral("arena"),
        QStringLiteral("With --simulate: the simulated robot's arena, a bundled one (open, house, corridor) or a file."),
        QStringLiteral("name|file")};
    QCommandLineOption log{QStringLiteral("log"),
        QStringLiteral("Append one row per reading shown (time, module, field, value) to <file.csv>."),
        QStringLiteral("file.csv")};
    QCommandLineOption quitAfter{QStringLiteral("quit-after"),
        QStringLiteral("Close the window <ms> milliseconds after it is first shown (scripted runs, measurements)."),
        QStringLiteral("ms")};
    QCommandLineOption language = kestrava::language::languageOption();
    QCommandLineParser parser;

    Options()
    {
        parser.setApplicationDescription(
            QStringLiteral("Drives and reads the I2C modules of a robot through a USB-to-I2C adapter."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({trace, simulate, arena, log, quitAfter, language});
    }
};

// The parser takes an option with a value or without one, not both: the one spelling
// with a value is taken out before it parses.
bool takeHeadless(QStringList &arguments)
{
    const qsizetype index = arguments.indexOf(QStringLiteral("--simulate=headless"));
    if (index < 0)
        return false;
    arguments[index] = QStringLiteral("--simulate");
    return true;
}

bool asksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-h" || argument == "--help" || argument == "-?" || argument == "--help-all"
            || argument == "-v" || argument == "--version")
            return true;
    }
    return false;
}

} // namespace

int kestrava::runKestrava(int argc, char *argv[])
{
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRAVA_VERSION));
    // Help and version need no window, and so no display: printed before one could be needed.
    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication helpOnly(argc, argv);
        Options().parser.process(helpOnly); // prints the help and ends the program
    }
    if (!kestrava::process::displayAvailable()) {
        std::fprintf(stderr, "kestrava: %s\n", qPrintable(kestrava::process::noDisplayMessage()));
        return kestrava::process::NoDisplayStatus;
    }
    kestrava::process::dropSizeHintWarnings();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrava"));
    QApplication::setOrganizationName(QStringLiteral("Kestrava"));

    // A request to end the program (SIGTERM, SIGINT, SIGHUP) closes the windows as the operator
    // would, including a message box shown during start-up; the window is then not shown at all.
    kestrava::process::SignalWatcher terminationSignals;
    bool terminationRequested = false;
    QObject::connect(&terminationSignals, &kestrava::process::SignalWatcher::terminationRequested, &app, [&] {
        terminationRequested = true;
        QApplication::closeAllWindows();
    });

    Options options;
    QCommandLineParser &parser = options.parser;
    QStringList arguments = QApplication::arguments();
    const bool headless = takeHeadless(arguments);
    parser.process(arguments);

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

    QString languageError;
    const std::optional<kestrava::language::Language> language = kestrava::language::chosenLanguage(parser.value(options.language),
                                                                                languageError);
    if (!language) {
        qWarning("kestrava: %s", qPrintable(languageError));
        return 2;
    }
    kestrava::language::speak(QStringLiteral("panel"), *language);

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
    const QTemporaryDir simulatorFolder;
    kestrava::launcher::SimulatedBus simulatedBus;
    if (parser.isSet(options.simulate)
        && !startSimulatedBus(simulatedBus, simulatorFolder, headless, parser.value(options.arena), *language))
        return 1;

    kestrava::ControlPanel panel;
    panel.engine().setTrace(&trace);
    QObject::connect(&panel, &kestrava::ControlPanel::readingShown, &panel,
                     [&readingLog](const kestrava::Reading &reading) { readingLog.write(reading); });
    panel.setSimulatedBus(parser.isSet(options.simulate));
    if (terminationRequested)
        return 0;
    if (parser.isSet(options.simulate) && !headless)
        panel.move(panel.screen()->availableGeometry().topLeft()); // the robot view is on its right
    panel.show();
    if (quitAfterMs >= 0)
        QTimer::singleShot(quitAfterMs, &panel, &QWidget::close);
    return app.exec();
}
