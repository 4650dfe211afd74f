#pragma once

#include <QTimer>
#include <chrono>
#include <functional>
#include <random>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ansi_string.h"
#include "server/card_pile.h"
#include "server/hit_judge.h"
#include "server/roster.h"
#include "server/table_record.h"
#include "transport/packet_server_socket.h"

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

// The game behind the server's socket: the 54 cards spread over the deck
// (Yamafuda), the field (Bafuda) and the six seats' hands (Tefuda), the roster
// of joined players, and the handling of every packet a client sends. It
// answers and relays through the socket's broadcasts and reports joins,
// departures and connection failures through the log function.
//
// Every command is relayed in the order it arrived, so that all clients build
// the same picture of the table. The server also follows that picture (seats,
// drawers, target) so that it can rebuild it for a client that announced
// level 2: one that joins during a game, or comes back after its connection
// dropped. A connection that drops without leaving keeps its roster entry and
// seats for the grace period.
class TGameServer {
public:
    // What one connection may hold unprocessed, and what may wait in its
    // send queue (a peer that stops reading is cut off there).
    static constexpr int MaxRecvSize = 1 << 20;
    static constexpr int MaxSendQueue = 16 << 20;
    // Every join sends the whole roster to everyone: joins are bounded.
    static constexpr int MaxNamesPerConnection = 4;
    static constexpr int MaxRosterEntries = 1000;

    using LogFunction = std::function<void(const AnsiString& message)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Sets the socket's connection limits, deferred flushing and client error
    // handling; call before the socket is activated. Starts with a fresh
    // shuffled deck and an empty table.
    TGameServer(TPacketServerSocket& socket, LogFunction addLog, const TGameRules& rules = {});

    // One packet from the connection sender; data is valid during the call.
    // Nothing thrown while handling it reaches the caller: the packet is
    // logged and dropped.
    void PacketArrived(TCustomWinSocket* sender, const void* data, int size);
    // The connection has closed: the roster entries it joined stay, away,
    // for the grace period.
    void ClientDisconnected(TCustomWinSocket* socket);

    // The operator's commands, on the roster entry at index (-1: none).
    // Kill asks every client to let that player leave; the entry goes when
    // the player's "/left" arrives.
    void KillPlayer(int index);
    // Removes a stale entry and tells every client the new roster.
    void ClearRosterEntry(int index);

    // Ends the grace period of every away entry whose time has come: the
    // others are told as if the player had left. Runs on a timer.
    void ExpireAwayEntries();
    // The commands that rebuild the current table at an empty client.
    std::vector<AnsiString> TableRebuild() const { return Table.Rebuild(Bafuda, Tefuda); }
    // The shuffle's random source for every pile (tests fix the deck order).
    void SetRandomEngine(std::mt19937& engine);

    TCardPile Yamafuda;
    TCardPile Bafuda;
    TCardPile Tefuda[6];
    TRoster Roster;
    TTableRecord Table;
    // The verdict on each hit, sent to level-2 connections.
    THitJudge Judge;
    // Where grace periods are measured; tests move it forward.
    Clock Now = [] { return std::chrono::steady_clock::now(); };

private:
    // What the server knows of one connection.
    struct TPeer {
        AnsiString Address;             // the peer's, for the log
        std::vector<AnsiString> Names;  // every name it joined with, a "/left" notwithstanding
        bool Level2 = false;
        bool RefusalLogged = false;
        std::chrono::steady_clock::time_point LastRefusalLog{};
    };

    // An empty field and hands, a full shuffled deck.
    void DealFreshDeck();
    // The record of a connection, made when it first needs one.
    TPeer& PeerOf(TCustomWinSocket* socket);
    void LogFailure(TCustomWinSocket* sender, const char* utf8What) noexcept;
    void Dispatch(TCustomWinSocket* sender, std::string_view text, const void* data, int size);
    void Join(TCustomWinSocket* sender, std::string_view text, const void* data, int size);
    bool Resume(TCustomWinSocket* sender, std::string_view name, std::string_view token);
    void Left(TCustomWinSocket* sender, std::string_view text, const void* data, int size);
    void Draw(std::string_view text);
    void Hit(std::string_view text);
    void Answer(std::string_view text);
    // The field or the target changed: the next hit is the first.
    void TableChanged();
    std::vector<int> FieldCards() const;
    std::optional<std::int64_t> Target() const;
    // Takes the top card of pile into card; false when the pile is empty
    // (card is then Protocol::NoCard, which is never put on a pile).
    static bool TakeCard(TCardPile& pile, int& card);
    // The seat's hand named by the digit at byte 6, or null for anything but "0" to "5".
    TCardPile* SeatHand(std::string_view text);

    // Identity: whether sender may send text (it joined, and every name the
    // text carries is one of its own).
    bool MaySend(TCustomWinSocket* sender, std::string_view text) const;
    bool OwnsName(TCustomWinSocket* sender, std::string_view name) const;
    void Refuse(TCustomWinSocket* sender, std::string_view text);

    // Level 2: the sync block and the away list for one connection.
    void SendSyncBlock(TCustomWinSocket* socket, const std::string& token);
    void SendToLevel2(std::string_view text, TCustomWinSocket* except);
    void ScheduleExpiry();
    void Expire(int index);

    void SendText(TCustomWinSocket* socket, std::string_view text);
    void SendTextToAll(std::string_view text);
    void SendTextToAllExcept(std::string_view text, TCustomWinSocket* except);
    void Log(std::string_view utf8Word, std::string_view subject, TCustomWinSocket* sender);
    void Log(std::string_view utf8Word, std::string_view subject, std::string_view where);
    void ClientError(TCustomWinSocket* socket, TErrorEvent errorEvent, int& errorCode);

    TPacketServerSocket& socket_;
    LogFunction addLog_;
    TGameRules rules_;
    std::unordered_map<TCustomWinSocket*, TPeer> peers_;
    QTimer graceTimer_;
    // Whether anybody hit since the field or the target last changed, and
    // who did and has not answered yet (one answer per hit).
    bool hitSinceChange_ = false;
    std::vector<AnsiString> mayAnswer_;
};
