#include "actuators.h"

#include "displaypanel.h"
#include "modulecontext.h"
#include "relaypanel.h"
#include "servopanel.h"

namespace kestrava {

namespace {

void installServos(const ModuleContext &context)
{
    auto *servos = new ServoPanel(context, &context.panel);
    context.handlers.add(QStringLiteral("ServoScroll_Change"),
                         EventHandlers::Indexed([servos](qint16 index) { servos->ServoScroll_Change(index); }));
    context.handlers.add(QStringLiteral("VeloScroll_Change"),
                         EventHandlers::Plain([servos] { servos->VeloScroll_Change(); }));
}

void installRelays(const ModuleContext &context)
{
    auto *relays = new RelayPanel(context, &context.panel);
    context.handlers.add(QStringLiteral("ReleOn_Click"),
                         EventHandlers::Indexed([relays](qint16 index) { relays->ReleOn_Click(index); }));
    context.handlers.add(QStringLiteral("ReleOff_Click"),
                         EventHandlers::Indexed([relays](qint16 index) { relays->ReleOff_Click(index); }));
    context.handlers.add(QStringLiteral("CmdTodoOn_Click"),
                         EventHandlers::Plain([relays] { relays->CmdTodoOn_Click(); }));
    context.handlers.add(QStringLiteral("CmdTodoOff_Click"),
                         EventHandlers::Plain([relays] { relays->CmdTodoOff_Click(); }));
}

void installDisplay(const ModuleContext &context)
{
    auto *display = new DisplayPanel(context, &context.panel);
    const auto command = [&context, display](const char *name, DisplayCommand code) {
        context.handlers.add(QString::fromLatin1(name),
                             EventHandlers::Plain([display, code] { display->sendCommand(code); }));
    };
    context.handlers.add(QStringLiteral("CmdLCD03_1_Click"),
                         EventHandlers::Plain([display] { display->CmdLCD03_1_Click(); }));
    command("CmdLCD03_2_Click", ClearScreen);
    command("CmdLCD03_3_Click", CarriageReturn);
    command("CmdLCD03_4_Click", BacklightOn);
    command("CmdLCD03_5_Click", BacklightOff);
    context.handlers.add(QStringLiteral("CmdLCD03_6_Click"),
                         EventHandlers::Plain([display] { display->CmdLCD03_6_Click(); }));
}

} // namespace

void installActuators(const ModuleContext &context)
{
    installServos(context);
    installRelays(context);
    installDisplay(context);
}

} // namespace kestrava
