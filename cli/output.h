#pragma once

#include "cli/result.h"

#include <QTextStream>

namespace kestrava::cli {

enum class Format { Plain, Csv, Json };

// The command line's rendering of a result: its rows on standard output in the chosen
// format, CSV with one header line (taken from the first row) and `t` first, JSON one
// object per line with `t` first, and its complaints on standard error, each in turn.
// An array value becomes one CSV column per element (its element names, or name1, name2, ...).
class Printer
{
public:
    Printer(QTextStream &out, QTextStream &errors, Format format);
    void print(const Result &result, double secondsSinceStart);

private:
    void print(const Row &row, double secondsSinceStart);
    void complain(const Complaint &complaint);
    // Default output only: a closing line (probe's count).
    void printFooter(const QString &line);
    QString csvLine(const Row &row, double seconds) const;
    QString csvHeader(const Row &row) const;
    QString jsonLine(const Row &row, double seconds) const;

    QTextStream &m_out;
    QTextStream &m_errors;
    Format m_format;
    bool m_headerDone = false;
};

} // namespace kestrava::cli
