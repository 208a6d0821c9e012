#pragma once

#include "link/reading.h"

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <variant>
#include <vector>

// What a command gives, carried out once for the command line and the server alike:
// its values, or the reason there are none. Each side renders it in its own terms.
namespace kestrava::cli {

// One named value; Null when its own answer did not come. An array's elements may
// carry CSV column names of their own (range_E0, ...).
struct Column
{
    QString name;
    QJsonValue value;
    QStringList elementNames = {};
};

// One row of values: its columns for CSV, JSON lines and the server's result, and its
// lines for people.
struct Row
{
    QList<Column> columns;
    QStringList plain = {};
    // What was set rather than read (the relays' pattern): the command line shows it,
    // the server's result holds none.
    bool echo = false;
};

// Why a value is missing, or why a command was not carried out.
struct Complaint
{
    Unanswered where;          // the register it is about, and what became of its frame
    QString why = {};          // what could not be done and why; empty: the register's answer did not come
    bool ofSimulator = false;  // the simulator refused or could not be asked; the bus is not concerned
};

struct Result
{
    // The worst met; Taken when every answer came.
    Outcome outcome = Outcome::Taken;
    // In the order they happened, so that each complaint comes out beside its row.
    std::vector<std::variant<Row, Complaint>> parts;
    QString footer;          // a closing line for people (probe's count)
    bool stopUnsent = false; // the motors' stop could not go out: they may still run

    void add(Row row) { parts.emplace_back(std::move(row)); }
    void add(Complaint complaint) { parts.emplace_back(std::move(complaint)); }
    const Complaint *firstComplaint() const;
};

// The readings of one pass as a row: single fields as columns, repeated fields
// (pixel, range) as one array column named in the plural; the plain lines carry
// the units and name each ranger by its address.
Row rowOf(const std::vector<Reading> &readings);
// "B0 register 13".
QString registerText(quint8 address, quint8 reg);
// What is said of a register whose answer did not come.
QString complaintText(Outcome outcome, quint8 address, quint8 reg);

} // namespace kestrava::cli
