#pragma once

#include <QString>
#include <QStringList>

#include "platform/command_line.h"

// How the player starts kivolcli.
struct TClientOptions {
    // The address box's text: host, host:port, IPv6 address or [IPv6]:port.
    QString Address;
    // The name box's text.
    QString Name;

    // With both given the client connects as soon as its window is up.
    bool ConnectAtStart() const { return !Address.isEmpty() && !Name.isEmpty(); }
};

// Reads kivolcli's command line (the program's path first):
//   --connect HOST[:PORT]   the server, as the address box takes it
//   --name NAME             the player's name, at most 8 bytes in Shift-JIS
// and --help and --version.
TParsedCommandLine<TClientOptions> ParseClientOptions(const QStringList& arguments);
