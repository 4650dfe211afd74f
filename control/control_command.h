#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/address_pattern.h"
#include "platform/ansi_string.h"

// The operator's commands, as kivolctl takes them and the server carries them
// out. Both read the same argument vector with ParseControlCommand, so a
// command that kivolctl sends has values the server can trust: player and
// table names are code page 932 bytes (a table's empty name is the main
// table), texts are UTF-8 that code page 932 can write, with no control
// characters, and minutes are within range (0: until lifted).
namespace Control {

// A player name or the addresses of a pattern.
using TPlayerOrAddress = std::variant<AnsiString, TAddressPattern>;

struct TStatusCommand {};
struct TTablesCommand {};
struct TPlayersCommand {
    std::optional<AnsiString> Table;
};
struct TKickCommand {
    AnsiString Name;
    std::optional<AnsiString> Table;
    std::string Reason;
};
struct TBanCommand {
    TPlayerOrAddress What;
    int Minutes = 0;
    std::string Reason;
};
struct TUnbanCommand {
    // A ban's id, or every ban of that name or of exactly that pattern.
    std::variant<int, AnsiString, TAddressPattern> What;
};
struct TBansCommand {};
struct TMuteCommand {
    AnsiString Name;
    int Minutes = 0;
};
struct TUnmuteCommand {
    AnsiString Name;
};
struct TSayCommand {
    std::string Text;
    std::optional<AnsiString> Table;
};
struct TCloseCommand {
    AnsiString Table;
    std::string Reason;
};
struct TShutdownCommand {
    std::optional<int> InMinutes;  // none: at once
    std::string Reason;
    bool Cancel = false;
};
struct TMetricsCommand {};
struct TGameCommand {
    bool Start = true;  // false: stop
    AnsiString Table;
    // The game's fields as "/deal start" takes them (start only).
    std::string Fields;
};

// The records: recorded games (newest first), a player's statistics, the
// leaderboard's exclusions, a copy of the live database, registered names.
struct TGamesCommand {
    std::optional<AnsiString> Table;
    std::optional<AnsiString> Player;
    int Limit = 20;
};
struct TPlayerCommand {
    AnsiString Name;
};
struct TRankCommand {
    AnsiString Name;
    bool Ranked = false;  // false: kept off the leaderboard
};
struct TBackupCommand {
    std::string File;  // absolute (WithAbsolutePaths makes it so at kivolctl)
};
struct TNamesCommand {};
struct TReleaseCommand {
    AnsiString Name;
};

using TControlCommand = std::variant<TStatusCommand, TTablesCommand, TPlayersCommand, TKickCommand, TBanCommand,
                                     TUnbanCommand, TBansCommand, TMuteCommand, TUnmuteCommand, TSayCommand,
                                     TCloseCommand, TShutdownCommand, TMetricsCommand, TGameCommand, TGamesCommand,
                                     TPlayerCommand, TRankCommand, TBackupCommand, TNamesCommand, TReleaseCommand>;

// The command of an argument vector (the command's word first), or why it
// is none: an unknown command or option, a missing or extra argument, a
// value out of range.
struct TParsedControlCommand {
    std::optional<TControlCommand> Command;
    std::string Error;
};
TParsedControlCommand ParseControlCommand(const std::vector<std::string>& arguments);

// The arguments with a relative FILE of "backup" made absolute from the
// caller's working folder: the server's own may be anywhere.
std::vector<std::string> WithAbsolutePaths(std::vector<std::string> arguments);

// One line per command: its grammar and what it does.
std::string ControlCommandsHelp();

}  // namespace Control
