#include "records/sqlite_queries.h"

#include <algorithm>
#include <string>

#include "protocol/player_name.h"
#include "records/sqlite_ratings.h"

namespace Records {

namespace {

void ReadPlayers(TSqliteConnection& db, TGameRecord& game)
{
    TSqliteStatement read = db.Prepare(
        "SELECT name, registered, bot_level, seat, cards, place FROM game_players WHERE game_id = ? ORDER BY position");
    read.Bind(1, game.Id);
    while (read.Step())
        game.Players.push_back({read.Bytes(0), read.Integer(1) != 0, static_cast<int>(read.Integer(2)),
                                static_cast<int>(read.Integer(3)), static_cast<int>(read.Integer(4)),
                                static_cast<int>(read.Integer(5))});
}

void ReadEvents(TSqliteConnection& db, TGameRecord& game)
{
    TSqliteStatement read = db.Prepare(
        "SELECT ms, kind, player, number, flag, text FROM game_events WHERE game_id = ? ORDER BY seq");
    read.Bind(1, game.Id);
    while (read.Step()) {
        const std::optional<EEventKind> kind = EventKindFromWord(read.Bytes(1));
        if (!kind)
            throw ESqliteError(0, "game " + std::to_string(game.Id) + " holds an event of an unknown kind");
        game.Events.push_back({read.Integer(0), *kind, read.Bytes(2), static_cast<int>(read.Integer(3)),
                               read.Integer(4) != 0, read.Bytes(5)});
    }
}

struct TPlayerCounts {
    int Games = 0;
    int Wins = 0;
};

// Games and wins as a person under a name.
TPlayerCounts CountsOf(TSqliteConnection& db, std::string_view nameKey)
{
    TSqliteStatement read = db.Prepare(
        "SELECT COUNT(*), COALESCE(SUM(place = 1), 0) FROM game_players WHERE name_key = ? AND bot_level = 0");
    read.Bind(1, nameKey);
    read.Step();
    return {static_cast<int>(read.Integer(0)), static_cast<int>(read.Integer(1))};
}

TPlayerStatistics StatisticsOf(TSqliteConnection& db, std::string_view nameKey)
{
    TPlayerStatistics stats;
    TSqliteStatement totals = db.Prepare(
        "SELECT COUNT(*), COALESCE(SUM(cards), 0), COALESCE(SUM(correct_hits), 0), COALESCE(SUM(wrong_hits), 0)"
        " FROM game_players WHERE name_key = ? AND bot_level = 0");
    totals.Bind(1, nameKey);
    totals.Step();
    stats.Games = static_cast<int>(totals.Integer(0));
    stats.Cards = static_cast<int>(totals.Integer(1));
    stats.CorrectHits = static_cast<int>(totals.Integer(2));
    stats.WrongHits = static_cast<int>(totals.Integer(3));
    TSqliteStatement places = db.Prepare(
        "SELECT place, COUNT(*) FROM game_players WHERE name_key = ? AND bot_level = 0 GROUP BY place ORDER BY place");
    places.Bind(1, nameKey);
    while (places.Step()) {
        const auto place = static_cast<std::size_t>(std::max<std::int64_t>(places.Integer(0), 1));
        if (stats.Places.size() < place)
            stats.Places.resize(place);
        stats.Places[place - 1] = static_cast<int>(places.Integer(1));
    }
    TSqliteStatement reactions = db.Prepare("SELECT ms FROM reaction_times WHERE name_key = ? ORDER BY ms");
    reactions.Bind(1, nameKey);
    std::vector<std::int64_t> ms;
    while (reactions.Step())
        ms.push_back(reactions.Integer(0));
    if (!ms.empty()) {
        stats.BestReactionMs = ms.front();
        const std::size_t middle = ms.size() / 2;
        stats.MedianReactionMs = ms.size() % 2 ? ms[middle] : (ms[middle - 1] + ms[middle]) / 2;
    }
    return stats;
}

std::vector<TRatingPoint> HistoryOf(TSqliteConnection& db, std::string_view nameKey)
{
    TSqliteStatement read = db.Prepare(
        "SELECT h.game_id, g.ended_ms, h.rating, h.deviation, h.volatility FROM rating_history h"
        " JOIN games g ON g.id = h.game_id WHERE h.name_key = ? ORDER BY h.game_id");
    read.Bind(1, nameKey);
    std::vector<TRatingPoint> history;
    while (read.Step())
        history.push_back({read.Integer(0), TimeOfMilliseconds(read.Integer(1)),
                           {read.Real(2), read.Real(3), read.Real(4)}});
    return history;
}

}  // namespace

std::optional<TGameRecord> ReadGame(TSqliteConnection& db, std::int64_t id, bool withEvents)
{
    TSqliteStatement read = db.Prepare(
        "SELECT table_name, host, started_ms, ended_ms, target, pace, answer, bots, bot_level, end_reason"
        " FROM games WHERE id = ?");
    read.Bind(1, id);
    if (!read.Step())
        return std::nullopt;
    TGameRecord game;
    game.Id = id;
    game.Table = read.Bytes(0);
    game.Host = read.Bytes(1);
    game.Start = TimeOfMilliseconds(read.Integer(2));
    game.End = TimeOfMilliseconds(read.Integer(3));
    if (const std::optional<std::int64_t> target = read.OptionalInteger(4))
        game.Fields.Target = static_cast<int>(*target);
    game.Fields.PaceSeconds = static_cast<int>(read.Integer(5));
    game.Fields.AnswerSeconds = static_cast<int>(read.Integer(6));
    game.Fields.Bots = static_cast<int>(read.Integer(7));
    game.Fields.BotLevel = static_cast<int>(read.Integer(8));
    game.EndReason = GameEndFromWord(read.Bytes(9)).value_or(EGameEnd::Stop);
    ReadPlayers(db, game);
    if (withEvents)
        ReadEvents(db, game);
    return game;
}

std::vector<TGameRecord> ReadGames(TSqliteConnection& db, const TGamesQuery& query)
{
    TSqliteStatement read = db.Prepare(
        "SELECT id FROM games g WHERE (?1 IS NULL OR EXISTS (SELECT 1 FROM game_players p"
        " WHERE p.game_id = g.id AND p.name_key = ?1)) AND (?2 IS NULL OR g.table_name = ?2)"
        " AND (?3 IS NULL OR g.id < ?3) ORDER BY g.id DESC LIMIT ?4");
    if (query.Player)
        read.Bind(1, Protocol::PlayerNameKey(*query.Player));
    if (query.Table)
        read.Bind(2, *query.Table);
    read.Bind(3, query.Before);
    read.Bind(4, std::max(query.Limit, 0));
    std::vector<std::int64_t> ids;
    while (read.Step())
        ids.push_back(read.Integer(0));
    std::vector<TGameRecord> games;
    for (std::int64_t id : ids)
        if (std::optional<TGameRecord> game = ReadGame(db, id, false))
            games.push_back(std::move(*game));
    return games;
}

std::vector<TLeaderboardRow> ReadLeaderboard(TSqliteConnection& db, TTime now, int offset, int limit)
{
    TSqliteStatement read = db.Prepare(
        "SELECT n.name_key, n.name, r.rating, r.deviation, r.volatility, r.last_played_ms FROM names n"
        " JOIN ratings r ON r.name_key = n.name_key WHERE n.unranked = 0");
    struct TCandidate {
        AnsiString Key;
        TLeaderboardRow Row;
    };
    std::vector<TCandidate> ranked;
    while (read.Step()) {
        const Glicko2::TRating rating = Glicko2::AfterIdlePeriods(
            {read.Real(2), read.Real(3), read.Real(4)}, IdleDays(read.Integer(5), MillisecondsOf(now)));
        if (!Glicko2::IsProvisional(rating))
            ranked.push_back({read.Bytes(0), {0, read.Bytes(1), rating, 0, 0}});
    }
    std::sort(ranked.begin(), ranked.end(), [](const TCandidate& a, const TCandidate& b) {
        return a.Row.Rating.Rating != b.Row.Rating.Rating ? a.Row.Rating.Rating > b.Row.Rating.Rating
                                                          : a.Key < b.Key;
    });
    std::vector<TLeaderboardRow> rows;
    const auto first = static_cast<std::size_t>(std::max(offset, 0));
    for (std::size_t i = first; i < ranked.size() && rows.size() < static_cast<std::size_t>(std::max(limit, 0)); ++i) {
        TLeaderboardRow row = ranked[i].Row;
        row.Rank = static_cast<int>(i) + 1;
        const TPlayerCounts counts = CountsOf(db, ranked[i].Key);
        row.Games = counts.Games;
        row.Wins = counts.Wins;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<TPlayerPage> ReadPlayer(TSqliteConnection& db, std::string_view name, TTime now, int lastGames)
{
    const AnsiString key = Protocol::PlayerNameKey(name);
    TPlayerPage page;
    page.Name = Protocol::TrimmedName(name);
    TSqliteStatement registration = db.Prepare("SELECT name, unranked FROM names WHERE name_key = ?");
    registration.Bind(1, key);
    if (registration.Step()) {
        page.Registered = true;
        page.Name = registration.Bytes(0);
        page.Unranked = registration.Integer(1) != 0;
    }
    page.Statistics = StatisticsOf(db, key);
    if (!page.Registered && page.Statistics.Games == 0)
        return std::nullopt;
    page.Rating = RatingAt(db, key, now);
    page.History = HistoryOf(db, key);
    page.LastGames = ReadGames(db, {AnsiString(name), std::nullopt, std::nullopt, lastGames});
    return page;
}

}  // namespace Records
