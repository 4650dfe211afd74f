#pragma once

#include <functional>
#include <string_view>

#include "platform/ansi_string.h"
#include "server/card_pile.h"
#include "server/roster.h"
#include "transport/packet_server_socket.h"

// The game behind the server's socket: the 54 cards spread over the deck
// (Yamafuda), the field (Bafuda) and the six seats' hands (Tefuda), the roster
// of joined players, and the handling of every packet a client sends. It
// answers and relays through the socket's broadcasts and reports joins,
// departures and connection failures through the log function.
//
// The server never judges a move: every command is relayed in the order it
// arrived, so that all clients build the same picture of the table.
// What the operator decides about the game at start-up.
struct TGameRules {
    // How long a dropped player's roster entry and seats wait for the player
    // to come back; 0 keeps them until the operator clears the entry.
    int GraceSeconds = 120;
    // Off: a connection may act and speak only in the names it joined with.
    // On: every packet is relayed as a level-1 server relays it.
    bool TrustNames = false;
    // The longest the server spends judging one hit.
    int SolverLimitMs = 50;
};

class TGameServer {
public:
    // What one connection may hold unprocessed, and what may wait in its
    // send queue (a peer that stops reading is cut off there).
    static constexpr int MaxRecvSize = 1 << 20;
    static constexpr int MaxSendQueue = 16 << 20;

    using LogFunction = std::function<void(const AnsiString& message)>;

    // Sets the socket's connection limits, deferred flushing and client error
    // handling; call before the socket is activated. Starts with a fresh
    // shuffled deck and an empty table.
    TGameServer(TPacketServerSocket& socket, LogFunction addLog, const TGameRules& rules = {});

    // One packet from the connection sender; data is valid during the call.
    void PacketArrived(TCustomWinSocket* sender, const void* data, int size);

    // The operator's commands, on the roster entry at index (-1: none).
    // Kill asks every client to let that player leave; the entry goes when
    // the player's "/left" arrives.
    void KillPlayer(int index);
    // Removes a stale entry and tells every client the new roster.
    void ClearRosterEntry(int index);

    TCardPile Yamafuda;
    TCardPile Bafuda;
    TCardPile Tefuda[6];
    TRoster Roster;

private:
    void NewGame();
    void Join(TCustomWinSocket* sender, std::string_view text, const void* data, int size);
    void Left(TCustomWinSocket* sender, std::string_view text, const void* data, int size);
    void Draw(std::string_view text);
    void Hit(std::string_view text);
    // Takes the top card of pile into card; false when the pile is empty
    // (card is then Protocol::NoCard, which is never put on a pile).
    static bool TakeCard(TCardPile& pile, int& card);
    // The seat's hand named by the digit at byte 6, or null for anything but "0" to "5".
    TCardPile* SeatHand(std::string_view text);

    void SendTextToAll(std::string_view text);
    void SendTextToAllExcept(std::string_view text, TCustomWinSocket* except);
    void Log(std::string_view utf8Word, std::string_view subject, TCustomWinSocket* sender);
    void ClientError(TCustomWinSocket* socket, TErrorEvent errorEvent, int& errorCode);

    TPacketServerSocket& socket_;
    LogFunction addLog_;
    TGameRules rules_;
};
