#include "control/control_command.h"

#include <QDir>
#include <QString>
#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <set>

#include "dealer/game_options.h"
#include "platform/cp932.h"
#include "protocol/player_name.h"
#include "protocol/tables.h"

namespace Control {

namespace {

// The longest ban or mute: ten years in minutes; the latest shutdown: a day.
constexpr int MaxMinutes = 5256000;
constexpr int MaxShutdownMinutes = 1440;

// Options that take no value; every other option takes one.
const std::set<std::string> FlagOptions{"--cancel"};

// The words of a command line: its positional arguments and options.
struct TWords {
    std::string Command;
    std::vector<std::string> Positional;
    std::map<std::string, std::string> Values;
    std::set<std::string> Flags;

    std::optional<std::string> Value(const std::string& option) const
    {
        const auto found = Values.find(option);
        return found == Values.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
};

// Why a command line is no command; thrown while reading one.
struct TBadCommand {
    std::string Error;
};

[[noreturn]] void Fail(std::string error)
{
    throw TBadCommand{std::move(error)};
}

AnsiString PlayerName(const std::string& text)
{
    const std::optional<AnsiString> name = Protocol::PlayerNameFromUtf8(text);
    if (!name)
        Fail("'" + text + "' is no player name (1 to 8 bytes in Shift-JIS, not ending in a space)");
    return *name;
}

// A table name, or the empty name of the main table.
AnsiString TableName(const std::string& text)
{
    const AnsiString name = Cp932::FromUtf8(text);
    if (!text.empty() && (!Protocol::Tables::IsTableName(name) || Cp932::ToUtf8(name) != text))
        Fail("'" + text + "' is no table name (1 to 16 printable characters, no space and none of \",/\\?#%&=)");
    return name;
}

// Text for the players: written in code page 932 and on one line.
std::string PlayerText(const std::string& text, const std::string& what)
{
    const QString unicode = QString::fromStdString(text);
    const bool writable = Cp932::Decode(Cp932::Encode(unicode)) == unicode;
    const bool oneLine = std::none_of(unicode.begin(), unicode.end(),
                                      [](QChar c) { return c.category() == QChar::Other_Control; });
    if (!writable || !oneLine)
        Fail(what + " must be one line that Shift-JIS can write");
    return text;
}

int WholeNumber(const std::string& option, const std::string& text, int low, int high)
{
    int value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size() || value < low || value > high)
        Fail(option + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '"
             + text + "'");
    return value;
}

int Minutes(const TWords& words)
{
    const std::optional<std::string> text = words.Value("--minutes");
    return text ? WholeNumber("--minutes", *text, 0, MaxMinutes) : 0;
}

std::optional<AnsiString> OptionalTable(const TWords& words)
{
    const std::optional<std::string> text = words.Value("--table");
    return text ? std::optional<AnsiString>(TableName(*text)) : std::nullopt;
}

std::string Reason(const TWords& words)
{
    return PlayerText(words.Value("--reason").value_or(std::string()), "--reason");
}

TPlayerOrAddress PlayerOrAddress(const std::string& text)
{
    std::string error;
    if (const std::optional<TAddressPattern> pattern = ReadAddressPattern(text, &error))
        return *pattern;
    if (!error.empty())
        Fail("'" + text + "': " + error);
    return PlayerName(text);
}

// One command: its grammar for the help, its options, how many positional
// arguments it takes (0, 1, or -1 for one or more words joined by spaces),
// and how it is built from its words.
struct TCommandRule {
    std::string Usage;
    std::string Effect;
    std::set<std::string> Options;
    int Positional;
    std::function<TControlCommand(const TWords&)> Build;
};

const std::map<std::string, TCommandRule>& Rules()
{
    static const std::map<std::string, TCommandRule> rules{
        {"status", {"status", "version, uptime, connections, tables, players, watchers, bans", {}, 0,
                    [](const TWords&) -> TControlCommand { return TStatusCommand{}; }}},
        {"tables", {"tables", "one line per table: name, players, seated, watchers, game, private", {}, 0,
                    [](const TWords&) -> TControlCommand { return TTablesCommand{}; }}},
        {"players", {"players [--table NAME]", "one line per roster entry (of one table)", {"--table"}, 0,
                     [](const TWords& w) -> TControlCommand { return TPlayersCommand{OptionalTable(w)}; }}},
        {"kick", {"kick NAME [--table NAME] [--reason TEXT]", "removes a player from the server",
                  {"--table", "--reason"}, 1, [](const TWords& w) -> TControlCommand {
                      return TKickCommand{PlayerName(w.Positional[0]), OptionalTable(w), Reason(w)};
                  }}},
        {"ban", {"ban (NAME | ADDRESS[/PREFIX]) [--minutes N] [--reason TEXT]",
                 "bans a name or addresses (N 0 or absent: until lifted) and kicks who it matches",
                 {"--minutes", "--reason"}, 1, [](const TWords& w) -> TControlCommand {
                     return TBanCommand{PlayerOrAddress(w.Positional[0]), Minutes(w), Reason(w)};
                 }}},
        {"unban", {"unban ID | NAME | ADDRESS[/PREFIX]", "lifts a ban (a number is a ban's id)", {}, 1,
                   [](const TWords& w) -> TControlCommand {
                       const std::string& text = w.Positional[0];
                       if (!text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
                           return TUnbanCommand{WholeNumber("ID", text, 1, INT32_MAX)};
                       return TUnbanCommand{std::visit([](auto&& v) { return decltype(TUnbanCommand::What)(v); },
                                                       PlayerOrAddress(text))};
                   }}},
        {"bans", {"bans", "lists the bans: id, what, until, reason, who, when", {}, 0,
                  [](const TWords&) -> TControlCommand { return TBansCommand{}; }}},
        {"mute", {"mute NAME [--minutes N]", "drops a player's chat (N 0 or absent: until unmuted)", {"--minutes"}, 1,
                  [](const TWords& w) -> TControlCommand { return TMuteCommand{PlayerName(w.Positional[0]), Minutes(w)}; }}},
        {"unmute", {"unmute NAME", "lets a muted player chat again", {}, 1,
                    [](const TWords& w) -> TControlCommand { return TUnmuteCommand{PlayerName(w.Positional[0])}; }}},
        {"say", {"say TEXT [--table NAME]", "a chat line from the operator to every connection (or one table)",
                 {"--table"}, -1, [](const TWords& w) -> TControlCommand {
                     std::string text;
                     for (const std::string& word : w.Positional)
                         text += (text.empty() ? "" : " ") + word;
                     if (text.empty())
                         Fail("'say' needs a TEXT");
                     return TSayCommand{PlayerText(text, "TEXT"), OptionalTable(w)};
                 }}},
        {"close", {"close TABLE [--reason TEXT]", "kicks everyone at a table, watchers too", {"--reason"}, 1,
                   [](const TWords& w) -> TControlCommand { return TCloseCommand{TableName(w.Positional[0]), Reason(w)}; }}},
        {"shutdown", {"shutdown [--in MINUTES] [--reason TEXT] | --cancel",
                      "saves the tables and stops the server, at once or after announcing it", {"--in", "--reason", "--cancel"},
                      0, [](const TWords& w) -> TControlCommand {
                          TShutdownCommand command{std::nullopt, Reason(w), w.Flags.contains("--cancel")};
                          if (command.Cancel && (w.Values.contains("--in") || w.Values.contains("--reason")))
                              Fail("'shutdown --cancel' takes no other option");
                          if (const std::optional<std::string> in = w.Value("--in"))
                              command.InMinutes = WholeNumber("--in", *in, 1, MaxShutdownMinutes);
                          return command;
                      }}},
        {"game", {"game (start TABLE [--target N|random] [--pace S] [--answer S] [--bots N] [--level L] | stop TABLE)",
                  "starts a dealt game with the seated players, or stops one",
                  {"--target", "--pace", "--answer", "--bots", "--level"}, -1, [](const TWords& w) -> TControlCommand {
                      if (w.Positional.size() != 2 || (w.Positional[0] != "start" && w.Positional[0] != "stop"))
                          Fail("'game' needs start or stop and a TABLE");
                      TGameCommand command{w.Positional[0] == "start", TableName(w.Positional[1]), {}};
                      for (const auto& [option, field] : {std::pair{"--target", "TARGET="}, {"--pace", "PACE="},
                                                           {"--answer", "ANSWER="}, {"--bots", "BOTS="},
                                                           {"--level", "LEVEL="}})
                          if (const std::optional<std::string> value = w.Value(option)) {
                              if (!command.Start)
                                  Fail("'game stop' takes no option");
                              command.Fields += (command.Fields.empty() ? "" : " ") + std::string(field) + *value;
                          }
                      const auto read = Dealer::ReadGameOptions(command.Fields);
                      if (const auto* refusal = std::get_if<std::string>(&read))
                          Fail(*refusal);
                      return command;
                  }}},
        {"games", {"games [--table NAME] [--player NAME] [--limit N]",
                   "the last recorded games, newest first (N: 1 to 1000, default 20)",
                   {"--table", "--player", "--limit"}, 0, [](const TWords& w) -> TControlCommand {
                       const std::optional<std::string> player = w.Value("--player");
                       const std::optional<std::string> limit = w.Value("--limit");
                       return TGamesCommand{OptionalTable(w),
                                            player ? std::optional<AnsiString>(PlayerName(*player)) : std::nullopt,
                                            limit ? WholeNumber("--limit", *limit, 1, 1000) : 20};
                   }}},
        {"player", {"player NAME", "a player's rating, statistics and last games", {}, 1,
                    [](const TWords& w) -> TControlCommand { return TPlayerCommand{PlayerName(w.Positional[0])}; }}},
        {"unrank", {"unrank NAME", "keeps a registered player off the leaderboard", {}, 1,
                    [](const TWords& w) -> TControlCommand {
                        return TRankCommand{PlayerName(w.Positional[0]), false};
                    }}},
        {"rank", {"rank NAME", "lets an unranked player back on the leaderboard", {}, 1,
                  [](const TWords& w) -> TControlCommand { return TRankCommand{PlayerName(w.Positional[0]), true}; }}},
        {"backup", {"backup FILE", "copies the live records' database to FILE", {}, 1,
                    [](const TWords& w) -> TControlCommand {
                        const std::string& file = w.Positional[0];
                        if (file.empty() || file[0] != '/')
                            Fail("'backup' needs an absolute FILE");
                        return TBackupCommand{file};
                    }}},
        {"names", {"names", "the registered names: name, since, unranked", {}, 0,
                   [](const TWords&) -> TControlCommand { return TNamesCommand{}; }}},
        {"release", {"release NAME", "frees a registered name, with its rating", {}, 1,
                     [](const TWords& w) -> TControlCommand { return TReleaseCommand{PlayerName(w.Positional[0])}; }}},
        {"metrics", {"metrics", "the server's metrics in the Prometheus text format", {}, 0,
                     [](const TWords&) -> TControlCommand { return TMetricsCommand{}; }}},
    };
    return rules;
}

// Splits the words after the command into options and positional arguments;
// "--" ends the options ("--name=value" is "--name value").
TWords ReadWords(const std::vector<std::string>& arguments, const TCommandRule& rule)
{
    TWords words{arguments[0], {}, {}, {}};
    bool options = true;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (!options || word.size() < 2 || word.compare(0, 2, "--") != 0) {
            words.Positional.push_back(word);
            continue;
        }
        if (word == "--") {
            options = false;
            continue;
        }
        const std::size_t equals = word.find('=');
        const std::string option = word.substr(0, equals);
        if (!rule.Options.contains(option))
            Fail("'" + words.Command + "' has no option " + option);
        if (FlagOptions.contains(option)) {
            if (equals != std::string::npos)
                Fail(option + " takes no value");
            words.Flags.insert(option);
        } else if (equals != std::string::npos) {
            words.Values[option] = word.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            words.Values[option] = arguments[++i];
        } else {
            Fail(option + " needs a value");
        }
    }
    const auto count = static_cast<int>(words.Positional.size());
    if (rule.Positional >= 0 && count < rule.Positional)
        Fail("'" + words.Command + "' is missing an argument: " + rule.Usage);
    if (rule.Positional >= 0 && count > rule.Positional)
        Fail("'" + words.Command + "' takes no argument '" + words.Positional[static_cast<std::size_t>(rule.Positional)]
             + "': " + rule.Usage);
    return words;
}

}  // namespace

TParsedControlCommand ParseControlCommand(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return {std::nullopt, "no command given"};
    const auto rule = Rules().find(arguments[0]);
    if (rule == Rules().end())
        return {std::nullopt, "unknown command '" + arguments[0] + "'"};
    try {
        return {rule->second.Build(ReadWords(arguments, rule->second)), {}};
    } catch (const TBadCommand& bad) {
        return {std::nullopt, bad.Error};
    }
}

std::vector<std::string> WithAbsolutePaths(std::vector<std::string> arguments)
{
    if (arguments.size() >= 2 && arguments[0] == "backup") {
        std::string& file = arguments.back();
        if (!file.empty() && file[0] != '/' && file.compare(0, 2, "--") != 0)
            file = QDir::current().absoluteFilePath(QString::fromStdString(file)).toStdString();
    }
    return arguments;
}

std::string ControlCommandsHelp()
{
    std::size_t width = 0;
    for (const auto& [word, rule] : Rules())
        width = std::max(width, rule.Usage.size());
    std::string help;
    for (const auto& [word, rule] : Rules())
        help += "  " + rule.Usage + std::string(width + 2 - rule.Usage.size(), ' ') + rule.Effect + '\n';
    return help;
}

}  // namespace Control
