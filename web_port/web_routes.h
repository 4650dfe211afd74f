#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <functional>
#include <optional>
#include <vector>

#include "protocol/tables.h"
#include "records/record_store.h"
#include "web_port/http_answer.h"
#include "web_port/mime_types.h"
#include "web_port/web_root.h"

// What the routes ask of the game.
struct TWebRouteHooks {
    // The listed tables, as "/tables" gives them (names in code page 932).
    std::function<std::vector<Protocol::Tables::TTableRow>()> ListTables;
    // True while the server takes players (/healthz says "ok").
    std::function<bool()> AcceptingPlayers;
    // The text of /metrics for that peer, or nothing where the peer may not
    // read it (then, as without this hook, the path does not exist).
    std::function<std::optional<QByteArray>(const QHostAddress& peer)> Metrics;
    // Whether a WebSocket from the player's address may open (bans, limits
    // per address); unset: every one may.
    std::function<bool(const AnsiString& playerAddress)> AdmitPlayer;
    // A WebSocket that AdmitPlayer let in never opened (its handshake failed,
    // the peer went first): the admission is given back, once. One that
    // opened is the game's from then on, and its close is reported instead.
    std::function<void(const AnsiString& playerAddress)> ReleasePlayer;
    // The records behind /api/leaderboard, /api/players and /api/games (null:
    // the server keeps none, and those paths do not exist).
    const Records::TRecordStore* Records = nullptr;
};

// The answers of the web port's ordinary requests (every one but the
// WebSocket upgrade), by method and path.
class TWebRoutes {
public:
    TWebRoutes(TWebRoot root, TWebRouteHooks hooks);

    // method is the request's method word ("GET", "HEAD", ...); encodedPath
    // the path as it came, percent-encoding and all, encodedQuery what
    // followed its "?".
    THttpAnswer Answer(const QByteArray& method, const QByteArray& encodedPath, const QHostAddress& peer,
                       const QByteArray& encodedQuery = {}) const;

    // The JSON of /api/tables: one object per row, names in UTF-8.
    static QByteArray TablesJson(const std::vector<Protocol::Tables::TTableRow>& rows);

private:
    THttpAnswer FileAnswer(const std::optional<QString>& file, bool versioned) const;

    TWebRoot root_;
    TWebRouteHooks hooks_;
    TMimeTypes mimeTypes_;
};
