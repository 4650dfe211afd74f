#include "records/sqlite_game_rows.h"

#include "protocol/player_name.h"
#include "records/game_statistics.h"
#include "records/sqlite_ratings.h"

namespace Records {

namespace {

void WriteGame(TSqliteConnection& db, const TGameRecord& game)
{
    db.Prepare("INSERT INTO games (id, table_name, host, started_ms, ended_ms, target, pace, answer, bots,"
               " bot_level, end_reason) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
        .Bind(1, game.Id)
        .Bind(2, game.Table)
        .Bind(3, game.Host)
        .Bind(4, MillisecondsOf(game.Start))
        .Bind(5, MillisecondsOf(game.End))
        .Bind(6, game.Fields.Target)
        .Bind(7, game.Fields.PaceSeconds)
        .Bind(8, game.Fields.AnswerSeconds)
        .Bind(9, game.Fields.Bots)
        .Bind(10, game.Fields.BotLevel)
        .BindText(11, GameEndWord(game.EndReason))
        .Run();
}

void WritePlayers(TSqliteConnection& db, const TGameRecord& game)
{
    const std::map<AnsiString, THitCounts> counts = HitCounts(game.Events);
    TSqliteStatement player = db.Prepare(
        "INSERT INTO game_players (game_id, position, name, name_key, registered, bot_level, seat, cards, place,"
        " correct_hits, wrong_hits) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    TSqliteStatement reaction = db.Prepare("INSERT INTO reaction_times (name_key, game_id, ms) VALUES (?, ?, ?)");
    for (std::size_t i = 0; i < game.Players.size(); ++i) {
        const TGamePlayer& p = game.Players[i];
        const AnsiString key = Protocol::PlayerNameKey(p.Name);
        const auto found = counts.find(p.Name);
        const THitCounts hits = found == counts.end() ? THitCounts{} : found->second;
        player.Bind(1, game.Id)
            .Bind(2, static_cast<int>(i))
            .Bind(3, p.Name)
            .Bind(4, key)
            .Bind(5, p.Registered)
            .Bind(6, p.BotLevel)
            .Bind(7, p.Seat)
            .Bind(8, p.Cards)
            .Bind(9, p.Place)
            .Bind(10, hits.Correct)
            .Bind(11, hits.Wrong)
            .Run();
        for (std::int64_t ms : hits.ReactionMs)
            reaction.Bind(1, key).Bind(2, game.Id).Bind(3, ms).Run();
    }
}

void WriteEvents(TSqliteConnection& db, const TGameRecord& game)
{
    TSqliteStatement event = db.Prepare(
        "INSERT INTO game_events (game_id, seq, ms, kind, player, number, flag, text) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    for (std::size_t i = 0; i < game.Events.size(); ++i) {
        const TGameEvent& e = game.Events[i];
        event.Bind(1, game.Id)
            .Bind(2, static_cast<std::int64_t>(i))
            .Bind(3, e.Ms)
            .BindText(4, EventKindWord(e.Kind))
            .Bind(5, e.Player)
            .Bind(6, e.Number)
            .Bind(7, e.Flag)
            .Bind(8, e.Text)
            .Run();
    }
}

}  // namespace

void WriteGameRows(TSqliteConnection& db, const TGameRecord& game)
{
    WriteGame(db, game);
    WritePlayers(db, game);
    WriteEvents(db, game);
    UpdateRatings(db, game);
}

}  // namespace Records
