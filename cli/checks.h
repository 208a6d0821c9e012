#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <vector>

// The checks of a command's values, as words on the command line or as JSON params:
// both read each value through its Param, whose type and range are written once in
// the table of commands, and throw a Refusal that says what is wrong in their own terms.
namespace kestrava::cli {

struct Refusal
{
    QString message;
};

// One value of a command: its name as a JSON param, its type and its range, which the
// server's reference states, and its name as a word in the command's usage.
struct Param
{
    enum Type {
        Whole,     // least to most
        Address,   // an even bus address, least to most
        Addresses, // the words from here on, each an Address
        Bytes,     // a list of least to most numbers 0 to 255
        Flag,      // true or false
        Text,      // a string of up to most characters
        OneLine,   // a name or a path on one line, at most `most` characters; as words, the words from here on
        Decimal,   // a number least to most
    };
    const char *name;
    Type type;
    long least = 0;
    long most = 0;
    const char *word = nullptr; // "REG"; none: not given on the command line
};

// A command's values by their Param's name, read from words or from JSON. A kind that
// one side never gives (a decimal as words, a list of addresses as JSON) is refused.
class Values
{
public:
    explicit Values(const std::vector<Param> &params) : m_params(params) {}
    virtual ~Values() = default;
    virtual bool has(const char *name) const = 0;
    long number(const char *name) const { return number(name, param(name).most); }
    // Where the range narrows with another value (a dump's count, with its first register).
    virtual long number(const char *name, long most) const = 0;
    virtual quint8 address(const char *name) const = 0;
    virtual std::vector<quint8> addresses(const char *name) const { throw notGiven(name); }
    virtual std::vector<quint8> bytes(const char *name) const = 0;
    virtual bool flag(const char *name, bool byDefault) const = 0;
    virtual QString text(const char *name) const = 0;
    virtual QString oneLine(const char *name) const = 0;
    virtual double decimal(const char *name) const { throw notGiven(name); }

protected:
    // The row's own Param; a name missing from it is a slip in the table, refused by every call.
    const Param &param(const char *name) const;
    const std::vector<Param> &params() const { return m_params; }

private:
    static Refusal notGiven(const char *name);

    const std::vector<Param> &m_params;
};

// A command's arguments after its name, in the order of its Params that have a word:
// "REG must be a number from 0 to 255, not "x"".
class Words : public Values
{
public:
    Words(const QStringList &words, const std::vector<Param> &params) : Values(params), m_words(words) {}
    bool has(const char *name) const override { return position(name) < m_words.size(); }
    using Values::number;
    long number(const char *name, long most) const override;
    quint8 address(const char *name) const override;
    std::vector<quint8> addresses(const char *name) const override;
    std::vector<quint8> bytes(const char *name) const override;
    // Flags are the command line's options, never its words.
    bool flag(const char *, bool byDefault) const override { return byDefault; }
    QString text(const char *name) const override;
    // The words from its place on, as one line.
    QString oneLine(const char *name) const override;

private:
    qsizetype position(const char *name) const;
    long numberAt(qsizetype i, const char *word, long least, long most) const;
    quint8 addressAt(qsizetype i, const Param &p) const;

    QStringList m_words;
};

// A method's params by name: "\"register\" must be a whole number from 0 to 255".
class Params : public Values
{
public:
    Params(const QJsonObject &object, const std::vector<Param> &params) : Values(params), m_object(object) {}
    bool has(const char *name) const override { return m_object.contains(QLatin1String(name)); }
    using Values::number;
    long number(const char *name, long most) const override;
    quint8 address(const char *name) const override;
    std::vector<quint8> bytes(const char *name) const override;
    bool flag(const char *name, bool byDefault) const override;
    QString text(const char *name) const override;
    // No line breaks to smuggle a second control command in.
    QString oneLine(const char *name) const override;
    double decimal(const char *name) const override;

private:
    QString string(const char *name) const;

    QJsonObject m_object;
};

} // namespace kestrava::cli
