#include "server/server_options.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QUrl>

#include "platform/socket_address.h"

namespace {

const QString ProgramName = QStringLiteral("kivolsrv");
// A week: the grace period in milliseconds must fit a timer's int.
constexpr int MaxGraceSeconds = 7 * 24 * 60 * 60;
// Every table costs memory whether or not it is busy.
constexpr int MaxTables = 1000000;
// More than a process can hold open.
constexpr int MaxPerAddress = 1000000;

}  // namespace

TParsedCommandLine<TServerOptions> ParseServerOptions(const QStringList& arguments)
{
    TParsedCommandLine<TServerOptions> parsed;
    TServerOptions& options = parsed.Values;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kivol game server."));
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("Listen on TCP port N (default %1).").arg(options.Port), QStringLiteral("N")},
        {QStringLiteral("listen"),
         QStringLiteral("Listen on one local IPv4 or IPv6 address only (default: every address, IPv6 and IPv4)."),
         QStringLiteral("ADDRESS")},
        {QStringLiteral("headless"), QStringLiteral("Serve without a window, the log on standard output.")},
        {QStringLiteral("grace"),
         QStringLiteral("Keep a dropped player's place for SECONDS (default %1; 0 keeps it until cleared).")
             .arg(options.Rules.GraceSeconds),
         QStringLiteral("SECONDS")},
        {QStringLiteral("trust-names"), QStringLiteral("Relay every packet whatever player name it carries.")},
        {QStringLiteral("solver-limit"),
         QStringLiteral("The longest the server spends judging one hit, 1 to 1000 (default %1).")
             .arg(options.Rules.SolverLimitMs),
         QStringLiteral("MS")},
        {QStringLiteral("max-tables"),
         QStringLiteral("Hold at most N tables besides the main one (default %1; 0: the main table only).")
             .arg(options.Rules.MaxTables),
         QStringLiteral("N")},
        {QStringLiteral("control"), QStringLiteral("Listen for the operator (kivolctl) on the Unix socket PATH."),
         QStringLiteral("PATH")},
        {QStringLiteral("control-group"),
         QStringLiteral("Members of GROUP may use the control socket too."), QStringLiteral("GROUP")},
        {QStringLiteral("state-dir"), QStringLiteral("Keep bans.json, tables.json and the records (kivol.db) in DIR."),
         QStringLiteral("DIR")},
        {QStringLiteral("max-per-address"),
         QStringLiteral("Accept at most N connections at once from one address (default %1; 0: no limit).")
             .arg(options.Limits.MaxPerAddress),
         QStringLiteral("N")},
        {QStringLiteral("limit-loopback"), QStringLiteral("Apply the limits per address to loopback addresses too.")},
        {QStringLiteral("no-records"),
         QStringLiteral("Keep no records: no games, registered names or ratings (every name plays as a guest).")},
        {QStringLiteral("metrics-allow"),
         QStringLiteral("Answer /metrics to ADDRESS[/PREFIX] besides loopback peers (repeatable)."),
         QStringLiteral("ADDRESS[/PREFIX]")},
        {QStringLiteral("public-url"),
         QStringLiteral("Tell players that the server's pages are at URL (default: the web port at the address "
                        "they connected to)."),
         QStringLiteral("URL")},
    });
    AddWebPortOptions(parser);
    parsed.Outcome = ParseCommandLine(parser, arguments, ProgramName);
    if (parsed.Outcome.Exit)
        return parsed;

    for (const QString& problem : {
             ReadIntegerOption(parser, QStringLiteral("port"), 1, 65535, options.Port),
             ReadIntegerOption(parser, QStringLiteral("grace"), 0, MaxGraceSeconds, options.Rules.GraceSeconds),
             ReadIntegerOption(parser, QStringLiteral("solver-limit"), 1, 1000, options.Rules.SolverLimitMs),
             ReadIntegerOption(parser, QStringLiteral("max-tables"), 0, MaxTables, options.Rules.MaxTables),
             ReadIntegerOption(parser, QStringLiteral("max-per-address"), 0, MaxPerAddress,
                               options.Limits.MaxPerAddress),
         }) {
        if (!problem.isEmpty()) {
            parsed.Outcome = BadCommandLine(ProgramName, problem);
            return parsed;
        }
    }
    if (parser.isSet(QStringLiteral("listen"))) {
        options.ListenAddress = parser.value(QStringLiteral("listen")).trimmed();
        // A numeric address only: a name would be looked up at every start
        // and could name another machine.
        if (!IsNumericAddress(options.ListenAddress.toStdString())) {
            parsed.Outcome = BadCommandLine(
                ProgramName, QStringLiteral("--listen takes an IPv4 or IPv6 address, not '%1'.").arg(options.ListenAddress));
            return parsed;
        }
    }
    // The web root defaults to the build's when the program runs from its
    // build folder: found from the program's real file.
    const QString problem =
        ReadWebPortOptions(parser, QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath(), options.Web);
    if (!problem.isEmpty()) {
        parsed.Outcome = BadCommandLine(ProgramName, problem);
        return parsed;
    }
    for (const QString& text : parser.values(QStringLiteral("metrics-allow"))) {
        std::string why;
        const auto pattern = ReadAddressPattern(text.trimmed().toStdString(), &why);
        if (!pattern) {
            parsed.Outcome = BadCommandLine(
                ProgramName, QStringLiteral("--metrics-allow takes ADDRESS[/PREFIX], not '%1'%2.")
                                 .arg(text, why.empty() ? QString() : QStringLiteral(": ") + QString::fromStdString(why)));
            return parsed;
        }
        options.MetricsAllow.push_back(*pattern);
    }
    if (parser.isSet(QStringLiteral("public-url"))) {
        const QUrl url(parser.value(QStringLiteral("public-url")).trimmed(), QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https") || url.host().isEmpty()) {
            parsed.Outcome = BadCommandLine(ProgramName, QStringLiteral("--public-url takes an http or https URL, not '%1'.")
                                                             .arg(parser.value(QStringLiteral("public-url"))));
            return parsed;
        }
        options.PublicUrl = QString::fromLatin1(url.toEncoded());
    }
    options.ControlPath = parser.value(QStringLiteral("control"));
    options.ControlGroup = parser.value(QStringLiteral("control-group"));
    options.StateDirectory = parser.value(QStringLiteral("state-dir"));
    options.Limits.LimitLoopback = parser.isSet(QStringLiteral("limit-loopback"));
    options.Headless = parser.isSet(QStringLiteral("headless"));
    options.Records = !parser.isSet(QStringLiteral("no-records"));
    options.Rules.TrustNames = parser.isSet(QStringLiteral("trust-names"));
    return parsed;
}
