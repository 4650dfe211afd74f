#pragma once

#include <QString>
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
#include "platform/address_pattern.h"
#include "platform/deadline_heap.h"
#include "protocol/tables.h"
#include "records/record_store.h"
#include "server/address_limits.h"
#include "server/ban_list.h"
#include "table/game_rules.h"
#include "table/game_table.h"
#include "server/metrics.h"
#include "table/peer.h"
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
    // The table of that name, made (public, no key, a fresh deck) when there
    // is none, whatever the table limit: a table brought back from a save.
    TGameTable& RestoredTable(const AnsiString& name);
    // The tables besides the main one.
    int TableCount() const { return static_cast<int>(tables_.size()); }
    // What "/tables" lists: the main table, then every public table in name order.
    std::vector<Protocol::Tables::TTableRow> ListedTables() const;
    // The table a connection is at (null: none, or not a connection here).
    const TGameTable* TableOf(const TPacketConnection* connection) const;

    // The operator's Clear: removes a stale entry of the table's roster, and
    // the table with it when that was its last.
    void ClearRosterEntry(TGameTable& table, int index);
    // Wakes every table whose time has come (grace ends, dealt games); runs
    // on the server's one timer, set to the earliest table.
    void WakeTables();
    // Where every table's finished dealt games go, and how a name's
    // registration is known (null: games are not kept, no name is registered).
    void SetRecords(std::function<void(Records::TGameRecord record)> recordGame,
                    std::function<bool(const AnsiString& name)> isRegistered)
    {
        services_.RecordGame = std::move(recordGame);
        services_.IsRegistered = std::move(isRegistered);
    }
    // The store of games, names and ratings (game_server_records.cpp): every
    // finished dealt game is queued to it, a join in a registered name must
    // carry the name's key, and "/register" registers a name.
    void UseRecords(std::unique_ptr<Records::TRecordStore> store);
    // Null until UseRecords.
    Records::TRecordStore* RecordStore() const { return records_.get(); }
    // Where the server's pages are, told to every level-2 client after its
    // sync block: publicUrl when the operator gave one, else
    // http(s)://ADDRESS:webPort/ from the address the client connected to.
    void ServeSite(const QString& publicUrl, int webPort, bool secure);
    // A log for the store, safe from its writer's thread: each line is
    // written to the server's log on the event loop's thread.
    Records::TRecordStore::TLog RecordsLog();
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

    // The operator's rules and actions (game_server_operator.cpp).
    // The bans, applied at accept, in AdmitAddress and at every join.
    TBanList Bans;
    // The counters of the metrics; the gauges are set by whoever renders them.
    TMetricsRegistry Metrics;
    // How long a kicked connection may take to leave before it is closed.
    static constexpr auto KickGrace = std::chrono::seconds(2);
    void SetAddressLimits(const TAddressLimitOptions& options);
    // Whether a new connection from address is served: not banned and within
    // the limits per address (it then counts until it closes). The TCP port
    // asks at accept; the web port asks before it upgrades a WebSocket.
    bool AdmitAddress(const TIpAddress& address);
    // Gives back an admission whose connection never opened (a WebSocket
    // whose handshake failed); an opened one is given back at its close.
    void ReleaseAddress(const TIpAddress& address);
    // Every connection and what is known of it.
    const std::unordered_map<const TPacketConnection*, TPeer>& Peers() const { return peers_; }
    // Removes the connection from the game: a level-2 peer is told why
    // ("/refused" refusal text), its table gets "/kill" for each of its
    // entries, and the connection is closed at the latest KickGrace later;
    // its entries then go as leaves. A watcher or a connection that has not
    // joined is closed at once.
    void Kick(const TPacketConnection* connection, Protocol::Tables::TRefusal refusal, const AnsiString& text);
    // Kicks the entry's connection, or removes an away entry as a leave now.
    void KickEntry(TGameTable& table, int index, Protocol::Tables::TRefusal refusal, const AnsiString& text);
    // Removes now, as leaves, the entries of every kicked connection that has
    // not closed yet: before the tables are saved for a restart, so that a
    // kick never comes back with them.
    void CompleteKicks();
    // Chat lines and answers of that name are dropped until the time (epoch: until unmuted).
    void Mute(std::string_view name, std::chrono::steady_clock::time_point until);
    bool Unmute(std::string_view name);
    // Ends every connection for a shutdown: level-2 peers get "/refused
    // closed"; the entries stay (away), as after any drop.
    void CloseAll();

private:
    void Dispatch(TPeer& sender, std::string_view text, const void* data, int size);
    void Join(TPeer& sender, std::string_view text, const void* data, int size);
    // The table a first join goes to, made if need be; null after refusing it.
    TGameTable* PlaceJoin(TPeer& sender, std::string_view text,
                          const std::optional<Protocol::Tables::TAnnouncement>& announcement);
    // sentence: the refusal's own when empty.
    void Refuse(TPeer& sender, std::string_view name, Protocol::Tables::TRefusal refusal, bool level2,
                const AnsiString& sentence = {});
    void AnswerTables(TPeer& sender);
    void LogFailure(TPeer& sender, const char* utf8What) noexcept;
    // A line of table's log (null: a line about no table, as the main table's read).
    void Log(TGameTable* table, std::string_view utf8Word, std::string_view subject, std::string_view where);
    // Removes a table other than the main one once it is empty.
    void RemoveIfEmpty(TGameTable* table);
    void ScheduleWake(TGameTable& table, std::chrono::steady_clock::time_point next);
    void StartWakeTimer();
    bool AdmitHandle(int handle);
    // A muted player's chat line or answer: dropped, and its sender told.
    bool DropMuted(TPeer& sender, std::string_view text);
    bool Muted(const TPeer& peer);
    // The close of a kicked connection: its entries go as leaves.
    void RemoveKicked(TPeer& peer);
    // A join in a registered name without its key: refused (or, from a
    // connection that plays under other names, kicked). False when the join may go on.
    bool RefuseClaimed(TPeer& sender, std::string_view name,
                       const std::optional<Protocol::Tables::TAnnouncement>& announcement);
    // "/register" from a level-2 player: the key for that connection alone,
    // or why not; from a level-1 connection it is dropped.
    void Register(TPeer& sender, std::string_view text);

    // The store's log lines reach the event loop through this object; it
    // goes after the store, whose writer thread has stopped by then.
    QObject recordsLogContext_;
    // Outlives the tables, whose games it is given.
    std::unique_ptr<Records::TRecordStore> records_;
    TTableServices services_;
    TGameTable main_;
    // The other tables by their name's key (ASCII letters lower case): the
    // listing's order.
    std::map<AnsiString, std::unique_ptr<TGameTable>> tables_;
    std::unordered_map<const TPacketConnection*, TPeer> peers_;
    // Found once: every packet that arrives counts it.
    double* packetsReceived_ = nullptr;
    // The end of the grace a kicked connection has to close by itself.
    std::unordered_map<const TPacketConnection*, std::unique_ptr<TDeadline>> kickGraceEnds_;
    // The next wake of each table that has one (a grace end, a dealer's
    // step), earliest first.
    std::set<std::pair<std::chrono::steady_clock::time_point, TGameTable*>> wakes_;
    std::unordered_map<const TGameTable*, std::chrono::steady_clock::time_point> wakeOf_;
    QTimer wakeTimer_;
    TPacketServerSocket* socket_ = nullptr;
    std::optional<TAddressLimits> limits_;
    // Muted names by their key, until when (epoch: until unmuted).
    std::map<AnsiString, std::chrono::steady_clock::time_point> mutes_;
};
