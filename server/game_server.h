#pragma once

#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ansi_string.h"
#include "protocol/tables.h"
#include "server/game_rules.h"
#include "server/game_table.h"
#include "server/peer.h"
#include "transport/packet_connection.h"
#include "transport/packet_server_socket.h"

// The game server: a set of tables and, above them, the connections. It owns
// what it knows of each connection, knows which table each is at, creates a
// table for the first join that names it and removes it when its last player
// and watcher have gone, refuses the joins it cannot accept, answers
// "/tables", and hands every other packet to the sender's table. The main
// table (the empty name) always exists: every level-1 connection, and every
// level-2 join that names no table, is there. A connection, TCP, WebSocket or
// one in memory, is one kind of thing here: packets in, packets out, a close.
class TGameServer : public TPacketConnectionOwner {
public:
    // What one TCP connection may hold unprocessed, and what may wait in its
    // send queue (a peer that stops reading is cut off there).
    static constexpr int MaxRecvSize = 1 << 20;
    static constexpr int MaxSendQueue = 16 << 20;
    // "/tables" is answered at most this often per connection.
    static constexpr auto TablesInterval = std::chrono::seconds(1);

    using LogFunction = std::function<void(const AnsiString& message)>;
    using Clock = TTableServices::Clock;

    explicit TGameServer(LogFunction addLog, const TGameRules& rules = {});
    // Also serves socket's connections (see Serve).
    TGameServer(TPacketServerSocket& socket, LogFunction addLog, const TGameRules& rules = {});
    ~TGameServer() override;

    // Takes the connections of socket: sets its limits, deferred flushing
    // and pacing, and logs its connections' failures. Call before the socket
    // is activated.
    void Serve(TPacketServerSocket& socket);

    void ConnectionOpened(TPacketConnection* connection) override;
    // Nothing thrown while handling a packet reaches the caller: the packet
    // is logged and dropped.
    void PacketArrived(TPacketConnection* connection, const void* data, int size) override;
    void ConnectionClosed(TPacketConnection* connection) override;

    TGameTable& Main() { return main_; }
    const TGameTable& Main() const { return main_; }
    // The table of that name (ASCII letter case aside; empty: the main
    // table); null when there is none.
    TGameTable* FindTable(std::string_view name);
    // Every table: the main table first, then the others in name order.
    std::vector<TGameTable*> Tables();
    // The tables besides the main one.
    int TableCount() const { return static_cast<int>(tables_.size()); }
    // What "/tables" lists: the main table, then every public table in name order.
    std::vector<Protocol::Tables::TTableRow> ListedTables() const;
    // The table a connection is at (null: none, or not a connection here).
    const TGameTable* TableOf(const TPacketConnection* connection) const;

    // The operator's Clear: removes a stale entry of the table's roster, and
    // the table with it when that was its last.
    void ClearRosterEntry(TGameTable& table, int index);
    // Ends the grace periods due now, at every table; runs on a timer.
    void ExpireAwayEntries();
    // The shuffle's random source for every pile of every table (tests fix the deck order).
    void SetRandomEngine(std::mt19937& engine);

    // A table was made, or is about to be removed (the operator's window
    // follows the rosters through them).
    std::function<void(TGameTable& table)> OnTableAdded;
    std::function<void(TGameTable& table)> OnTableRemoved;
    // Where grace periods are measured; tests move it forward.
    Clock Now = [] { return std::chrono::steady_clock::now(); };
    // All solving at every table together stays within this budget.
    TSolveBudget& SolveBudget() { return services_.SolveBudget; }

private:
    void Dispatch(TPeer& sender, std::string_view text, const void* data, int size);
    void Join(TPeer& sender, std::string_view text, const void* data, int size);
    // The table a first join goes to, made if need be; null after refusing it.
    TGameTable* PlaceJoin(TPeer& sender, std::string_view text,
                          const std::optional<Protocol::Tables::TAnnouncement>& announcement);
    void Refuse(TPeer& sender, std::string_view name, Protocol::Tables::TRefusal refusal, bool level2);
    void AnswerTables(TPeer& sender);
    void LogFailure(TPeer& sender, const char* utf8What) noexcept;
    // A line of table's log (null: a line about no table, as the main table's read).
    void Log(TGameTable* table, std::string_view utf8Word, std::string_view subject, std::string_view where);
    // Removes a table other than the main one once it is empty.
    void RemoveIfEmpty(TGameTable* table);
    void ScheduleExpiry(TGameTable& table, std::chrono::steady_clock::time_point next);
    void StartGraceTimer();

    TTableServices services_;
    TGameTable main_;
    // The other tables by their name's key (ASCII letters lower case): the
    // listing's order.
    std::map<AnsiString, std::unique_ptr<TGameTable>> tables_;
    std::unordered_map<const TPacketConnection*, TPeer> peers_;
    // The next end of a grace period at each table that has one, earliest first.
    std::set<std::pair<std::chrono::steady_clock::time_point, TGameTable*>> expiries_;
    std::unordered_map<const TGameTable*, std::chrono::steady_clock::time_point> expiryOf_;
    QTimer graceTimer_;
    TPacketServerSocket* socket_ = nullptr;
};
