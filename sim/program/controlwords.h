#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrava::sim {

// Why a control command was refused: the text of its "error: " line.
struct CommandError
{
    QString text;
};

[[noreturn]] void refuse(const QString &text);

// A bus address as the commands write it: hexadecimal, with or without 0x.
std::optional<quint8> parseAddress(const QString &text);

// The words of a command after its name, taken in order. A word missing or wrong
// refuses the command with a reason that names what was expected.
class ControlWords
{
public:
    static constexpr qsizetype MaxBytes = 1024; // bytes set, written or queued as a fault

    explicit ControlWords(QStringList words) : m_words(std::move(words)) {}

    bool isEmpty() const { return m_words.isEmpty(); }
    QString first() const { return m_words.value(0); }
    void skip() { m_words.removeFirst(); }

    QString take(const char *what);
    quint8 address(); // a module's, so even
    uint number(const char *what, uint max);
    double decimal(const char *what, double low, double high);
    QByteArray bytes(); // the rest of the line, each a byte
    bool onOff(bool byDefault);
    // Takes the word when it comes next and is the last one.
    bool takeLast(QLatin1StringView word);
    QString rest(); // the rest of the line as written, blanks between words kept single
    void noMore() const;

private:
    QStringList m_words;
};

} // namespace kestrava::sim
