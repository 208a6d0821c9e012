#pragma once

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace kestrava::cli {

enum class Format { Plain, Csv, Json };

// One named value of a reading; Null when it was not read. An array's elements
// may carry CSV column names of their own (range_E0, ...).
struct Column
{
    QString name;
    QJsonValue value;
    QStringList elementNames = {};
};

// One reading as printed: its columns for --csv and --json, its lines for the
// default output.
struct Row
{
    QList<Column> columns;
    QStringList plain;
};

// Writes rows in the chosen format: CSV with one header line (taken from the
// first row) and `t` first; JSON one object per line with `t` first. An array
// value becomes one CSV column per element (its element names, or name1, name2, ...).
class Printer
{
public:
    Printer(QTextStream &out, Format format);
    void print(const Row &row, double secondsSinceStart);
    // Default output only: a closing line (probe's count).
    void printFooter(const QString &line);

private:
    QString csvLine(const Row &row, double seconds) const;
    QString csvHeader(const Row &row) const;
    QString jsonLine(const Row &row, double seconds) const;

    QTextStream &m_out;
    Format m_format;
    bool m_headerDone = false;
};

} // namespace kestrava::cli
