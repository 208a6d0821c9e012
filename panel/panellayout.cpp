#include "panel/panellayout.h"

#include "panel/compasspicture.h"
#include "panel/controlfactory.h"
#include "panel/padimage.h"
#include "panel/portcombo.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace kestrava {

namespace {

template <class Widget>
Row<Widget> row(ControlKind kind, const char *name, const QString &text, int left, int top, int width, int height)
{
    return {{kind, QString::fromUtf8(name), text, left, top, width, height}};
}

Row<QGroupBox> frame(const char *name, const char *caption, int l, int t, int w, int h)
{
    return row<QGroupBox>(ControlKind::Frame, name, QString::fromUtf8(caption), l, t, w, h)
        .withFont(FontRole::FrameTitle);
}
Row<QPushButton> button(const char *name, const char *caption, int l, int t, int w, int h)
{
    return row<QPushButton>(ControlKind::Button, name, QString::fromUtf8(caption), l, t, w, h);
}
Row<QLabel> label(const char *name, const char *caption, int l, int t, int w, int h)
{
    return row<QLabel>(ControlKind::Label, name, QString::fromUtf8(caption), l, t, w, h);
}
Row<QLabel> valueBox(const char *name, const char *caption, int l, int t, int w, int h)
{
    return label(name, caption, l, t, w, h).withFill(Fill::ValueBox);
}
Row<QLineEdit> textBox(const char *name, const char *text, int l, int t, int w, int h)
{
    return row<QLineEdit>(ControlKind::TextBox, name, QString::fromUtf8(text), l, t, w, h);
}
// The kinds made as a class of their own: each helper fixes the kind and the class together.
Row<QLabel> banner(const char *name, int l, int t, int w, int h)
{
    return row<QLabel>(ControlKind::Banner, name, {}, l, t, w, h);
}
Row<QLabel> lamp(const char *name, int l, int t, int w, int h)
{
    return row<QLabel>(ControlKind::Lamp, name, {}, l, t, w, h);
}
Row<PadImage> padImage(const char *name, int l, int t, int w, int h)
{
    return row<PadImage>(ControlKind::PadImage, name, {}, l, t, w, h);
}
Row<CompassPicture> compassPicture(const char *name, int l, int t, int w, int h)
{
    return row<CompassPicture>(ControlKind::CompassPicture, name, {}, l, t, w, h);
}
Row<PortCombo> portCombo(const char *name, int l, int t, int w, int h)
{
    return row<PortCombo>(ControlKind::ComboBox, name, {}, l, t, w, h);
}
Row<QScrollBar> scrollBar(Qt::Orientation orientation, const char *name, int l, int t, int w, int h)
{
    const ControlKind kind = orientation == Qt::Vertical ? ControlKind::VScrollBar : ControlKind::HScrollBar;
    return row<QScrollBar>(kind, name, {}, l, t, w, h);
}
// A circle, an oval or a line: drawn, never read.
Row<QWidget> figure(ControlKind kind, const char *name, int l, int t, int w, int h)
{
    return row<QWidget>(kind, name, {}, l, t, w, h);
}
Row<QWidget> line(const char *name, int x1, int y1, int x2, int y2)
{
    return figure(ControlKind::Line, name, x1, y1, x2 - x1, y2 - y1);
}

// The row's helper gave it a kind that createControl() makes as the row's Widget.
template <class Widget>
Widget &place(QWidget &container, const Row<Widget> &design)
{
    return static_cast<Widget &>(*createControl(container, design, placeRow(design).front()));
}

// The elements of one control array, from rows that together make each index once.
template <class Widget>
ControlArray<Widget> elements(QWidget &container, std::initializer_list<Row<Widget>> rows)
{
    std::vector<Widget *> made;
    for (const Row<Widget> &design : rows) {
        for (const PlacedControl &placed : placeRow(design)) {
            const size_t index = size_t(qMax(placed.index, 0));
            made.resize(qMax(made.size(), index + 1));
            made[index] = static_cast<Widget *>(createControl(container, design, placed));
        }
    }
    return ControlArray<Widget>(std::move(made));
}

// Captions, figures and lines that no code reads.
void decorate(QWidget &container, std::initializer_list<ControlDesign> rows)
{
    for (const ControlDesign &design : rows)
        for (const PlacedControl &placed : placeRow(design))
            createControl(container, design, placed);
}

// An arrow click or a key step moves a servo by 10 µs, a visible step; a click in
// the trough nudges it by 1 µs for fine trimming.
const Range ServoRange{500, 2500, 1500, 10, 1};
const Range SpeedRange{0, 255, 0, 1, 1};

// Each frame's controls: first those its struct holds, each row filling its member,
// then the rest. The rows mark their captions for translation in the window's
// context, in which createControl() translates them.
struct Layout
{
    Q_DECLARE_TR_FUNCTIONS(kestrava::ControlPanel)
public:
    static PanelControls build(QWidget &client);
    static MotorControls motor(QWidget &in);
    static RangerControls rangers(QWidget &in);
    static CompassControls compass(QWidget &in);
    static ThermalControls thermal(QWidget &in);
    static GeneralControls general(QWidget &in);
    static RelayControls relays(QWidget &in);
    static DisplayControls display(QWidget &in);
    static ServoControls servos(QWidget &in);
};

using K = ControlKind;

// The frames and the banner come before any frame's controls.
PanelControls Layout::build(QWidget &client)
{
    QWidget &FrmMD23 = place(client, frame("FrmMD23", "MD23", 120, 120, 6255, 8895));
    QWidget &FrmSRF02 = place(client, frame("FrmSRF02", "SRF02", 6480, 120, 4215, 3135));
    QWidget &FrmCMPS03 = place(client, frame("FrmCMPS03", "CMPS03", 10800, 120, 3375, 3135));
    QWidget &FrmTPA81 = place(client, frame("FrmTPA81", "TPA81", 6480, 3360, 4215, 1935));
    QWidget &FrmGeneral = place(client, frame("FrmGeneral", QT_TR_NOOP("General"), 10800, 3360, 3375, 1935));
    QWidget &Frame3 = place(client, frame("Frame3", "RLY08", 6480, 5400, 4215, 2655));
    QWidget &Frame2 = place(client, frame("Frame2", "LCD03", 10800, 5400, 3375, 1695));
    QWidget &Frame1 = place(client, frame("Frame1", "SD21", 120, 9000, 14055, 2655));
    QLabel &Picture2 = place(client, banner("Picture2", 7080, 8040, 6495, 975));
    return {motor(FrmMD23), rangers(FrmSRF02), compass(FrmCMPS03), thermal(FrmTPA81), general(FrmGeneral),
            relays(Frame3), display(Frame2), servos(Frame1), Picture2};
}

MotorControls Layout::motor(QWidget &in)
{
    const MotorControls made{
        .Command2 = place(in, button("Command2", QT_TR_NOOP("Motor1 marcha"), 240, 360, 1815, 375)),
        .Command3 = place(in, button("Command3", QT_TR_NOOP("Motor 1 paro"), 240, 840, 1815, 375)),
        .CmdStopOff = place(in, button("CmdStopOff", QT_TR_NOOP("Quitar AutoStop"), 240, 1320, 1815, 375)),
        .CmdStopOn = place(in, button("CmdStopOn", QT_TR_NOOP("Poner AutoStop"), 240, 1800, 1815, 375)),
        .CmdAcel10 = place(in, button("CmdAcel10", QT_TR_NOOP("Aceleracion 10"), 240, 2280, 1815, 375)),
        .CmdAcel5 = place(in, button("CmdAcel5", QT_TR_NOOP("Aceleracion 5"), 240, 2760, 1815, 375)),
        .CmdAcel1 = place(in, button("CmdAcel1", QT_TR_NOOP("Aceleracion 1"), 240, 3240, 1815, 375)),
        .CmdModo2 = place(in, button("CmdModo2", QT_TR_NOOP("Modo 2"), 240, 3720, 1815, 375)),
        .CmdModo0 = place(in, button("CmdModo0", QT_TR_NOOP("Modo 0"), 240, 4200, 1815, 375)),
        .CmdAutoOn = place(in, button("CmdAutoOn", QT_TR_NOOP("Poner Auto Velocidad"), 240, 4680, 1815, 375)),
        .CmdAutoOff = place(in, button("CmdAutoOff", QT_TR_NOOP("Quitar Auto Velocidad"), 240, 5160, 1815, 375)),
        .CmdResetCounter = place(in, button("CmdResetCounter", QT_TR_NOOP("Borrar Contadores"), 240, 5640, 1815, 375)),
        .CmdLeerDatos = place(in, button("CmdLeerDatos", QT_TR_NOOP("Leer Datos"), 240, 6120, 1815, 375)),
        .Label9 = place(in, valueBox("Label9", "", 3360, 360, 615, 255)),
        .Label10 = place(in, valueBox("Label10", "", 5400, 360, 615, 255)),
        .Image1 = place(in, padImage("Image1", 2280, 720, 3870, 3870)),
        .LblConta1 = place(in, valueBox("LblConta1", "", 1200, 6600, 1095, 255)),
        .LblConta2 = place(in, valueBox("LblConta2", "", 1200, 6960, 1095, 255)),
        .LblCon1 = place(in, valueBox("LblCon1", "", 1200, 7320, 1095, 255)),
        .LblCon2 = place(in, valueBox("LblCon2", "", 1200, 7680, 1095, 255)),
        .LblBateria = place(in, valueBox("LblBateria", "", 1200, 8040, 1095, 255)),
        .LblVersionMD23 = place(in, valueBox("LblVersionMD23", "", 1200, 8400, 735, 255)),
        .CmdAdelante1 = elements(in, {
            button("CmdAdelante1", QT_TR_NOOP("Adelante"), 3720, 6000, 1215, 255).array(0, 3, 0, -360),
            button("CmdAdelante1", QT_TR_NOOP("Atras"), 3720, 7080, 1215, 255).array(4, 7, 0, 360),
        }),
        // The turn buttons: 0..3 the right-hand arc, 4..7 its mirror image on the left.
        .CmdGiro = elements(in, {
            button("CmdGiro", "10", 4440, 6360, 375, 375).element(0),
            button("CmdGiro", "30", 4920, 6600, 375, 375).element(1),
            button("CmdGiro", "45", 5400, 6960, 375, 375).element(2),
            button("CmdGiro", "90", 5760, 7560, 375, 375).element(3),
            button("CmdGiro", "10", 3840, 6360, 375, 375).element(4),
            button("CmdGiro", "30", 3360, 6600, 375, 375).element(5),
            button("CmdGiro", "45", 2880, 6960, 375, 375).element(6),
            button("CmdGiro", "90", 2520, 7560, 375, 375).element(7),
        }),
    };
    decorate(in, {
        label("Label7", QT_TR_NOOP("Velocidad 1:"), 2400, 360, 975, 255),
        label("Label8", QT_TR_NOOP("Velocidad 2:"), 4440, 360, 975, 255),
        label("Label11", QT_TR_NOOP("Contador M1:"), 240, 6600, 975, 255),
        label("Label13", QT_TR_NOOP("Contador M2:"), 240, 6960, 975, 255),
        label("Label15", QT_TR_NOOP("Consumo M1:"), 240, 7320, 975, 255),
        label("Label16", QT_TR_NOOP("Consumo M2:"), 240, 7680, 975, 255),
        label("Label12", QT_TR_NOOP("V Batería:"), 240, 8040, 975, 255),
        label("Label14", QT_TR_NOOP("Versión:"), 240, 8400, 615, 255),
        figure(K::Oval, "Shape2", 2760, 6600, 3135, 1935), // drawn around the turn buttons
    });
    return made;
}

// Address labels inside the robot's outline, distances outside it.
RangerControls Layout::rangers(QWidget &in)
{
    const RangerControls made{
        .CmdDistancia = place(in, button("CmdDistancia", QT_TR_NOOP("Medir Distancias"), 1320, 2520, 1575, 375)),
        .LblDistancia = elements(in, {
            valueBox("LblDistancia", "0", 3600, 1800, 495, 255).element(0).centredText(),
            valueBox("LblDistancia", "0", 3240, 720, 495, 255).element(1).centredText(),
            valueBox("LblDistancia", "0", 1800, 240, 495, 255).element(2).centredText(),
            valueBox("LblDistancia", "0", 480, 720, 495, 255).element(3).centredText(),
            valueBox("LblDistancia", "0", 120, 1800, 495, 255).element(4).centredText(),
        }),
    };
    decorate(in, {
        label("Label17", "E0", 3120, 1800, 255, 255).element(0),
        label("Label17", "E2", 2880, 1080, 255, 255).element(1),
        label("Label17", "E4", 2040, 840, 255, 255).element(2),
        label("Label17", "E6", 1200, 1080, 255, 255).element(3),
        label("Label17", "E8", 840, 1800, 255, 255).element(4),
        line("Line1", 720, 1320, 1440, 600),
        line("Line2", 1440, 600, 2760, 600),
        line("Line3", 2760, 600, 3480, 1320),
        line("Line4", 3480, 1320, 3480, 2280),
        line("Line5", 720, 1320, 720, 2280),
    });
    return made;
}

// Everything sits on the drawing surface Picture1.
CompassControls Layout::compass(QWidget &in)
{
    CompassPicture &picture = place(in, compassPicture("Picture1", 120, 360, 3015, 2655));
    const CompassControls made{
        .Picture1 = picture,
        .CmdBrujula = place(picture, button("CmdBrujula", QT_TR_NOOP("Leer Brújula"), 720, 2280, 1575, 375)),
        .LblBrujula = place(picture, label("LblBrujula", "", 600, 1920, 615, 255).withFill(Fill::White)),
        .LblVersionCMPS03 = place(picture, label("LblVersionCMPS03", "", 2280, 1920, 615, 255).withFill(Fill::White)),
    };
    decorate(picture, {
        figure(K::Circle, "Shape1", 720, 240, 1455, 1455),
        label("Label28", QT_TR_NOOP("N"), 1340, 0, 225, 225).centredText().withFont(FontRole::CompassLetter),
        label("Label29", QT_TR_NOOP("S"), 1340, 1725, 225, 225).centredText().withFont(FontRole::CompassLetter),
        label("Label30", QT_TR_NOOP("E"), 2240, 840, 225, 225).centredText().withFont(FontRole::CompassLetter),
        label("Label31", QT_TR_NOOP("O"), 480, 840, 225, 225).centredText().withFont(FontRole::CompassLetter),
        label("Label32", QT_TR_NOOP("Rumbo:"), 0, 1920, 615, 255),
        label("Label33", QT_TR_NOOP("Versión:"), 1560, 1920, 615, 255),
    });
    return made;
}

// Pixels 1..8 in a row (elements 2..9), version and ambient at the right.
ThermalControls Layout::thermal(QWidget &in)
{
    const ThermalControls made{
        .CmdTPA81 = place(in, button("CmdTPA81", QT_TR_NOOP("Medir Temperatura"), 240, 1200, 1815, 375)),
        .LblPixel = elements(in, {
            valueBox("LblPixel", "", 240, 360, 375, 255).array(2, 9, 480, 0).centredText(),
            valueBox("LblPixel", "", 3600, 1080, 375, 255).element(0).centredText(),
            valueBox("LblPixel", "", 3600, 1440, 375, 255).element(1).centredText(),
        }),
    };
    decorate(in, {
        label("Label20", "1", 240, 720, 375, 255).centredText(),
        label("Label21", "2", 720, 720, 375, 255).centredText(),
        label("Label22", "3", 1200, 720, 375, 255).centredText(),
        label("Label23", "4", 1680, 720, 375, 255).centredText(),
        label("Label24", "5", 2160, 720, 375, 255).centredText(),
        label("Label25", "6", 2640, 720, 375, 255).centredText(),
        label("Label26", "7", 3120, 720, 375, 255).centredText(),
        label("Label27", "8", 3600, 720, 375, 255).centredText(),
        label("Label19", QT_TR_NOOP("Versión:"), 2760, 1080, 735, 255),
        label("Label18", QT_TR_NOOP("T. Ambiente: "), 2400, 1440, 975, 255),
    });
    return made;
}

// Address change and port.
GeneralControls Layout::general(QWidget &in)
{
    const GeneralControls made{
        .TxtActDir = place(in, textBox("TxtActDir", "E0", 1440, 480, 495, 285)),
        .TxtNueDir = place(in, textBox("TxtNueDir", "E2", 1440, 840, 495, 285)),
        .CmdDireccion = place(in, button("CmdDireccion", QT_TR_NOOP("Cambiar dirección"), 120, 1320, 1815, 375)),
        .ComboCom = place(in, portCombo("ComboCom", 2160, 1320, 855, 315)),
    };
    decorate(in, {
        label("Label5", QT_TR_NOOP("Dirección Actual"), 120, 480, 1335, 255),
        label("Label6", QT_TR_NOOP("Dirección Nueva"), 120, 840, 1335, 255),
    });
    return made;
}

RelayControls Layout::relays(QWidget &in)
{
    const RelayControls made{
        .ImgRele = elements(in, {lamp("ImgRele", 360, 360, 165, 300).array(0, 7, 480, 0)}),
        .ReleOn = elements(in, {button("ReleOn", QT_TR_NOOP("On"), 240, 840, 375, 255).array(0, 7, 480, 0)}),
        .ReleOff = elements(in, {button("ReleOff", QT_TR_NOOP("Off"), 240, 1560, 375, 255).array(0, 7, 480, 0)}),
        .TxtStatus = place(in, textBox("TxtStatus", "Text1", 720, 2040, 615, 285)),
        .CmdTodoOn = place(in, button("CmdTodoOn", QT_TR_NOOP("Todo On"), 1680, 1920, 975, 495)),
        .CmdTodoOff = place(in, button("CmdTodoOff", QT_TR_NOOP("Todo Off"), 3000, 1920, 975, 495)),
    };
    decorate(in, {
        label("Label1", "", 240, 1200, 375, 195).array(0, 7, 480, 0).numberedCaptions().centredText()
            .withFont(FontRole::RelayNumber),
        label("LblValor", QT_TR_NOOP("Valor:"), 120, 2040, 615, 255).centredText(),
    });
    return made;
}

DisplayControls Layout::display(QWidget &in)
{
    return {
        .TxtLCD03 = place(in, textBox("TxtLCD03", QT_TR_NOOP("Escriba el texto a mandar al display "),
                                      120, 360, 3135, 285)),
        .CmdLCD03_2 = place(in, button("CmdLCD03_2", QT_TR_NOOP("Limpia"), 120, 720, 975, 375)),
        .CmdLCD03_3 = place(in, button("CmdLCD03_3", QT_TR_NOOP("Retorno"), 1200, 720, 975, 375)),
        .CmdLCD03_1 = place(in, button("CmdLCD03_1", QT_TR_NOOP("Display"), 2280, 720, 975, 375)),
        .CmdLCD03_5 = place(in, button("CmdLCD03_5", QT_TR_NOOP("Apaga"), 120, 1200, 975, 375)),
        .CmdLCD03_4 = place(in, button("CmdLCD03_4", QT_TR_NOOP("Enciende"), 1200, 1200, 975, 375)),
        .CmdLCD03_6 = place(in, button("CmdLCD03_6", QT_TR_NOOP("Teclado"), 2280, 1200, 975, 375)),
    };
}

// Channel i + 1 is ServoVal(i) over ServoScroll(i) over Label2(i).
ServoControls Layout::servos(QWidget &in)
{
    const ServoControls made{
        .ServoVal = elements(in, {label("ServoVal", "15", 960, 240, 255, 255).array(0, 20, 360, 0)}),
        .ServoScroll = elements(in, {scrollBar(Qt::Vertical, "ServoScroll", 960, 480, 255, 1815)
                                         .array(0, 20, 360, 0).withRange(ServoRange)}),
        .VeloScroll = place(in, scrollBar(Qt::Horizontal, "VeloScroll", 8520, 1320, 1815, 255)
                                    .withRange(SpeedRange)),
    };
    decorate(in, {
        label("Label2", "", 960, 2350, 255, 255).array(0, 20, 360, 0).numberedCaptions().centredText(),
        label("Velocidad", QT_TR_NOOP("Velocidad"), 9120, 1680, 975, 255),
    });
    return made;
}

} // namespace

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

PanelControls buildControls(QWidget &client)
{
    return Layout::build(client);
}

} // namespace kestrava
