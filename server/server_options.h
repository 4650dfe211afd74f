#pragma once

#include <QString>
#include <QStringList>

#include "platform/command_line.h"
#include "server/game_rules.h"

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
};

// Reads kivolsrv's command line (the program's path first):
//   --port N              the TCP port, 1 to 65535
//   --listen ADDRESS      one local address, IPv4 or IPv6
//   --headless            no window even with a display
//   --grace SECONDS       how long a dropped player's place waits (0: until cleared)
//   --trust-names         relay every packet whatever name it carries
//   --solver-limit MS     the longest the server spends judging one hit, 1 to 1000
//   --max-tables N        how many tables the server holds besides the main one
// and --help and --version.
TParsedCommandLine<TServerOptions> ParseServerOptions(const QStringList& arguments);
