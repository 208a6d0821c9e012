<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>kestrava::simview::BusPanel</name>
    <message>
        <source>unplug</source>
        <translation>desconectar</translation>
    </message>
    <message>
        <source>plug in</source>
        <translation>conectar</translation>
    </message>
    <message>
        <source>adapter plugged in</source>
        <translation>adaptador conectado</translation>
    </message>
    <message>
        <source>adapter unplugged</source>
        <translation>adaptador desconectado</translation>
    </message>
    <message>
        <source>silent</source>
        <translation>mudo</translation>
    </message>
    <message>
        <source>late</source>
        <translation>tarde</translation>
    </message>
</context>
<context>
    <name>kestrava::simview::CompassPanel</name>
    <message>
        <source>N</source>
        <translation>N</translation>
    </message>
    <message>
        <source>E</source>
        <translation>E</translation>
    </message>
    <message>
        <source>S</source>
        <translation>S</translation>
    </message>
    <message>
        <source>W</source>
        <translation>O</translation>
    </message>
</context>
<context>
    <name>kestrava::simview::MotorPanel</name>
    <message>
        <source>on</source>
        <translation>sí</translation>
    </message>
    <message>
        <source>off</source>
        <translation>no</translation>
    </message>
    <message>
        <source>0 stops, signed</source>
        <translation>0 para, con signo</translation>
    </message>
    <message>
        <source>128 stops</source>
        <translation>128 para</translation>
    </message>
    <message>
        <source>Mode %1: %2</source>
        <translation>Modo %1: %2</translation>
    </message>
    <message>
        <source>speed and turn</source>
        <translation>velocidad y giro</translation>
    </message>
    <message>
        <source>one register a wheel</source>
        <translation>un registro por rueda</translation>
    </message>
    <message>
        <source>reg 0 both wheels, reg 1 turns; %1</source>
        <translation>reg 0 ambas ruedas, reg 1 giro; %1</translation>
    </message>
    <message>
        <source>reg 0 left wheel, reg 1 right; %1</source>
        <translation>reg 0 rueda izquierda, reg 1 derecha; %1</translation>
    </message>
    <message>
        <source>left</source>
        <translation>izq.</translation>
    </message>
    <message>
        <source>right</source>
        <translation>der.</translation>
    </message>
    <message>
        <source>acceleration %1</source>
        <translation>aceleración %1</translation>
    </message>
    <message>
        <source>regulation %1, auto-stop %2</source>
        <translation>regulación %1, auto-stop %2</translation>
    </message>
    <message>
        <source>encoder 1: %1</source>
        <translation>contador 1: %1</translation>
    </message>
    <message>
        <source>encoder 2: %1</source>
        <translation>contador 2: %1</translation>
    </message>
    <message>
        <source>battery %1</source>
        <translation>batería %1</translation>
    </message>
    <message>
        <source>currents %1, %2</source>
        <translation>consumos %1, %2</translation>
    </message>
</context>
<context>
    <name>kestrava::simview::RobotView</name>
    <message>
        <source>Kestrava robot view</source>
        <translation>Kestrava: vista del robot</translation>
    </message>
    <message>
        <source>MD23 motors</source>
        <translation>MD23 motores</translation>
    </message>
    <message>
        <source>CMPS03 compass</source>
        <translation>CMPS03 brújula</translation>
    </message>
    <message>
        <source>TPA81 thermal array</source>
        <translation>TPA81 sensor térmico</translation>
    </message>
    <message>
        <source>RLY08 relays</source>
        <translation>RLY08 relés</translation>
    </message>
    <message>
        <source>LCD03 display</source>
        <translation>LCD03 pantalla</translation>
    </message>
    <message>
        <source>LCD03 keypad</source>
        <translation>LCD03 teclado</translation>
    </message>
    <message>
        <source>SD21 servos</source>
        <translation>SD21 servos</translation>
    </message>
    <message>
        <source>Bus</source>
        <translation>Bus</translation>
    </message>
</context>
<context>
    <name>kestrava::simview::RunPanel</name>
    <message>
        <source>Ready: the clock starts with the first motor command</source>
        <translation>Listo: el reloj arranca con la primera orden a los motores</translation>
    </message>
    <message>
        <source>Not timed: the robot was moved (back to start for a run)</source>
        <translation>Sin cronometrar: se movió el robot (volver al inicio para una prueba)</translation>
    </message>
    <message numerus="yes">
        <source>Running: %L1 s, %n contact(s)</source>
        <translation>
            <numerusform>En marcha: %L1 s, %n contacto</numerusform>
            <numerusform>En marcha: %L1 s, %n contactos</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Candle out in %L1 s, %n contact(s)</source>
        <translation>
            <numerusform>Vela apagada en %L1 s, %n contacto</numerusform>
            <numerusform>Vela apagada en %L1 s, %n contactos</numerusform>
        </translation>
    </message>
    <message>
        <source>The arena (control command: arena NAME|FILE)</source>
        <translation>La arena (orden de control: arena NOMBRE|ARCHIVO)</translation>
    </message>
    <message>
        <source>back to start</source>
        <translation>volver al inicio</translation>
    </message>
    <message>
        <source>Arena</source>
        <translation>Arena</translation>
    </message>
    <message>
        <source>open</source>
        <translation>abierta</translation>
    </message>
    <message>
        <source>house</source>
        <translation>casa</translation>
    </message>
    <message>
        <source>corridor</source>
        <translation>pasillo</translation>
    </message>
</context>
<context>
    <name>kestrava::simview::ThermalPanel</name>
    <message>
        <source>pixel 1 on the left · ambient %1 °C</source>
        <translation>píxel 1 a la izquierda · ambiente %1 °C</translation>
    </message>
</context>
<context>
    <name>kestrava::simview::TrafficPanel</name>
    <message numerus="yes">
        <source>%n frame(s) on the bus in the last second</source>
        <translation>
            <numerusform>%n trama en el bus en el último segundo</numerusform>
            <numerusform>%n tramas en el bus en el último segundo</numerusform>
        </translation>
    </message>
    <message>
        <source>addr</source>
        <translation>dir</translation>
    </message>
    <message>
        <source>module</source>
        <translation>módulo</translation>
    </message>
    <message>
        <source>access</source>
        <translation>acceso</translation>
    </message>
    <message>
        <source>reg</source>
        <translation>reg</translation>
    </message>
    <message>
        <source>sent / asked</source>
        <translation>enviado/pedido</translation>
    </message>
    <message>
        <source>answer</source>
        <translation>respuesta</translation>
    </message>
    <message numerus="yes">
        <source>%n byte(s)</source>
        <translation>
            <numerusform>%n byte</numerusform>
            <numerusform>%n bytes</numerusform>
        </translation>
    </message>
    <message>
        <source>read</source>
        <translation>lee</translation>
    </message>
    <message>
        <source>write</source>
        <translation>escribe</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>sin respuesta</translation>
    </message>
</context>
</TS>
