#include "web_port/record_routes.h"

#include <QUrl>
#include <QUrlQuery>

#include "protocol/player_name.h"
#include "records/record_json.h"

namespace {

constexpr int DefaultLimit = 50;
constexpr int MaxLeaderboardLimit = 100;
constexpr int MaxGamesLimit = 1000;
// How many of a player's games its page lists.
constexpr int PlayerPageGames = 20;

// A query's number: the fallback when it is absent, nothing when it is no
// whole number from low to high.
std::optional<std::int64_t> QueryNumber(const QUrlQuery& query, const QString& key, std::int64_t fallback,
                                        std::int64_t low, std::int64_t high)
{
    if (!query.hasQueryItem(key))
        return fallback;
    bool ok = false;
    const qlonglong value = query.queryItemValue(key, QUrl::FullyDecoded).toLongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

// The code page 932 bytes of a percent-encoded UTF-8 player name.
std::optional<AnsiString> PlayerName(const QByteArray& encoded)
{
    return Protocol::PlayerNameFromUtf8(QByteArray::fromPercentEncoding(encoded).toStdString());
}

THttpAnswer Json(const std::string& text)
{
    return MakeAnswer(200, "application/json", QByteArray::fromStdString(text));
}

}  // namespace

std::optional<THttpAnswer> RecordAnswer(const Records::TRecordStore& store, const QByteArray& encodedPath,
                                        const QByteArray& encodedQuery, Records::TTime now)
{
    const QUrlQuery query(QString::fromLatin1(encodedQuery));
    if (encodedPath == "/api/leaderboard") {
        const auto offset = QueryNumber(query, QStringLiteral("offset"), 0, 0, INT32_MAX);
        const auto limit = QueryNumber(query, QStringLiteral("limit"), DefaultLimit, 1, MaxLeaderboardLimit);
        if (!offset || !limit)
            return ErrorAnswer(400);
        const int first = static_cast<int>(*offset);
        return Json(Records::LeaderboardJson(store.Leaderboard(now, first, static_cast<int>(*limit)), first));
    }
    if (encodedPath.startsWith("/api/players/")) {
        const std::optional<AnsiString> name = PlayerName(encodedPath.mid(13));
        const auto page = name ? store.Player(*name, now, PlayerPageGames) : std::nullopt;
        return page ? Json(Records::PlayerJson(*page)) : ErrorAnswer(404);
    }
    if (encodedPath.startsWith("/api/games/")) {
        bool ok = false;
        const qlonglong id = encodedPath.mid(11).toLongLong(&ok);
        const auto game = ok && id > 0 ? store.Game(id) : std::nullopt;
        return game ? Json(Records::GameJson(*game, true)) : ErrorAnswer(404);
    }
    if (encodedPath == "/api/games") {
        Records::TGamesQuery games;
        if (query.hasQueryItem(QStringLiteral("player"))) {
            games.Player = Protocol::PlayerNameFromUtf8(
                query.queryItemValue(QStringLiteral("player"), QUrl::FullyDecoded).toStdString());
            if (!games.Player)
                return ErrorAnswer(404);
        }
        const auto before = QueryNumber(query, QStringLiteral("before"), 0, 1, INT64_MAX);
        const auto limit = QueryNumber(query, QStringLiteral("limit"), DefaultLimit, 1, MaxGamesLimit);
        if (!before || !limit)
            return ErrorAnswer(400);
        if (*before != 0)
            games.Before = *before;
        games.Limit = static_cast<int>(*limit);
        return MakeAnswer(200, "application/x-ndjson",
                          QByteArray::fromStdString(Records::GamesNdjson(store.Games(games), false)));
    }
    return std::nullopt;
}
