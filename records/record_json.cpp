#include "records/record_json.h"

#include <QDateTime>

#include "platform/cp932.h"
#include "records/json_text.h"

namespace Records {

namespace {

std::string TimeText(TTime time)
{
    return QDateTime::fromMSecsSinceEpoch(MillisecondsOf(time), Qt::UTC)
        .toString(Qt::ISODateWithMs)
        .toStdString();
}

void WriteCp932(TJsonText& json, std::string_view key, std::string_view bytes)
{
    json.Key(key).String(Cp932::ToUtf8(bytes));
}

void WriteRating(TJsonText& json, const Glicko2::TRating& rating)
{
    json.Key("rating").Number(rating.Rating, 2).Key("rd").Number(rating.Deviation, 2);
}

void WriteEvent(TJsonText& json, const TGameEvent& event)
{
    json.BeginObject().Key("ms").Number(event.Ms).Key("kind").String(EventKindWord(event.Kind));
    if (event.Kind != EEventKind::Target && event.Kind != EEventKind::Deal && event.Kind != EEventKind::Clear)
        WriteCp932(json, "player", event.Player);
    switch (event.Kind) {
    case EEventKind::Join:
        json.Key("seat").Number(event.Number);
        break;
    case EEventKind::Target:
        json.Key("target").Number(event.Number);
        break;
    case EEventKind::Deal:
        json.Key("card").Number(event.Number).Key("makeable").Bool(event.Flag);
        break;
    case EEventKind::Hit:
        WriteCp932(json, "verdict", event.Text);
        json.Key("first").Bool(event.Flag);
        break;
    case EEventKind::Answer:
        WriteCp932(json, "answer", event.Text);
        json.Key("correct").Bool(event.Flag);
        break;
    case EEventKind::Take:
        json.Key("cards").Number(event.Number);
        break;
    case EEventKind::Penalty:
        WriteCp932(json, "why", event.Text);
        break;
    case EEventKind::Leave:
    case EEventKind::Clear:
        break;
    }
    json.EndObject();
}

void WriteGame(TJsonText& json, const TGameRecord& game, bool withEvents)
{
    json.BeginObject().Key("id").Number(game.Id);
    WriteCp932(json, "table", game.Table);
    WriteCp932(json, "host", game.Host);
    json.Key("start").String(TimeText(game.Start)).Key("end").String(TimeText(game.End));
    json.Key("fields").BeginObject().Key("target");
    if (game.Fields.Target)
        json.Number(*game.Fields.Target);
    else
        json.String("random");
    json.Key("pace").Number(game.Fields.PaceSeconds).Key("answer").Number(game.Fields.AnswerSeconds);
    json.Key("bots").Number(game.Fields.Bots).Key("level").Number(game.Fields.BotLevel).EndObject();
    json.Key("end_reason").String(GameEndWord(game.EndReason));
    json.Key("players").BeginArray();
    for (const TGamePlayer& p : game.Players) {
        json.BeginObject();
        WriteCp932(json, "name", p.Name);
        json.Key("registered").Bool(p.Registered).Key("bot");
        if (p.IsBot())
            json.Number(p.BotLevel);
        else
            json.Null();
        json.Key("seat").Number(p.Seat).Key("cards").Number(p.Cards).Key("place").Number(p.Place).EndObject();
    }
    json.EndArray();
    if (withEvents) {
        json.Key("events").BeginArray();
        for (const TGameEvent& event : game.Events)
            WriteEvent(json, event);
        json.EndArray();
    }
    json.EndObject();
}

}  // namespace

std::string LeaderboardJson(const std::vector<TLeaderboardRow>& rows, int offset)
{
    TJsonText json;
    json.BeginObject().Key("offset").Number(offset).Key("players").BeginArray();
    for (const TLeaderboardRow& row : rows) {
        json.BeginObject().Key("rank").Number(row.Rank);
        WriteCp932(json, "name", row.Name);
        WriteRating(json, row.Rating);
        json.Key("games").Number(row.Games).Key("wins").Number(row.Wins).EndObject();
    }
    json.EndArray().EndObject();
    return json.Text();
}

std::string PlayerJson(const TPlayerPage& page)
{
    TJsonText json;
    json.BeginObject();
    WriteCp932(json, "name", page.Name);
    json.Key("registered").Bool(page.Registered).Key("unranked").Bool(page.Unranked).Key("rating");
    if (page.Rating) {
        json.BeginObject();
        WriteRating(json, *page.Rating);
        json.Key("volatility").Number(page.Rating->Volatility, 5);
        json.Key("provisional").Bool(Glicko2::IsProvisional(*page.Rating)).EndObject();
    } else {
        json.Null();
    }
    const TPlayerStatistics& s = page.Statistics;
    json.Key("statistics").BeginObject().Key("games").Number(s.Games).Key("places").BeginArray();
    for (int games : s.Places)
        json.Number(games);
    json.EndArray().Key("cards").Number(s.Cards).Key("correct_hits").Number(s.CorrectHits);
    json.Key("wrong_hits").Number(s.WrongHits).Key("best_reaction_ms").Integer(s.BestReactionMs);
    json.Key("median_reaction_ms").Integer(s.MedianReactionMs).EndObject();
    json.Key("history").BeginArray();
    for (const TRatingPoint& point : page.History) {
        json.BeginObject().Key("game").Number(point.GameId).Key("time").String(TimeText(point.Time));
        WriteRating(json, point.Rating);
        json.EndObject();
    }
    json.EndArray().Key("games").BeginArray();
    for (const TGameRecord& game : page.LastGames)
        WriteGame(json, game, false);
    json.EndArray().EndObject();
    return json.Text();
}

std::string GameJson(const TGameRecord& game, bool withEvents)
{
    TJsonText json;
    WriteGame(json, game, withEvents);
    return json.Text();
}

std::string GamesNdjson(const std::vector<TGameRecord>& games, bool withEvents)
{
    std::string lines;
    for (const TGameRecord& game : games)
        lines += GameJson(game, withEvents) + '\n';
    return lines;
}

}  // namespace Records
