#pragma once

#include "link/field.h"
#include <QtGlobal>

#include <array>

// The MD23 dual-motor controller as the motor drive uses it.
namespace kestrava::md23 {

namespace fields {
inline constexpr Field Encoder1{"md23", "encoder1"};
inline constexpr Field Encoder2{"md23", "encoder2"};
inline constexpr Field Battery{"md23", "battery", Scale::Tenths};
inline constexpr Field Version{"md23", "version"};
inline constexpr Field Current1{"md23", "current1", Scale::Tenths};
inline constexpr Field Current2{"md23", "current2", Scale::Tenths};
} // namespace fields

// Writes go to the even address; reads use Address + 1. The address change of the
// General frame never alters it.
inline constexpr quint8 Address = 0xB0;

// Registers.
inline constexpr quint8 Speed1 = 0;         // 128 stops; above drives forward
inline constexpr quint8 Speed2Turn = 1;     // 128 straight on; above turns right
inline constexpr quint8 Encoder1 = 2;       // 2..5, most significant byte first
inline constexpr quint8 Encoder2 = 6;       // 6..9
inline constexpr quint8 BatteryVoltage = 10; // tenths of a volt
inline constexpr quint8 Motor1Current = 11;  // tenths of an ampere
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

// An encoder count as the controller holds it: four register bytes, most
// significant first, a signed 32-bit number (FF FF FF 59 is -167 after a step back).
constexpr qint32 countFromBytes(quint8 b0, quint8 b1, quint8 b2, quint8 b3)
{
    return qint32(quint32(b0) << 24 | quint32(b1) << 16 | quint32(b2) << 8 | b3);
}

// The speed that stops a motor (and the turn that goes straight on).
inline constexpr quint8 Stop = 128;

// Modes 1 and 3 take the speed registers as signed bytes, where 128 is -128,
// full reverse, and 0 stops.
inline constexpr quint8 HighestMode = 3;
constexpr quint8 stopFor(quint8 mode)
{
    return mode == 1 || mode == 3 ? 0 : Stop;
}

// The mode the wheels are driven in one by one: the controller's own at power-up,
// speed 1 the left wheel and speed 2 the right, each up to FullestStep steps either
// side of the stop (1 to 255).
inline constexpr quint8 WheelsMode = 0;
inline constexpr int FullestStep = 127;

// A button that writes one register once and forgets it.
struct SettingButton
{
    quint8 reg;
    quint8 value;
};

namespace settings {
inline constexpr SettingButton Motor1Run{Speed1, 255};    // Command2, "Motor1 marcha"
inline constexpr SettingButton Motor1Stop{Speed1, Stop};  // Command3, "Motor 1 paro"
inline constexpr SettingButton Mode0{Mode, 0};            // CmdModo0
inline constexpr SettingButton Mode2{Mode, 2};            // CmdModo2
inline constexpr SettingButton Acceleration10{Acceleration, 10}; // CmdAcel10
inline constexpr SettingButton Acceleration5{Acceleration, 5};   // CmdAcel5
inline constexpr SettingButton Acceleration1{Acceleration, 1};   // CmdAcel1
inline constexpr SettingButton ResetEncoders{Command, ClearEncoders}; // CmdResetCounter
inline constexpr SettingButton SpeedRegulationOff{Command, RegulationOff}; // CmdAutoOff
inline constexpr SettingButton SpeedRegulationOn{Command, RegulationOn};   // CmdAutoOn
inline constexpr SettingButton TimeoutStopOff{Command, AutoStopOff};       // CmdStopOff
inline constexpr SettingButton TimeoutStopOn{Command, AutoStopOn};         // CmdStopOn
} // namespace settings

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
