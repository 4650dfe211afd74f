#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "client/client_language.h"
#include "platform/command_line.h"

// How the player starts kivolcli.
struct TClientOptions {
    // The address box's text: the server (host, host:port, IPv6 address or
    // [IPv6]:port), then "/" and a table's name and "#key=" and its key when given.
    QString Address;
    // The name box's text.
    QString Name;
    // Joins as a watcher.
    bool Watch = false;
    // The language --lang chose; the environment's when it is not given.
    std::optional<TClientLanguage> Language;

    // With both given the client connects as soon as its window is up.
    bool ConnectAtStart() const { return !Address.isEmpty() && !Name.isEmpty(); }
};

// Reads kivolcli's command line (the program's path first):
//   --connect HOST[:PORT][/TABLE][#key=KEY]   the server and table, as the address box takes them
//   kivol://HOST[:PORT]/TABLE[#key=KEY]        the same as a link (TABLE percent-encoded UTF-8)
//   --name NAME             the player's name, at most 8 bytes in Shift-JIS
//   --watch                 joins as a watcher
//   --lang ja|en            the language of the window (else the locale's)
// and --help and --version.
TParsedCommandLine<TClientOptions> ParseClientOptions(const QStringList& arguments);
