#pragma once

#include <QtGlobal>

#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kestrava {

class CompassPicture;
class PadImage;
class PortCombo;

// A control the layout made and the code uses. It has no empty state: a frame's
// struct that leaves one out, or fills it with a control of another type, does
// not build.
template <class T>
class Control
{
public:
    Control(T &control) : m_control(&control) {}
    T *operator->() const { return m_control; }
    T &operator*() const { return *m_control; }

private:
    T *m_control;
};

// A control array: element i is the control named "Name(i)".
template <class T>
class ControlArray
{
public:
    explicit ControlArray(std::vector<T *> elements) : m_elements(std::move(elements)) {}
    // The element at `index`, or none outside the array.
    T *at(qsizetype index) const
    {
        return index >= 0 && index < qsizetype(m_elements.size()) ? m_elements[size_t(index)] : nullptr;
    }
    qsizetype size() const { return qsizetype(m_elements.size()); }

private:
    std::vector<T *> m_elements;
};

// The controls of each frame that a handler, a binding or the event table uses,
// under the names the window's design gives them; captions nothing reads are
// not here. The layout (panel/panellayout.cpp) fills every member.

struct MotorControls // FrmMD23
{
    Control<QPushButton> Command2, Command3, CmdStopOff, CmdStopOn, CmdAcel10, CmdAcel5, CmdAcel1, CmdModo2,
        CmdModo0, CmdAutoOn, CmdAutoOff, CmdResetCounter, CmdLeerDatos;
    Control<QLabel> Label9;  // the pad's speed
    Control<QLabel> Label10; // the pad's turn
    Control<PadImage> Image1;
    Control<QLabel> LblConta1, LblConta2, LblCon1, LblCon2, LblBateria, LblVersionMD23;
    ControlArray<QPushButton> CmdAdelante1, CmdGiro;
};

struct RangerControls // FrmSRF02
{
    Control<QPushButton> CmdDistancia;
    ControlArray<QLabel> LblDistancia;
};

struct CompassControls // FrmCMPS03
{
    Control<CompassPicture> Picture1;
    Control<QPushButton> CmdBrujula;
    Control<QLabel> LblBrujula, LblVersionCMPS03;
};

struct ThermalControls // FrmTPA81
{
    Control<QPushButton> CmdTPA81;
    ControlArray<QLabel> LblPixel;
};

struct GeneralControls // FrmGeneral
{
    Control<QLineEdit> TxtActDir, TxtNueDir;
    Control<QPushButton> CmdDireccion;
    Control<PortCombo> ComboCom;
};

struct RelayControls // Frame3, the RLY08
{
    ControlArray<QLabel> ImgRele;
    ControlArray<QPushButton> ReleOn, ReleOff;
    Control<QLineEdit> TxtStatus;
    Control<QPushButton> CmdTodoOn, CmdTodoOff;
};

struct DisplayControls // Frame2, the LCD03
{
    Control<QLineEdit> TxtLCD03;
    Control<QPushButton> CmdLCD03_2, CmdLCD03_3, CmdLCD03_1, CmdLCD03_5, CmdLCD03_4, CmdLCD03_6;
};

struct ServoControls // Frame1, the SD21
{
    ControlArray<QLabel> ServoVal;
    ControlArray<QScrollBar> ServoScroll;
    Control<QScrollBar> VeloScroll;
};

// Every frame's controls under one roof, so that the event table's rows can point
// at any of them; and the banner, which belongs to no frame.
struct PanelControls : MotorControls, RangerControls, CompassControls, ThermalControls, GeneralControls,
                       RelayControls, DisplayControls, ServoControls
{
    Control<QLabel> Picture2;
};

} // namespace kestrava
