#include "viewfrontend.h"

#include "robotview.h"

#include <QApplication>

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
            return view;
        },
    };
    return frontEnd;
}

} // namespace kestrava::simview
