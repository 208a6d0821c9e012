#pragma once

#include <QtGlobal>

#include <array>

// The MD23 dual-motor controller as the motor drive uses it.
namespace kestrava::md23 {

// Writes go to the even address; reads use Address + 1. The address change of the
// General frame never alters it.
inline constexpr quint8 Address = 0xB0;

// Registers.
inline constexpr quint8 Speed1 = 0;         // 128 stops; above drives forward
inline constexpr quint8 Speed2Turn = 1;     // 128 straight on; above turns right
inline constexpr quint8 Encoder1 = 2;       // 2..5, most significant byte first
inline constexpr quint8 Encoder2 = 6;       // 6..9
inline constexpr quint8 BatteryVoltage = 10;
inline constexpr quint8 Motor1Current = 11;
inline constexpr quint8 Motor2Current = 12;
inline constexpr quint8 SoftwareVersion = 13;
inline constexpr quint8 Acceleration = 14;  // 1, 5 or 10
inline constexpr quint8 Mode = 15;          // 0 to 3; the window sets 0 or 2
inline constexpr quint8 Command = 16;

// Values of the command register.
inline constexpr quint8 ClearEncoders = 0x20;
inline constexpr quint8 RegulationOff = 0x30;
inline constexpr quint8 RegulationOn = 0x31;
inline constexpr quint8 AutoStopOff = 0x32;
inline constexpr quint8 AutoStopOn = 0x33;

// The speed that stops a motor (and the turn that goes straight on).
inline constexpr quint8 Stop = 128;

// Modes 1 and 3 take the speed registers as signed bytes, where 128 is -128,
// full reverse, and 0 stops.
inline constexpr quint8 HighestMode = 3;
constexpr quint8 stopFor(quint8 mode)
{
    return mode == 1 || mode == 3 ? 0 : Stop;
}

// A button that writes one register once and forgets it.
struct SettingButton
{
    const char *handler;
    quint8 reg;
    quint8 value;
};

inline constexpr std::array<SettingButton, 12> SettingButtons{{
    {"Command2_Click", Speed1, 255},            // "Motor1 marcha"
    {"Command3_Click", Speed1, Stop},           // "Motor 1 paro"
    {"CmdModo0_Click", Mode, 0},
    {"CmdModo2_Click", Mode, 2},
    {"CmdAcel10_Click", Acceleration, 10},
    {"CmdAcel5_Click", Acceleration, 5},
    {"CmdAcel1_Click", Acceleration, 1},
    {"CmdResetCounter_Click", Command, ClearEncoders},
    {"CmdAutoOff_Click", Command, RegulationOff},
    {"CmdAutoOn_Click", Command, RegulationOn},
    {"CmdStopOff_Click", Command, AutoStopOff},
    {"CmdStopOn_Click", Command, AutoStopOn},
}};

// A timed move: drive one register, wait `ticks` (WaitTicks, 50 ms each), stop.
struct TimedMove
{
    quint8 drive;
    qint16 ticks;
};

// CmdAdelante1(0..7) on the speed 1 register: 0-3 forward, 4-7 back, the further
// the button from the centre the longer the move.
inline constexpr std::array<TimedMove, 8> StraightMoves{{
    {136, 10}, {140, 15}, {140, 20}, {140, 30},
    {120, 10}, {116, 15}, {116, 20}, {116, 30},
}};

// CmdGiro(0..7) on the turn register: 0-3 right ("10", "30", "45", "90"), 4-7 left.
inline constexpr std::array<TimedMove, 8> TurnMoves{{
    {135, 10}, {140, 6}, {139, 14}, {139, 28},
    {121, 10}, {116, 6}, {117, 14}, {117, 28},
}};

} // namespace kestrava::md23
