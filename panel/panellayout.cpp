#include "panel/panellayout.h"

#include "panel/controlfactory.h"
#include "panel/controlnames.h"

#include <QCoreApplication>

namespace kestrava {

ControlDesign ControlDesign::array(int firstIndex, int lastIndex, int dLeft, int dTop) const
{
    ControlDesign copy = *this;
    copy.first = firstIndex;
    copy.last = lastIndex;
    copy.stepLeft = dLeft;
    copy.stepTop = dTop;
    return copy;
}

ControlDesign ControlDesign::numberedCaptions() const
{
    ControlDesign copy = *this;
    copy.numbered = true;
    return copy;
}

ControlDesign ControlDesign::centredText() const
{
    ControlDesign copy = *this;
    copy.centred = true;
    return copy;
}

ControlDesign ControlDesign::withFont(FontRole role) const
{
    ControlDesign copy = *this;
    copy.font = role;
    return copy;
}

ControlDesign ControlDesign::withFill(Fill colour) const
{
    ControlDesign copy = *this;
    copy.fill = colour;
    return copy;
}

ControlDesign ControlDesign::withRange(Range r) const
{
    ControlDesign copy = *this;
    copy.range = r;
    return copy;
}

namespace {

ControlDesign control(ControlKind kind, const char *name, const char *container, const QString &text,
                    int left, int top, int width, int height)
{
    return {kind, QString::fromUtf8(name), QString::fromUtf8(container), text, left, top, width, height};
}

ControlDesign frame(const char *name, const char *caption, int l, int t, int w, int h)
{
    return control(ControlKind::Frame, name, "", QString::fromUtf8(caption), l, t, w, h)
        .withFont(FontRole::FrameTitle);
}
ControlDesign button(const char *name, const char *in, const char *caption, int l, int t, int w, int h)
{
    return control(ControlKind::Button, name, in, QString::fromUtf8(caption), l, t, w, h);
}
ControlDesign label(const char *name, const char *in, const char *caption, int l, int t, int w, int h)
{
    return control(ControlKind::Label, name, in, QString::fromUtf8(caption), l, t, w, h);
}
ControlDesign valueBox(const char *name, const char *in, const char *caption, int l, int t, int w, int h)
{
    return label(name, in, caption, l, t, w, h).withFill(Fill::ValueBox);
}
ControlDesign textBox(const char *name, const char *in, const char *text, int l, int t, int w, int h)
{
    return control(ControlKind::TextBox, name, in, QString::fromUtf8(text), l, t, w, h);
}
ControlDesign other(ControlKind kind, const char *name, const char *in, int l, int t, int w, int h)
{
    return control(kind, name, in, {}, l, t, w, h);
}
ControlDesign line(const char *name, const char *in, int x1, int y1, int x2, int y2)
{
    return other(ControlKind::Line, name, in, x1, y1, x2 - x1, y2 - y1);
}

// An arrow click or a key step moves a servo by 10 µs, a visible step; a click in
// the trough nudges it by 1 µs for fine trimming.
const Range ServoRange{500, 2500, 1500, 10, 1};
const Range SpeedRange{0, 255, 0, 1, 1};

// The rows mark their captions for translation in the window's context, in which
// createControl() translates them.
struct LayoutRows
{
    Q_DECLARE_TR_FUNCTIONS(kestrava::ControlPanel)
public:
    static std::vector<ControlDesign> make();
};

std::vector<ControlDesign> LayoutRows::make()
{
    using K = ControlKind;
    return {
        frame("FrmMD23", "MD23", 120, 120, 6255, 8895),
        frame("FrmSRF02", "SRF02", 6480, 120, 4215, 3135),
        frame("FrmCMPS03", "CMPS03", 10800, 120, 3375, 3135),
        frame("FrmTPA81", "TPA81", 6480, 3360, 4215, 1935),
        frame("FrmGeneral", QT_TR_NOOP("General"), 10800, 3360, 3375, 1935),
        frame("Frame3", "RLY08", 6480, 5400, 4215, 2655),
        frame("Frame2", "LCD03", 10800, 5400, 3375, 1695),
        frame("Frame1", "SD21", 120, 9000, 14055, 2655),
        other(K::Banner, "Picture2", "", 7080, 8040, 6495, 975),

        // MD23
        button(controls::Command2, "FrmMD23", QT_TR_NOOP("Motor1 marcha"), 240, 360, 1815, 375),
        button(controls::Command3, "FrmMD23", QT_TR_NOOP("Motor 1 paro"), 240, 840, 1815, 375),
        button(controls::CmdStopOff, "FrmMD23", QT_TR_NOOP("Quitar AutoStop"), 240, 1320, 1815, 375),
        button(controls::CmdStopOn, "FrmMD23", QT_TR_NOOP("Poner AutoStop"), 240, 1800, 1815, 375),
        button(controls::CmdAcel10, "FrmMD23", QT_TR_NOOP("Aceleracion 10"), 240, 2280, 1815, 375),
        button(controls::CmdAcel5, "FrmMD23", QT_TR_NOOP("Aceleracion 5"), 240, 2760, 1815, 375),
        button(controls::CmdAcel1, "FrmMD23", QT_TR_NOOP("Aceleracion 1"), 240, 3240, 1815, 375),
        button(controls::CmdModo2, "FrmMD23", QT_TR_NOOP("Modo 2"), 240, 3720, 1815, 375),
        button(controls::CmdModo0, "FrmMD23", QT_TR_NOOP("Modo 0"), 240, 4200, 1815, 375),
        button(controls::CmdAutoOn, "FrmMD23", QT_TR_NOOP("Poner Auto Velocidad"), 240, 4680, 1815, 375),
        button(controls::CmdAutoOff, "FrmMD23", QT_TR_NOOP("Quitar Auto Velocidad"), 240, 5160, 1815, 375),
        button(controls::CmdResetCounter, "FrmMD23", QT_TR_NOOP("Borrar Contadores"), 240, 5640, 1815, 375),
        button(controls::CmdLeerDatos, "FrmMD23", QT_TR_NOOP("Leer Datos"), 240, 6120, 1815, 375),
        label("Label7", "FrmMD23", QT_TR_NOOP("Velocidad 1:"), 2400, 360, 975, 255),
        valueBox("Label9", "FrmMD23", "", 3360, 360, 615, 255),
        label("Label8", "FrmMD23", QT_TR_NOOP("Velocidad 2:"), 4440, 360, 975, 255),
        valueBox("Label10", "FrmMD23", "", 5400, 360, 615, 255),
        other(K::PadImage, controls::Image1, "FrmMD23", 2280, 720, 3870, 3870),
        label("Label11", "FrmMD23", QT_TR_NOOP("Contador M1:"), 240, 6600, 975, 255),
        valueBox("LblConta1", "FrmMD23", "", 1200, 6600, 1095, 255),
        label("Label13", "FrmMD23", QT_TR_NOOP("Contador M2:"), 240, 6960, 975, 255),
        valueBox("LblConta2", "FrmMD23", "", 1200, 6960, 1095, 255),
        label("Label15", "FrmMD23", QT_TR_NOOP("Consumo M1:"), 240, 7320, 975, 255),
        valueBox("LblCon1", "FrmMD23", "", 1200, 7320, 1095, 255),
        label("Label16", "FrmMD23", QT_TR_NOOP("Consumo M2:"), 240, 7680, 975, 255),
        valueBox("LblCon2", "FrmMD23", "", 1200, 7680, 1095, 255),
        label("Label12", "FrmMD23", QT_TR_NOOP("V Batería:"), 240, 8040, 975, 255),
        valueBox("LblBateria", "FrmMD23", "", 1200, 8040, 1095, 255),
        label("Label14", "FrmMD23", QT_TR_NOOP("Versión:"), 240, 8400, 615, 255),
        valueBox("LblVersionMD23", "FrmMD23", "", 1200, 8400, 735, 255),
        button(controls::CmdAdelante1, "FrmMD23", QT_TR_NOOP("Adelante"), 3720, 6000, 1215, 255).array(0, 3, 0, -360),
        button(controls::CmdAdelante1, "FrmMD23", QT_TR_NOOP("Atras"), 3720, 7080, 1215, 255).array(4, 7, 0, 360),
        // The turn buttons: 0..3 the right-hand arc, 4..7 its mirror image on the left.
        button(controls::CmdGiro, "FrmMD23", "10", 4440, 6360, 375, 375).element(0),
        button(controls::CmdGiro, "FrmMD23", "30", 4920, 6600, 375, 375).element(1),
        button(controls::CmdGiro, "FrmMD23", "45", 5400, 6960, 375, 375).element(2),
        button(controls::CmdGiro, "FrmMD23", "90", 5760, 7560, 375, 375).element(3),
        button(controls::CmdGiro, "FrmMD23", "10", 3840, 6360, 375, 375).element(4),
        button(controls::CmdGiro, "FrmMD23", "30", 3360, 6600, 375, 375).element(5),
        button(controls::CmdGiro, "FrmMD23", "45", 2880, 6960, 375, 375).element(6),
        button(controls::CmdGiro, "FrmMD23", "90", 2520, 7560, 375, 375).element(7),
        other(K::Oval, "Shape2", "FrmMD23", 2760, 6600, 3135, 1935),

        // SRF02: address labels inside the robot's outline, distances outside it
        button(controls::CmdDistancia, "FrmSRF02", QT_TR_NOOP("Medir Distancias"), 1320, 2520, 1575, 375),
        valueBox("LblDistancia", "FrmSRF02", "0", 3600, 1800, 495, 255).element(0).centredText(),
        valueBox("LblDistancia", "FrmSRF02", "0", 3240, 720, 495, 255).element(1).centredText(),
        valueBox("LblDistancia", "FrmSRF02", "0", 1800, 240, 495, 255).element(2).centredText(),
        valueBox("LblDistancia", "FrmSRF02", "0", 480, 720, 495, 255).element(3).centredText(),
        valueBox("LblDistancia", "FrmSRF02", "0", 120, 1800, 495, 255).element(4).centredText(),
        label("Label17", "FrmSRF02", "E0", 3120, 1800, 255, 255).element(0),
        label("Label17", "FrmSRF02", "E2", 2880, 1080, 255, 255).element(1),
        label("Label17", "FrmSRF02", "E4", 2040, 840, 255, 255).element(2),
        label("Label17", "FrmSRF02", "E6", 1200, 1080, 255, 255).element(3),
        label("Label17", "FrmSRF02", "E8", 840, 1800, 255, 255).element(4),
        line("Line1", "FrmSRF02", 720, 1320, 1440, 600),
        line("Line2", "FrmSRF02", 1440, 600, 2760, 600),
        line("Line3", "FrmSRF02", 2760, 600, 3480, 1320),
        line("Line4", "FrmSRF02", 3480, 1320, 3480, 2280),
        line("Line5", "FrmSRF02", 720, 1320, 720, 2280),

        // CMPS03: everything sits on the drawing surface Picture1
        other(K::CompassPicture, "Picture1", "FrmCMPS03", 120, 360, 3015, 2655),
        button(controls::CmdBrujula, "Picture1", QT_TR_NOOP("Leer Brújula"), 720, 2280, 1575, 375),
        other(K::Circle, "Shape1", "Picture1", 720, 240, 1455, 1455),
        label("Label28", "Picture1", QT_TR_NOOP("N"), 1340, 0, 225, 225)
            .centredText().withFont(FontRole::CompassLetter),
        label("Label29", "Picture1", QT_TR_NOOP("S"), 1340, 1725, 225, 225)
            .centredText().withFont(FontRole::CompassLetter),
        label("Label30", "Picture1", QT_TR_NOOP("E"), 2240, 840, 225, 225)
            .centredText().withFont(FontRole::CompassLetter),
        label("Label31", "Picture1", QT_TR_NOOP("O"), 480, 840, 225, 225)
            .centredText().withFont(FontRole::CompassLetter),
        label("Label32", "Picture1", QT_TR_NOOP("Rumbo:"), 0, 1920, 615, 255),
        label("LblBrujula", "Picture1", "", 600, 1920, 615, 255).withFill(Fill::White),
        label("Label33", "Picture1", QT_TR_NOOP("Versión:"), 1560, 1920, 615, 255),
        label("LblVersionCMPS03", "Picture1", "", 2280, 1920, 615, 255).withFill(Fill::White),

        // TPA81: pixels 1..8 in a row (elements 2..9), version and ambient at the right
        button(controls::CmdTPA81, "FrmTPA81", QT_TR_NOOP("Medir Temperatura"), 240, 1200, 1815, 375),
        valueBox("LblPixel", "FrmTPA81", "", 240, 360, 375, 255).array(2, 9, 480, 0).centredText(),
        valueBox("LblPixel", "FrmTPA81", "", 3600, 1080, 375, 255).element(0).centredText(),
        valueBox("LblPixel", "FrmTPA81", "", 3600, 1440, 375, 255).element(1).centredText(),
        label("Label20", "FrmTPA81", "1", 240, 720, 375, 255).centredText(),
        label("Label21", "FrmTPA81", "2", 720, 720, 375, 255).centredText(),
        label("Label22", "FrmTPA81", "3", 1200, 720, 375, 255).centredText(),
        label("Label23", "FrmTPA81", "4", 1680, 720, 375, 255).centredText(),
        label("Label24", "FrmTPA81", "5", 2160, 720, 375, 255).centredText(),
        label("Label25", "FrmTPA81", "6", 2640, 720, 375, 255).centredText(),
        label("Label26", "FrmTPA81", "7", 3120, 720, 375, 255).centredText(),
        label("Label27", "FrmTPA81", "8", 3600, 720, 375, 255).centredText(),
        label("Label19", "FrmTPA81", QT_TR_NOOP("Versión:"), 2760, 1080, 735, 255),
        label("Label18", "FrmTPA81", QT_TR_NOOP("T. Ambiente: "), 2400, 1440, 975, 255),

        // General: address change and port
        label("Label5", "FrmGeneral", QT_TR_NOOP("Dirección Actual"), 120, 480, 1335, 255),
        textBox("TxtActDir", "FrmGeneral", "E0", 1440, 480, 495, 285),
        label("Label6", "FrmGeneral", QT_TR_NOOP("Dirección Nueva"), 120, 840, 1335, 255),
        textBox("TxtNueDir", "FrmGeneral", "E2", 1440, 840, 495, 285),
        button(controls::CmdDireccion, "FrmGeneral", QT_TR_NOOP("Cambiar dirección"), 120, 1320, 1815, 375),
        other(K::ComboBox, controls::ComboCom, "FrmGeneral", 2160, 1320, 855, 315),

        // RLY08
        other(K::Lamp, "ImgRele", "Frame3", 360, 360, 165, 300).array(0, 7, 480, 0),
        button(controls::ReleOn, "Frame3", QT_TR_NOOP("On"), 240, 840, 375, 255).array(0, 7, 480, 0),
        label("Label1", "Frame3", "", 240, 1200, 375, 195).array(0, 7, 480, 0).numberedCaptions()
            .centredText().withFont(FontRole::RelayNumber),
        button(controls::ReleOff, "Frame3", QT_TR_NOOP("Off"), 240, 1560, 375, 255).array(0, 7, 480, 0),
        label("LblValor", "Frame3", QT_TR_NOOP("Valor:"), 120, 2040, 615, 255).centredText(),
        textBox("TxtStatus", "Frame3", "Text1", 720, 2040, 615, 285),
        button(controls::CmdTodoOn, "Frame3", QT_TR_NOOP("Todo On"), 1680, 1920, 975, 495),
        button(controls::CmdTodoOff, "Frame3", QT_TR_NOOP("Todo Off"), 3000, 1920, 975, 495),

        // LCD03
        textBox("TxtLCD03", "Frame2", QT_TR_NOOP("Escriba el texto a mandar al display "), 120, 360, 3135, 285),
        button(controls::CmdLCD03_2, "Frame2", QT_TR_NOOP("Limpia"), 120, 720, 975, 375),
        button(controls::CmdLCD03_3, "Frame2", QT_TR_NOOP("Retorno"), 1200, 720, 975, 375),
        button(controls::CmdLCD03_1, "Frame2", QT_TR_NOOP("Display"), 2280, 720, 975, 375),
        button(controls::CmdLCD03_5, "Frame2", QT_TR_NOOP("Apaga"), 120, 1200, 975, 375),
        button(controls::CmdLCD03_4, "Frame2", QT_TR_NOOP("Enciende"), 1200, 1200, 975, 375),
        button(controls::CmdLCD03_6, "Frame2", QT_TR_NOOP("Teclado"), 2280, 1200, 975, 375),

        // SD21: channel i + 1 is ServoVal(i) over ServoScroll(i) over Label2(i)
        label("ServoVal", "Frame1", "15", 960, 240, 255, 255).array(0, 20, 360, 0),
        other(K::VScrollBar, controls::ServoScroll, "Frame1", 960, 480, 255, 1815).array(0, 20, 360, 0)
            .withRange(ServoRange),
        label("Label2", "Frame1", "", 960, 2350, 255, 255).array(0, 20, 360, 0).numberedCaptions()
            .centredText(),
        other(K::HScrollBar, controls::VeloScroll, "Frame1", 8520, 1320, 1815, 255).withRange(SpeedRange),
        label("Velocidad", "Frame1", QT_TR_NOOP("Velocidad"), 9120, 1680, 975, 255),
    };
}

} // namespace

const std::vector<ControlDesign> &panelLayout()
{
    static const std::vector<ControlDesign> layout = LayoutRows::make();
    return layout;
}

std::vector<PlacedControl> placeRow(const ControlDesign &design)
{
    const QRect base(design.left, design.top, design.width, design.height);
    if (!design.isArray())
        return {{design.name, -1, base}};
    std::vector<PlacedControl> placed;
    for (int i = design.first; i <= design.last; ++i) {
        const int step = i - design.first;
        placed.push_back({QStringLiteral("%1(%2)").arg(design.name).arg(i), i,
                          base.translated(design.stepLeft * step, design.stepTop * step)});
    }
    return placed;
}

void buildControls(QWidget &window)
{
    for (const ControlDesign &design : panelLayout())
        for (const PlacedControl &placed : placeRow(design))
            createControl(window, design, placed);
}

} // namespace kestrava
