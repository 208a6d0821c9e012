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

// A method's params by name: ""register" must be a whole number from 0 to 255".
class Params
{
public:
    explicit Params(const QJsonObject &object) : m_object(object) {}
    bool has(const char *name) const { return m_object.contains(QLatin1String(name)); }
    long number(const char *name, long least, long most) const;
    quint8 address(const char *name) const;
    std::vector<quint8> bytes(const char *name, int most) const;
    bool flag(const char *name, bool byDefault) const;
    QString text(const char *name, int longest = -1) const; // longest -1: any length
    // A word or path for one line of a control command: no line breaks to smuggle a second command in.
    QString oneLine(const char *name) const;
    double decimal(const char *name, double least, double most) const;

private:
    QJsonObject m_object;
};

} // namespace kestrava::cli
