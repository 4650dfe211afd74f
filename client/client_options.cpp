#include "client/client_options.h"

#include <QCommandLineParser>

#include "client/server_address.h"
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

// Why the text is no server address, or an empty text; the address in
// box form otherwise.
QString AddressProblem(const QString& text, const QString& what, QString& boxText)
{
    TAddressProblem problem = TAddressProblem::None;
    const std::optional<TServerAddress> address = ReadServerAddress(text, problem);
    switch (problem) {
    case TAddressProblem::None: break;
    case TAddressProblem::Link:
        return QStringLiteral("a link takes the form kivol://HOST[:PORT]/TABLE, not '%1'.").arg(text);
    case TAddressProblem::Table:
        return QStringLiteral("%1 names no valid table: 1 to 16 printable characters (32 bytes in Shift-JIS), "
                              "none a space or one of \" , / \\ ? # % & =, in '%2'.")
            .arg(what, text);
    case TAddressProblem::Key:
        return QStringLiteral("%1 carries no valid key: 1 to 32 printable ASCII characters, no space, in '%2'.")
            .arg(what, text);
    }
    if (address->Server.isEmpty() || !ParseHostAndPort(address->Server.toStdString()))
        return QStringLiteral("%1 takes host, host:port, an IPv6 address or [IPv6]:port, not '%2'.").arg(what, text);
    boxText = AddressText(*address);
    return {};
}

// Takes the links out of the arguments: the one positional argument the
// program takes. A link given as the value of an option stays there.
QStringList TakeLinks(const QStringList& arguments, QStringList& links)
{
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const bool optionValue = i > 0 && (arguments[i - 1] == QStringLiteral("--connect") ||
                                           arguments[i - 1] == QStringLiteral("--name") ||
                                           arguments[i - 1] == QStringLiteral("--lang"));
        if (i > 0 && !optionValue && IsKivolLink(arguments[i]))
            links << arguments[i];
        else
            rest << arguments[i];
    }
    return rest;
}

}  // namespace

TParsedCommandLine<TClientOptions> ParseClientOptions(const QStringList& arguments)
{
    TParsedCommandLine<TClientOptions> parsed;
    QStringList links;
    const QStringList options = TakeLinks(arguments, links);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kivol game client."));
    parser.addOptions({
        {QStringLiteral("connect"),
         QStringLiteral("The server: a host name or address, host:port, an IPv6 address or [IPv6]:port; "
                        "then /TABLE for a table and #key=KEY for a private table's key."),
         QStringLiteral("HOST[:PORT][/TABLE]")},
        {QStringLiteral("name"), QStringLiteral("The player's name (at most 8 bytes in Shift-JIS)."),
         QStringLiteral("NAME")},
        {QStringLiteral("watch"), QStringLiteral("Watch the table instead of playing at it.")},
        {QStringLiteral("lang"),
         QStringLiteral("The language of the window: ja (Japanese) or en (English); "
                        "by default English under an English locale, Japanese otherwise."),
         QStringLiteral("ja|en")},
    });
    parser.addPositionalArgument(QStringLiteral("link"),
                                 QStringLiteral("A link to a table, kivol://HOST[:PORT]/TABLE (instead of --connect)."),
                                 QStringLiteral("[kivol://HOST[:PORT]/TABLE]"));
    parsed.Outcome = ParseCommandLine(parser, options, ProgramName);
    if (parsed.Outcome.Exit)
        return parsed;

    const bool connect = parser.isSet(QStringLiteral("connect"));
    if (links.size() > 1 || (connect && !links.isEmpty())) {
        parsed.Outcome = BadCommandLine(ProgramName, QStringLiteral("give one server: a link or --connect, once."));
        return parsed;
    }
    const QString address = connect ? parser.value(QStringLiteral("connect")).trimmed() : links.value(0);
    if (connect || !links.isEmpty()) {
        const QString what = connect ? QStringLiteral("--connect") : QStringLiteral("the link");
        if (const QString problem = AddressProblem(address, what, parsed.Values.Address); !problem.isEmpty()) {
            parsed.Outcome = BadCommandLine(ProgramName, problem);
            return parsed;
        }
    }
    parsed.Values.Watch = parser.isSet(QStringLiteral("watch"));
    if (parser.isSet(QStringLiteral("lang"))) {
        const QString language = parser.value(QStringLiteral("lang"));
        parsed.Values.Language = ReadClientLanguage(language);
        if (!parsed.Values.Language) {
            parsed.Outcome = BadCommandLine(ProgramName, QStringLiteral("--lang takes ja or en, not '%1'.").arg(language));
            return parsed;
        }
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
