#include "cli/request.h"

#include "cli/commands.h"

namespace kestrava::cli {

bool isReading(Command command)
{
    return tableRow(command).reads;
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
        row->fill(request, Words(rest, row->params));
    } catch (const Refusal &refusal) {
        return refusal.message;
    }
    return request;
}

} // namespace kestrava::cli
