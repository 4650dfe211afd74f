#pragma once

#include "server/game_server.h"
#include "web_port/web_routes.h"

// Lets the web port admit players as the game's TCP port does: a WebSocket
// upgrade is refused for a banned address or one over its limits, counts as
// a connection of its address once admitted, and gives the admission back
// if its WebSocket never opens. Sets the hooks' AdmitPlayer and ReleasePlayer.
void AdmitWebPlayers(TWebRouteHooks& hooks, TGameServer& game);
