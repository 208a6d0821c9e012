#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <vector>

// The checks of a command's values, as words on the command line or as JSON params:
// each takes a value's type and range and throws a Refusal that says what is wrong.
namespace kestrava::cli {

struct Refusal
{
    QString message;
};

// A command's arguments after its name: "REG must be a number from 0 to 255, not "x"".
class Words
{
public:
    explicit Words(const QStringList &words) : m_words(words) {}
    qsizetype size() const { return m_words.size(); }
    const QStringList &all() const { return m_words; }
    long number(qsizetype i, const char *what, long least, long most) const;
    quint8 address(qsizetype i) const;
    QString text(qsizetype i, const char *what, int longest) const;

private:
    QStringList m_words;
};

// A method's param: its name, its type and its range, which the server's reference states.
struct Param
{
    enum Type {
        Whole,   // least to most
        Address, // an even bus address, least to most
        Bytes,   // a list of least to most numbers 0 to 255
        Flag,    // true or false
        Text,    // a string of up to most characters
        OneLine, // a name or a path on one line
        Decimal, // a number least to most
    };
    const char *name;
    Type type;
    long least = 0;
    long most = 0;
};

// A method's params by name, each checked by its Param: ""register" must be a whole
// number from 0 to 255".
class Params
{
public:
    Params(const QJsonObject &object, const std::vector<Param> &params) : m_object(object), m_params(params) {}
    bool has(const char *name) const { return m_object.contains(QLatin1String(name)); }
    long number(const char *name) const;
    quint8 address(const char *name) const;
    std::vector<quint8> bytes(const char *name) const;
    bool flag(const char *name, bool byDefault) const;
    QString text(const char *name) const;
    // No line breaks to smuggle a second control command in.
    QString oneLine(const char *name) const;
    double decimal(const char *name) const;

private:
    const Param &param(const char *name) const;
    long whole(const char *name, long least, long most) const;
    QString string(const char *name) const;

    QJsonObject m_object;
    const std::vector<Param> &m_params;
};

} // namespace kestrava::cli
