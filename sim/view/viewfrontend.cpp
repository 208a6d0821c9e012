#include "viewfrontend.h"

#include "robotview.h"

#include <QApplication>
#include <QScreen>

namespace kestrava::simview {

const sim::SimulatorFrontEnd &robotViewFrontEnd()
{
    static const sim::SimulatorFrontEnd frontEnd{
        QCommandLineOption(QStringLiteral("view"),
                           QStringLiteral("Open the robot view: see the simulated robot and act on it.")),
        [](int &argc, char **argv) -> std::unique_ptr<QCoreApplication> {
            return std::make_unique<QApplication>(argc, argv);
        },
        [](sim::SimulatorThread &simulator) -> std::unique_ptr<QObject> {
            auto view = std::make_unique<RobotView>(simulator);
            view->show();
            // At the right of the screen, so that a panel on the left stays in sight.
            const QRect screen = view->screen()->availableGeometry();
            view->move(screen.right() + 1 - view->frameGeometry().width(), screen.top());
            return view;
        },
    };
    return frontEnd;
}

} // namespace kestrava::simview
