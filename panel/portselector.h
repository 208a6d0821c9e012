#pragma once

#include <QCoreApplication>
#include <QString>

#include <functional>

namespace kestrava {

class PortCombo;
class SerialLine;

// The two messages, translated in the window's context when shown.
inline constexpr char StartupPortMessage[] =
    QT_TRANSLATE_NOOP("kestrava::ControlPanel", "Número de Puerto invalido. Seleccione un puerto valido");
inline constexpr char PortChangeMessage[] =
    QT_TRANSLATE_NOOP("kestrava::ControlPanel", "Número de Puerto Invalido. Seleccione otro puerto");

// The saved port: QSettings("Kestrava", "Kestrava"), group "ajustes", key "puerto".
QString savedPortText();
bool savePortText(const QString &text);

// Opens the saved port at start and switches it when the operator leaves ComboCom.
// Both procedures carry on past a failing step and show one message at the end.
class PortSelector
{
public:
    using ShowMessage = std::function<void(const QString &)>;

    PortSelector(SerialLine &line, PortCombo &combo, ShowMessage showMessage);

    void Form_Load();
    void ComboCom_LostFocus();

private:
    SerialLine &m_line;
    PortCombo &m_combo;
    ShowMessage m_showMessage;
};

// A modal box titled "Kestrava" with one OK button and no icon.
void showMessageBox(const QString &text);

} // namespace kestrava
