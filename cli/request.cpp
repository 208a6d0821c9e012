#include "cli/request.h"

#include "cli/commands.h"

namespace kestrava::cli {

bool isReading(Command command)
{
    return rowOf(command).reads;
}

std::optional<long> parseNumber(const QString &text)
{
    bool ok = false;
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const long value = hex ? text.mid(2).toLong(&ok, 16) : text.toLong(&ok, 10);
    if (!ok || text.contains(u'+') || text.contains(u'-') || text.contains(u' '))
        return std::nullopt;
    return value;
}

std::optional<quint8> parseAddress(const QString &text)
{
    const QString digits = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2) : text;
    bool ok = false;
    const int value = digits.toInt(&ok, 16);
    if (!ok || digits.isEmpty() || digits.size() > 2 || digits.contains(u'+') || digits.contains(u'-')
        || value < 0x02 || value % 2 != 0)
        return std::nullopt;
    return quint8(value);
}

QString addressText(quint8 address)
{
    return QStringLiteral("%1").arg(address, 2, 16, QLatin1Char('0')).toUpper();
}

std::variant<Request, QString> parseRequest(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return QStringLiteral("no command given; see kestrava-cli --help");
    const CommandRow *row = commandNamed(arguments.first());
    if (!row)
        return QStringLiteral("unknown command \"%1\"; see kestrava-cli --help").arg(arguments.first());
    const QStringList rest = arguments.mid(1);
    if (rest.size() < row->least || (row->most >= 0 && rest.size() > row->most))
        return QStringLiteral("usage: kestrava-cli %1").arg(QLatin1String(row->usage));
    Request request;
    request.command = row->command;
    try {
        row->fromWords(request, Words(rest));
    } catch (const Refusal &refusal) {
        return refusal.message;
    }
    return request;
}

} // namespace kestrava::cli
