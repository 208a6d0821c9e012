#pragma once

#include "sim/modules/simmodule.h"

#include <QByteArray>

#include <array>
#include <deque>
#include <optional>

namespace kestrava::sim {

// The text display with keypad. Bytes written to register 0 are display commands
// (12 clear, 13 carriage return, 19/20 backlight on/off, 1 home) or characters
// shown at the cursor. Registers 1 and 2 hold one bit per key held down, driven by
// the control interface: press and release a key, or type keys, each held for a
// number of reads of its register and then released for one read of the keypad.
class SimLcd03 : public SimModule
{
public:
    static constexpr int Rows = 4;
    static constexpr int Columns = 20;
    static constexpr quint8 CommandRegister = 0;
    static constexpr quint8 KeypadLow = 1;
    static constexpr quint8 KeypadHigh = 2;
    static constexpr quint8 VersionRegister = 3;
    static constexpr quint8 SoftwareVersion = 11;
    static constexpr quint8 FreeBuffer = 64;

    SimLcd03();
    QString kind() const override { return QStringLiteral("lcd03"); }
    void write(quint8 firstRegister, QByteArrayView data, SimTime now) override;
    quint8 peek(quint8 reg, SimTime now) const override;
    QStringList describe(SimTime now) const override;

    // The four lines of 20 characters, in Latin-1.
    QStringList screen() const;
    bool backlight() const { return m_backlight; }
    int cursorRow() const { return m_row; }
    int cursorColumn() const { return m_column; }

    // Keys are "1".."9", "*", "0", "#". False for anything else.
    static bool isKey(QChar key);
    bool press(QChar key);
    void release() { m_held = 0; }
    bool release(QChar key);
    // Queues keys to type; each is held for `reads` reads of its own register.
    bool type(const QString &keys, int reads = 1);

protected:
    quint8 readRegister(quint8 reg, SimTime now) override;

private:
    struct TypedKey
    {
        int bit;
        int readsLeft;
    };
    static std::optional<int> keyBit(QChar key);
    static quint8 registerOfBit(int bit) { return bit < 8 ? KeypadLow : KeypadHigh; }
    quint16 keysDown() const;
    void show(quint8 byte);
    void clear();

    std::array<QByteArray, Rows> m_lines;
    int m_row = 0;
    int m_column = 0;
    bool m_backlight = false;
    quint16 m_held = 0; // bits 0..7 register 1, bits 8..11 register 2
    std::deque<TypedKey> m_typing;
    bool m_releaseRead = false; // the next keypad read sees the typed key released
};

} // namespace kestrava::sim
