#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_string.h"
#include "records/game_record.h"
#include "records/glicko2.h"

namespace Records {

// The answer to a join's name and key.
enum class ENameCheck {
    Unregistered,  // anybody may play under the name, as a guest
    KeyAccepted,   // registered, and the key is its key
    KeyRefused,    // registered, and the key is missing or another
};

// The answer to a registration: the key, given once and never kept, or why not.
struct TRegistration {
    enum class ERefusal { None, Taken, BadName, Busy };
    std::string Key;
    ERefusal Refusal = ERefusal::None;
};

struct TRegisteredName {
    AnsiString Name;
    TTime Since;
    bool Unranked = false;
};

// For metrics: records waiting for the writer, written, dropped because the
// queue was full, and failed attempts to write (each one retried).
struct TStoreCounts {
    std::size_t Queued = 0;
    std::uint64_t Written = 0;
    std::uint64_t Dropped = 0;
    std::uint64_t FailedWrites = 0;
};

struct TLeaderboardRow {
    int Rank = 0;
    AnsiString Name;
    Glicko2::TRating Rating;
    int Games = 0;
    int Wins = 0;
};

struct TPlayerStatistics {
    int Games = 0;
    std::vector<int> Places;  // Places[i]: games finished in place i + 1
    int Cards = 0;
    int CorrectHits = 0;
    int WrongHits = 0;
    std::optional<std::int64_t> BestReactionMs;
    std::optional<std::int64_t> MedianReactionMs;  // of an even count: the mean of the middle two, rounded down
};

struct TRatingPoint {
    std::int64_t GameId = 0;
    TTime Time;
    Glicko2::TRating Rating;
};

struct TPlayerPage {
    AnsiString Name;
    bool Registered = false;
    bool Unranked = false;
    std::optional<Glicko2::TRating> Rating;  // deviation widened up to the asked moment
    TPlayerStatistics Statistics;
    std::vector<TRatingPoint> History;  // oldest first
    std::vector<TGameRecord> LastGames;  // newest first, without events
};

// Which games, newest first: before a game id (exclusive), at most Limit.
struct TGamesQuery {
    std::optional<AnsiString> Player;
    std::optional<AnsiString> Table;
    std::optional<std::int64_t> Before;
    int Limit = 50;
};

// Everything the server keeps of games, names and ratings. Calls come from
// the event loop and never wait for the disk to be written: writes are queued
// for a writer of the store's own. Reads of names come from memory; the
// queries below read the database (they see what has been written, not what
// still waits in the queue) and may be called from any thread.
class TRecordStore {
public:
    // Called from the event loop's thread and from the writer's (failed and
    // retried writes, drops): it must be safe to call from either.
    using TLog = std::function<void(const AnsiString& message)>;
    // Called on the writer's thread with an empty text on success, else what went wrong.
    using TDone = std::function<void(const QString& error)>;

    virtual ~TRecordStore() = default;

    // Queues a finished game, giving it its id; nothing when the queue is full
    // (the game is dropped, counted and logged). Places and ratings are
    // written with it in one transaction.
    virtual std::optional<std::int64_t> AddGame(TGameRecord game) = 0;

    // Names, ASCII letter case aside.
    virtual TRegistration Register(std::string_view name) = 0;
    virtual ENameCheck CheckName(std::string_view name, std::string_view key) const = 0;
    virtual std::vector<TRegisteredName> Names() const = 0;
    // Frees a name, with its rating; false when it was not registered or the queue is full.
    virtual bool Release(std::string_view name) = 0;
    // Keeps a registered name off the leaderboard, or lets it back.
    virtual bool SetUnranked(std::string_view name, bool unranked) = 0;

    // Copies the live database to path (through a temporary file beside it,
    // renamed when whole), queued behind the writes before it. A path that
    // names the database itself is refused.
    virtual void Backup(const QString& path, TDone done) = 0;

    virtual TStoreCounts Counts() const = 0;

    // Registered, ranked players whose rating is not provisional at now, best first.
    virtual std::vector<TLeaderboardRow> Leaderboard(TTime now, int offset, int limit) const = 0;
    virtual std::optional<TPlayerPage> Player(std::string_view name, TTime now, int lastGames) const = 0;
    virtual std::optional<TGameRecord> Game(std::int64_t id) const = 0;
    virtual std::vector<TGameRecord> Games(const TGamesQuery& query) const = 0;
};

}  // namespace Records
