#include "sim/view/viewfrontend.h"

#include "sim/view/placement.h"
#include "sim/view/robotview.h"
#include "language/language.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>

namespace kestrava::simview {

namespace {

const QCommandLineOption Beside(QStringLiteral("beside"),
                                QStringLiteral("With --view: leave the screen's left <pixels> to another window "
                                               "(kestrava --simulate passes its panel's width)."),
                                QStringLiteral("pixels"));
const QCommandLineOption LanguageChoice = language::languageOption();

} // namespace

const sim::SimulatorFrontEnd &robotViewFrontEnd()
{
    static const sim::SimulatorFrontEnd frontEnd{
        QCommandLineOption(QStringLiteral("view"),
                           QStringLiteral("Open the robot view: see the simulated robot and act on it.")),
        {Beside, LanguageChoice},
        [](int &argc, char **argv) -> std::unique_ptr<QCoreApplication> {
            return std::make_unique<QApplication>(argc, argv);
        },
        [](sim::SimulatorThread &simulator, const QCommandLineParser &parser) -> std::unique_ptr<QObject> {
            QString error;
            const std::optional<kestrava::language::Language> language = language::chosenLanguage(parser.value(LanguageChoice), error);
            if (!language) {
                qWarning("kestrava-sim: %s", qPrintable(error));
                // No window, and the program ends as soon as its loop runs.
                QTimer::singleShot(0, [] { QCoreApplication::exit(2); });
                return nullptr;
            }
            language::speak(QStringLiteral("view"), *language);
            auto view = std::make_unique<RobotView>(simulator);
            const QRect screen = view->screen()->availableGeometry();
            const int beside = parser.value(Beside).toInt(); // 0 when left out or not a number
            const QRect place = placement(screen, beside, view->minimumSize());
            view->show();
            view->resize(sizeInsideFrame(place.size(), view->frameGeometry().size() - view->size()));
            view->move(place.topLeft());
            return view;
        },
    };
    return frontEnd;
}

} // namespace kestrava::simview
