#pragma once

// The game server as kivolsrv runs it (TPacketServerSocket and TGameServer,
// wired as the operator window wires them), on 127.0.0.1 with an ephemeral
// port, counting what happens to it: packets handled, connections cut and
// why, the connection objects alive, and any break of the card rule.

#include <map>

#include "server/game_server.h"

namespace soak {

// What the server went through.
struct ServerFigures {
    long packets = 0;
    long connects = 0;
    long disconnects = 0;
    long logLines = 0;
    long errorReports = 0;     // message boxes: the server must show none
    long pileViolations = 0;   // packets after which the 54 cards were not conserved
    std::map<int, long> cutsByCode;  // connection errors by system error code
};

// True when the eight piles hold the cards 1 to 54 once each, no pile over 54.
bool CardsConserved(const TGameTable& game);

class SoakServer {
public:
    SoakServer();
    ~SoakServer();

    int Port() const;
    int Connections() const { return socket_.ClientCount(); }
    // Connection objects not yet destroyed.
    static int LiveConnectionObjects();
    const TGameServer& Game() const { return game_; }
    const ServerFigures& Figures() const { return figures_; }
    // Closes the listening socket and every connection.
    void Stop();

private:
    // The server socket with connections that count their live instances.
    class CountingSocket : public TPacketServerSocket {
    protected:
        TCustomPacketServerClientWinSocket* DoGetSocket(int socketHandle) override;
    };

    CountingSocket socket_;
    TGameServer game_;
    ServerFigures figures_;
};

}  // namespace soak
