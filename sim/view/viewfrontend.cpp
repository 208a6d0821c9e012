#include "sim/view/viewfrontend.h"

#include "sim/view/robotview.h"
#include "process/language.h"

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
const QCommandLineOption LanguageChoice = process::languageOption();
constexpr int WidestView = 1280;

// Right of the window beside it, or on the right half of the screen: the whole
// height, and never narrower than the view can be.
QRect placement(const QRect &screen, int besideWidth, QSize least)
{
    const int left = besideWidth > 0 ? std::min(besideWidth, screen.width() - least.width()) : screen.width() / 2;
    const int width = std::min(screen.width() - std::max(left, 0), WidestView);
    return {screen.right() + 1 - width, screen.top(), width, screen.height()};
}

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
            const std::optional<kestrava::process::Language> language = process::chosenLanguage(parser.value(LanguageChoice), error);
            if (!language) {
                qWarning("kestrava-sim: %s", qPrintable(error));
                // No window, and the program ends as soon as its loop runs.
                QTimer::singleShot(0, [] { QCoreApplication::exit(2); });
                return nullptr;
            }
            process::speak(QStringLiteral("view"), *language);
            auto view = std::make_unique<RobotView>(simulator);
            const QRect screen = view->screen()->availableGeometry();
            const int beside = parser.value(Beside).toInt(); // 0 when left out or not a number
            const QRect place = placement(screen, beside, view->minimumSize());
            view->show();
            // The frame's own size counts: the window and its title bar stay on the screen. A window
            // manager may not have framed the window yet; a title bar's worth is kept then.
            const QSize frame = (view->frameGeometry().size() - view->size()).expandedTo({8, 32});
            view->resize(place.size() - frame);
            view->move(place.topLeft());
            return view;
        },
    };
    return frontEnd;
}

} // namespace kestrava::simview
