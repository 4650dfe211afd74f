#pragma once

#include <QString>
#include <optional>
#include <string>

#include "platform/ansi_string.h"

// Where the player goes: a server and, on a server with tables, one table.
// The address box and --connect take HOST[:PORT][/TABLE][#key=KEY]; both take
// a link too, kivol://HOST[:PORT]/TABLE[#key=KEY], whose table name is
// percent-encoded UTF-8 (a chat program passes such a link to kivolcli).
struct TServerAddress {
    // host, host:port, an IPv6 address or [IPv6]:port, as ServerPlace reads it.
    QString Server;
    // The table's name in code page 932; nothing for the main table.
    std::optional<AnsiString> Table;
    // A private table's key.
    std::optional<std::string> Key;
    bool operator==(const TServerAddress&) const = default;
};

// What makes a text no address.
enum class TAddressProblem { None, Link, Table, Key };

// What the player reads about the problem (for the window; the command line
// says it in its own words).
QString AddressProblemSentence(TAddressProblem problem);

// True for a text that is meant as a link (it starts with "kivol:").
bool IsKivolLink(const QString& text);

// The address a text names, or nothing with the reason. The server part of a
// box text is not checked here (a host that does not exist fails its lookup
// and says so); a link must name a host.
std::optional<TServerAddress> ReadServerAddress(const QString& text, TAddressProblem& problem);

// The table name as typed, in code page 932; nothing when it is no valid name.
std::optional<AnsiString> ReadTableName(const QString& name);

// The address box's text for an address: server[/table][#key=KEY].
QString AddressText(const TServerAddress& address);
