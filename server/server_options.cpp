#include "server/server_options.h"

#include <QCommandLineParser>

#include "platform/socket_address.h"

namespace {

const QString ProgramName = QStringLiteral("kivolsrv");
// A week: the grace period in milliseconds must fit a timer's int.
constexpr int MaxGraceSeconds = 7 * 24 * 60 * 60;
// Every table costs memory whether or not it is busy.
constexpr int MaxTables = 1000000;

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
    });
    parsed.Outcome = ParseCommandLine(parser, arguments, ProgramName);
    if (parsed.Outcome.Exit)
        return parsed;

    for (const QString& problem : {
             ReadIntegerOption(parser, QStringLiteral("port"), 1, 65535, options.Port),
             ReadIntegerOption(parser, QStringLiteral("grace"), 0, MaxGraceSeconds, options.Rules.GraceSeconds),
             ReadIntegerOption(parser, QStringLiteral("solver-limit"), 1, 1000, options.Rules.SolverLimitMs),
             ReadIntegerOption(parser, QStringLiteral("max-tables"), 0, MaxTables, options.Rules.MaxTables),
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
    options.Headless = parser.isSet(QStringLiteral("headless"));
    options.Rules.TrustNames = parser.isSet(QStringLiteral("trust-names"));
    return parsed;
}
