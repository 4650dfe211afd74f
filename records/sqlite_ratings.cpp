#include "records/sqlite_ratings.h"

#include <vector>

#include "protocol/player_name.h"

namespace Records {

namespace {

constexpr std::int64_t DayMs = 24LL * 60 * 60 * 1000;

struct TKeptRating {
    Glicko2::TRating Rating;
    std::int64_t LastPlayedMs = 0;
};

std::optional<TKeptRating> KeptRating(TSqliteConnection& db, std::string_view nameKey)
{
    TSqliteStatement read =
        db.Prepare("SELECT rating, deviation, volatility, last_played_ms FROM ratings WHERE name_key = ?");
    read.Bind(1, nameKey);
    if (!read.Step())
        return std::nullopt;
    return TKeptRating{{read.Real(0), read.Real(1), read.Real(2)}, read.Integer(3)};
}

bool IsRegistered(TSqliteConnection& db, std::string_view nameKey)
{
    TSqliteStatement read = db.Prepare("SELECT 1 FROM names WHERE name_key = ?");
    read.Bind(1, nameKey);
    return read.Step();
}

struct TEntrant {
    AnsiString Key;
    int Place = 0;
    bool Rated = false;  // a registered person; otherwise a bot
    Glicko2::TRating Before;
};

}  // namespace

long long IdleDays(std::int64_t fromMs, std::int64_t toMs)
{
    return toMs > fromMs ? (toMs - fromMs) / DayMs : 0;
}

std::optional<Glicko2::TRating> RatingAt(TSqliteConnection& db, std::string_view nameKey, TTime now)
{
    const std::optional<TKeptRating> kept = KeptRating(db, nameKey);
    if (!kept)
        return std::nullopt;
    return Glicko2::AfterIdlePeriods(kept->Rating, IdleDays(kept->LastPlayedMs, MillisecondsOf(now)));
}

void UpdateRatings(TSqliteConnection& db, const TGameRecord& game)
{
    if (game.Players.size() < 2)
        return;
    std::vector<TEntrant> entrants;
    for (const TGamePlayer& p : game.Players) {
        if (p.IsBot()) {
            entrants.push_back({Protocol::PlayerNameKey(p.Name), p.Place, false, Glicko2::BotRating(p.BotLevel)});
            continue;
        }
        const AnsiString key = Protocol::PlayerNameKey(p.Name);
        if (!p.Registered || !IsRegistered(db, key))
            continue;
        const std::optional<Glicko2::TRating> before = RatingAt(db, key, game.Start);
        entrants.push_back({key, p.Place, true, before.value_or(Glicko2::TRating{})});
    }
    TSqliteStatement keep = db.Prepare(
        "INSERT INTO ratings (name_key, rating, deviation, volatility, last_played_ms) VALUES (?, ?, ?, ?, ?)"
        " ON CONFLICT (name_key) DO UPDATE SET rating = excluded.rating, deviation = excluded.deviation,"
        " volatility = excluded.volatility, last_played_ms = excluded.last_played_ms");
    TSqliteStatement history = db.Prepare(
        "INSERT INTO rating_history (name_key, game_id, rating, deviation, volatility) VALUES (?, ?, ?, ?, ?)");
    for (const TEntrant& player : entrants) {
        if (!player.Rated)
            continue;
        std::vector<Glicko2::TResult> results;
        for (const TEntrant& other : entrants)
            if (&other != &player)
                results.push_back({other.Before, other.Place < player.Place    ? 0.0
                                                 : other.Place == player.Place ? 0.5
                                                                               : 1.0});
        if (results.empty())
            continue;
        const Glicko2::TRating after = Glicko2::Update(player.Before, results);
        keep.Bind(1, player.Key)
            .Bind(2, after.Rating)
            .Bind(3, after.Deviation)
            .Bind(4, after.Volatility)
            .Bind(5, MillisecondsOf(game.End))
            .Run();
        history.Bind(1, player.Key)
            .Bind(2, game.Id)
            .Bind(3, after.Rating)
            .Bind(4, after.Deviation)
            .Bind(5, after.Volatility)
            .Run();
    }
}

}  // namespace Records
