<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>kestrava::simview::RunPanel</name>
    <message numerus="yes">
        <source>Running: %L1 s, %n contact(s)</source>
        <translation>
            <numerusform>Running: %L1 s, %n contact</numerusform>
            <numerusform>Running: %L1 s, %n contacts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Candle out in %L1 s, %n contact(s)</source>
        <translation>
            <numerusform>Candle out in %L1 s, %n contact</numerusform>
            <numerusform>Candle out in %L1 s, %n contacts</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>kestrava::simview::TrafficPanel</name>
    <message numerus="yes">
        <source>%n frame(s) on the bus in the last second</source>
        <translation>
            <numerusform>%n frame on the bus in the last second</numerusform>
            <numerusform>%n frames on the bus in the last second</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n byte(s)</source>
        <translation>
            <numerusform>%n byte</numerusform>
            <numerusform>%n bytes</numerusform>
        </translation>
    </message>
</context>
</TS>
