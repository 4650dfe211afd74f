#include "client/client_options.h"

#include <QCommandLineParser>

#include "platform/cp932.h"
#include "platform/host_and_port.h"
#include "protocol/command_words.h"
#include "protocol/padded_name.h"

namespace {

const QString ProgramName = QStringLiteral("kivolcli");

// Why the name cannot be a player's name, or an empty text.
QString NameProblem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("--name takes a name of one character or more.");
    if (Cp932::ByteLength(name) > Protocol::PaddedNameLength)
        return QStringLiteral("--name takes at most %1 bytes in Shift-JIS (four Japanese characters), not '%2'.")
            .arg(Protocol::PaddedNameLength)
            .arg(name);
    if (name.startsWith(QLatin1Char(Protocol::Command::Prefix)))
        return QStringLiteral("--name must not start with '%1'.").arg(QLatin1Char(Protocol::Command::Prefix));
    return {};
}

}  // namespace

TParsedCommandLine<TClientOptions> ParseClientOptions(const QStringList& arguments)
{
    TParsedCommandLine<TClientOptions> parsed;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kivol game client."));
    parser.addOptions({
        {QStringLiteral("connect"),
         QStringLiteral("The server: a host name or address, host:port, an IPv6 address or [IPv6]:port."),
         QStringLiteral("HOST[:PORT]")},
        {QStringLiteral("name"), QStringLiteral("The player's name (at most 8 bytes in Shift-JIS)."),
         QStringLiteral("NAME")},
    });
    parsed.Outcome = ParseCommandLine(parser, arguments, ProgramName);
    if (parsed.Outcome.Exit)
        return parsed;

    if (parser.isSet(QStringLiteral("connect"))) {
        const QString address = parser.value(QStringLiteral("connect")).trimmed();
        if (address.isEmpty() || !ParseHostAndPort(address.toStdString())) {
            parsed.Outcome = BadCommandLine(
                ProgramName,
                QStringLiteral("--connect takes host, host:port, an IPv6 address or [IPv6]:port, not '%1'.").arg(address));
            return parsed;
        }
        parsed.Values.Address = address;
    }
    if (parser.isSet(QStringLiteral("name"))) {
        const QString name = parser.value(QStringLiteral("name"));
        if (const QString problem = NameProblem(name); !problem.isEmpty()) {
            parsed.Outcome = BadCommandLine(ProgramName, problem);
            return parsed;
        }
        parsed.Values.Name = name;
    }
    return parsed;
}
