#pragma once

#include <QString>
#include <QStringList>

#include "platform/command_line.h"
#include "platform/address_pattern.h"
#include "server/address_limits.h"
#include "table/game_rules.h"
#include "web_port/web_port_options.h"

// The game's TCP port unless the operator names another.
inline constexpr int DefaultGamePort = 16523;

// How the operator starts kivolsrv.
struct TServerOptions {
    int Port = DefaultGamePort;
    // Empty: every address, IPv6 and IPv4.
    QString ListenAddress;
    // Serve without a window even where there is a display.
    bool Headless = false;
    TGameRules Rules;
    // The browser client's port beside the game's.
    TWebPortOptions Web;
    // The operator's control socket (empty: the default path) and the group
    // whose members may use it besides root and the server's own user.
    QString ControlPath;
    QString ControlGroup;
    // Where bans.json, tables.json and kivol.db live (empty: the default folder).
    QString StateDirectory;
    // Keep kivol.db: games, registered names and ratings.
    bool Records = true;
    TAddressLimitOptions Limits;
    // Who besides loopback peers may read /metrics on the web port.
    std::vector<TAddressPattern> MetricsAllow;
    // Where players are told the server's pages are (empty: the web port at
    // the address each connected to), as ASCII.
    QString PublicUrl;
};

// Reads kivolsrv's command line (the program's path first):
//   --port N              the TCP port, 1 to 65535
//   --listen ADDRESS      one local address, IPv4 or IPv6
//   --headless            no window even with a display
//   --grace SECONDS       how long a dropped player's place waits (0: until cleared)
//   --trust-names         relay every packet whatever name it carries
//   --solver-limit MS     the longest the server spends judging one hit, 1 to 1000
//   --max-tables N        how many tables the server holds besides the main one
// the web port's options (web_port_options.h)
//   --control PATH        the operator's control socket
//   --control-group GROUP whose members may use it too
//   --state-dir DIR       the folder of bans.json, tables.json and kivol.db
//   --max-per-address N   connections at once from one address (0: no limit)
//   --limit-loopback      loopback addresses are limited too
//   --no-records          no kivol.db: no records, registrations or ratings
//   --metrics-allow ADDRESS[/PREFIX]  who may read /metrics (repeatable)
//   --public-url URL      where players are told the server's pages are (http or https)
// and --help and --version.
TParsedCommandLine<TServerOptions> ParseServerOptions(const QStringList& arguments);
