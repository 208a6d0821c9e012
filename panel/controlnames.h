#pragma once

namespace kestrava::controls {

// The controls whose events run handlers, each named once: the layout declares them
// by these names and the event table's rows point at them, so that a misspelt name
// fails the build instead of leaving a dead control.
inline constexpr char ComboCom[] = "ComboCom";
inline constexpr char CmdDireccion[] = "CmdDireccion";
inline constexpr char Command2[] = "Command2";
inline constexpr char Command3[] = "Command3";
inline constexpr char CmdStopOff[] = "CmdStopOff";
inline constexpr char CmdStopOn[] = "CmdStopOn";
inline constexpr char CmdAcel10[] = "CmdAcel10";
inline constexpr char CmdAcel5[] = "CmdAcel5";
inline constexpr char CmdAcel1[] = "CmdAcel1";
inline constexpr char CmdModo2[] = "CmdModo2";
inline constexpr char CmdModo0[] = "CmdModo0";
inline constexpr char CmdAutoOn[] = "CmdAutoOn";
inline constexpr char CmdAutoOff[] = "CmdAutoOff";
inline constexpr char CmdResetCounter[] = "CmdResetCounter";
inline constexpr char CmdAdelante1[] = "CmdAdelante1";
inline constexpr char CmdGiro[] = "CmdGiro";
inline constexpr char CmdLeerDatos[] = "CmdLeerDatos";
inline constexpr char Image1[] = "Image1";
inline constexpr char ServoScroll[] = "ServoScroll";
inline constexpr char VeloScroll[] = "VeloScroll";
inline constexpr char ReleOn[] = "ReleOn";
inline constexpr char ReleOff[] = "ReleOff";
inline constexpr char CmdTodoOn[] = "CmdTodoOn";
inline constexpr char CmdTodoOff[] = "CmdTodoOff";
inline constexpr char CmdLCD03_1[] = "CmdLCD03_1";
inline constexpr char CmdLCD03_2[] = "CmdLCD03_2";
inline constexpr char CmdLCD03_3[] = "CmdLCD03_3";
inline constexpr char CmdLCD03_4[] = "CmdLCD03_4";
inline constexpr char CmdLCD03_5[] = "CmdLCD03_5";
inline constexpr char CmdLCD03_6[] = "CmdLCD03_6";
inline constexpr char CmdBrujula[] = "CmdBrujula";
inline constexpr char CmdTPA81[] = "CmdTPA81";
inline constexpr char CmdDistancia[] = "CmdDistancia";

} // namespace kestrava::controls
