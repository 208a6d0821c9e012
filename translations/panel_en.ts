<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="es">
<context>
    <name>kestrava::ControlPanel</name>
    <message>
        <source>No se pudo iniciar el bus simulado: %1</source>
        <translation>Could not start the simulated bus: %1</translation>
    </message>
    <message>
        <source>SIN PUERTO — ningún puerto elegido</source>
        <translation>NO PORT — no port chosen</translation>
    </message>
    <message>
        <source>SIN PUERTO — %1 no se pudo abrir</source>
        <translation>NO PORT — %1 could not be opened</translation>
    </message>
    <message>
        <source>PUERTO PERDIDO — %1 desconectado</source>
        <translation>PORT LOST — %1 disconnected</translation>
    </message>
    <message>
        <source>BUS SIMULADO — sin hardware</source>
        <translation>SIMULATED BUS — no hardware</translation>
    </message>
    <message>
        <source>Módulos I2C por adaptador USB</source>
        <translation>I2C modules through a USB adapter</translation>
    </message>
    <message>
        <source>Control de periféricos I2C</source>
        <translation>I2C peripheral control</translation>
    </message>
    <message>
        <source>General</source>
        <translation>General</translation>
    </message>
    <message>
        <source>Motor1 marcha</source>
        <translation>Motor 1 run</translation>
    </message>
    <message>
        <source>Motor 1 paro</source>
        <translation>Motor 1 stop</translation>
    </message>
    <message>
        <source>Quitar AutoStop</source>
        <translation>AutoStop off</translation>
    </message>
    <message>
        <source>Poner AutoStop</source>
        <translation>AutoStop on</translation>
    </message>
    <message>
        <source>Aceleracion 10</source>
        <translation>Acceleration 10</translation>
    </message>
    <message>
        <source>Aceleracion 5</source>
        <translation>Acceleration 5</translation>
    </message>
    <message>
        <source>Aceleracion 1</source>
        <translation>Acceleration 1</translation>
    </message>
    <message>
        <source>Modo 2</source>
        <translation>Mode 2</translation>
    </message>
    <message>
        <source>Modo 0</source>
        <translation>Mode 0</translation>
    </message>
    <message>
        <source>Poner Auto Velocidad</source>
        <translation>Auto Speed on</translation>
    </message>
    <message>
        <source>Quitar Auto Velocidad</source>
        <translation>Auto Speed off</translation>
    </message>
    <message>
        <source>Borrar Contadores</source>
        <translation>Reset Counters</translation>
    </message>
    <message>
        <source>Leer Datos</source>
        <translation>Read Data</translation>
    </message>
    <message>
        <source>Velocidad 1:</source>
        <translation>Speed 1:</translation>
    </message>
    <message>
        <source>Velocidad 2:</source>
        <translation>Speed 2:</translation>
    </message>
    <message>
        <source>Contador M1:</source>
        <translation>Counter M1:</translation>
    </message>
    <message>
        <source>Contador M2:</source>
        <translation>Counter M2:</translation>
    </message>
    <message>
        <source>Consumo M1:</source>
        <translation>Current M1:</translation>
    </message>
    <message>
        <source>Consumo M2:</source>
        <translation>Current M2:</translation>
    </message>
    <message>
        <source>V Batería:</source>
        <translation>Battery V:</translation>
    </message>
    <message>
        <source>Versión:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>Adelante</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>Atras</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Medir Distancias</source>
        <translation>Measure Distances</translation>
    </message>
    <message>
        <source>Leer Brújula</source>
        <translation>Read Compass</translation>
    </message>
    <message>
        <source>N</source>
        <translation>N</translation>
    </message>
    <message>
        <source>S</source>
        <translation>S</translation>
    </message>
    <message>
        <source>E</source>
        <translation>E</translation>
    </message>
    <message>
        <source>O</source>
        <translation>W</translation>
    </message>
    <message>
        <source>Rumbo:</source>
        <translation>Bearing:</translation>
    </message>
    <message>
        <source>Medir Temperatura</source>
        <translation>Measure Temperature</translation>
    </message>
    <message>
        <source>T. Ambiente: </source>
        <translation>Ambient T.: </translation>
    </message>
    <message>
        <source>Dirección Actual</source>
        <translation>Current Address</translation>
    </message>
    <message>
        <source>Dirección Nueva</source>
        <translation>New Address</translation>
    </message>
    <message>
        <source>Cambiar dirección</source>
        <translation>Change address</translation>
    </message>
    <message>
        <source>On</source>
        <translation>On</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>Valor:</source>
        <translation>Value:</translation>
    </message>
    <message>
        <source>Todo On</source>
        <translation>All On</translation>
    </message>
    <message>
        <source>Todo Off</source>
        <translation>All Off</translation>
    </message>
    <message>
        <source>Escriba el texto a mandar al display </source>
        <translation>Type the text to send to the display </translation>
    </message>
    <message>
        <source>Limpia</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Retorno</source>
        <translation>Return</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>Apaga</source>
        <translation>Light off</translation>
    </message>
    <message>
        <source>Enciende</source>
        <translation>Light on</translation>
    </message>
    <message>
        <source>Teclado</source>
        <translation>Keypad</translation>
    </message>
    <message>
        <source>Velocidad</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Puerto</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Número de Puerto invalido. Seleccione un puerto valido</source>
        <translation>Invalid port number. Choose a valid port</translation>
    </message>
    <message>
        <source>Número de Puerto Invalido. Seleccione otro puerto</source>
        <translation>Invalid port number. Choose another port</translation>
    </message>
</context>
</TS>
