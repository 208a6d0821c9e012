#include "panel/readinglog.h"

#include <QDateTime>

namespace kestrava {

namespace {
// A caption may hold the locale's decimal comma.
QByteArray csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"'))
        return text.toUtf8();
    return '"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")).toUtf8() + '"';
}
} // namespace

bool ReadingLog::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    if (m_file.size() == 0)
        m_file.write("time,module,field,value\n");
    m_file.flush();
    return true;
}

void ReadingLog::write(const Reading &reading)
{
    if (!m_file.isOpen() || reading.shown.isEmpty())
        return; // off, or a reading no caption showed
    const QString time = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    m_file.write(time.toUtf8() + ',' + reading.module.toUtf8() + ',' + logFieldName(reading).toUtf8() + ','
                 + csvField(reading.shown) + '\n');
    m_file.flush(); // every row survives a crash or a pulled plug
}

QString logFieldName(const Reading &reading)
{
    return reading.index < 0 ? reading.field : reading.field + QString::number(reading.index + 1);
}

} // namespace kestrava
