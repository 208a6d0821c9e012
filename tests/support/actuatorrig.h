#pragma once

// A bench for the actuator handlers: the named controls they use, a serial line
// over a pseudo-terminal with a scripted adapter at the far end, and handlers run
// through the gate as the window runs them.

#include "actuatorbinding.h"
#include "modulerig.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace kestrava::test {

class ActuatorRig : public ModuleRig
{
public:
    ActuatorRig()
    {
        buildControls();
        installActuators(context);
    }

    template <class T>
    T &control(const QString &name, int index = -1)
    {
        return index < 0 ? context.control<T>(name) : context.control<T>(name, index);
    }
    QScrollBar &bar(const QString &name, int index = -1) { return control<QScrollBar>(name, index); }
    QLabel &label(const QString &name, int index = -1) { return control<QLabel>(name, index); }
    QLineEdit &textBox(const QString &name) { return control<QLineEdit>(name); }

    // Frames as the adapter received them, as hex without blanks.
    QStringList sentFrames() const
    {
        QStringList hex;
        for (const QByteArray &frame : adapter.frameBytes())
            hex.append(QString::fromLatin1(frame.toHex()));
        return hex;
    }

private:
    void buildControls()
    {
        for (int i = 0; i < 21; ++i) {
            auto *servo = addControl<QScrollBar>(QStringLiteral("ServoScroll"), i);
            servo->setRange(500, 2500);
            servo->setValue(1500);
            addControl<QLabel>(QStringLiteral("ServoVal"), i)->setText(QStringLiteral("15"));
        }
        addControl<QScrollBar>(QStringLiteral("VeloScroll"))->setRange(0, 255);
        for (int i = 0; i < 8; ++i)
            addControl<QLabel>(QStringLiteral("ImgRele"), i)->hide();
        addControl<QLineEdit>(QStringLiteral("TxtStatus"))->setText(QStringLiteral("Text1"));
        addControl<QLineEdit>(QStringLiteral("TxtLCD03"))->setText(QStringLiteral("Escriba el texto a mandar al display "));
    }
};

} // namespace kestrava::test
