#pragma once

#include "link/reading.h"

#include <QFile>

namespace kestrava {

// kestrava --log FILE.csv: one appended row per reading the window shows
// ("time,module,field,value"), the value exactly as its caption shows it. It
// listens to what is shown, so it adds no bus traffic.
class ReadingLog
{
public:
    // Opens for appending; a new or empty file gets the header line first.
    bool open(const QString &path);
    QString errorString() const { return m_file.errorString(); }
    void write(const Reading &reading);

private:
    QFile m_file;
};

// The log's field name: "battery", or "pixel3" for the third element of a repeated field.
QString logFieldName(const Reading &reading);

} // namespace kestrava
