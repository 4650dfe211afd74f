#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_string.h"
#include "protocol/command_words.h"

// The words and texts of a server with many tables: which table a level-2
// "/join" asks for, the listing a connection receives for "/tables", and the
// refusal of a join. Every text here is Shift-JIS bytes (code page 932).
namespace Protocol::Tables {

inline constexpr std::string_view ListBegin = "/tables begin";
inline constexpr std::string_view ListRow = "/tables row ";
inline constexpr std::string_view ListEnd = "/tables end";

// A table name: 1 to 16 characters and at most 32 bytes, each printable, none
// a space or one of the characters below (they would break a link, a listing
// row or an announcement field).
inline constexpr int MaxNameCharacters = 16;
inline constexpr int MaxNameBytes = 32;
inline constexpr std::string_view ForbiddenNameBytes = " \",/\\?#%&=";
// A private table's key: 1 to 32 printable ASCII characters, no space.
inline constexpr int MaxKeyLength = 32;

// True for a valid table name (the main table's empty name is not one).
bool IsTableName(std::string_view name);
bool IsTableKey(std::string_view key);
// The name with ASCII letters taken as lower case: how names are compared,
// and the order in which the listing gives them.
AnsiString TableNameKey(std::string_view name);

// The fields of a level-2 announcement, "KIVOL/2" followed by fields each
// after one space, in any order; a field the reader does not know is ignored.
struct TAnnouncement {
    std::string Token;                 // RESUME=: 32 hex digits, else empty
    std::optional<AnsiString> Table;   // TABLE=: absent for the main table (may be invalid)
    std::optional<std::string> Key;    // KEY=: as given (may be invalid)
    std::optional<std::string> NameKey; // NAMEKEY=: the key of a registered name, as given
    bool Watch = false;                // WATCH
};
// The fields of a trailer that announces level 2; nothing for any other trailer.
std::optional<TAnnouncement> ReadAnnouncement(std::string_view trailer);
// "KIVOL/2" with the fields that are set, in the order RESUME, TABLE, KEY, NAMEKEY, WATCH.
std::string AnnouncementText(const TAnnouncement& announcement);

// One row of the listing: "/tables row " players " " seated " " watchers " "
// game " " name (name empty for the main table).
struct TTableRow {
    int Players = 0;
    int Seated = 0;
    int Watchers = 0;
    bool Game = false;
    AnsiString Name;
    bool operator==(const TTableRow&) const = default;
};
AnsiString TableRowText(const TTableRow& row);
// The row of a "/tables row" text; nothing when the text is not one.
std::optional<TTableRow> ReadTableRow(std::string_view text);

// Why a join was refused, as the wire names it, and the sentence the player
// reads (code page 932).
enum class TRefusal { Key, Tables, Full, Name, Banned, Kicked, Closed, Claimed };
std::string_view RefusalReason(TRefusal refusal);
AnsiString RefusalSentence(TRefusal refusal);
// "/refused " reason " " text.
AnsiString RefusedText(TRefusal refusal, std::string_view text);
// The reason and the text of a "/refused" command; nothing when it is not one.
struct TRefusedCommand {
    AnsiString Reason;
    AnsiString Text;
};
std::optional<TRefusedCommand> ReadRefused(std::string_view text);

}  // namespace Protocol::Tables
