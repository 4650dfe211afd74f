#include "server/game_server.h"

#include <algorithm>
#include <cerrno>
#include <exception>

#include "platform/cp932.h"
#include "protocol/command_layout.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/level2.h"
#include "protocol/player_name.h"
#include "table/identity.h"
#include "transport/packet_server_client_sockets.h"

using namespace Protocol;

TGameServer::TGameServer(LogFunction addLog, const TGameRules& rules)
    : services_{rules, std::move(addLog), [this] { return Now(); }, {}, nullptr,
                [this](TGameTable& table, std::chrono::steady_clock::time_point next) { ScheduleWake(table, next); },
                {}, {}, {}, {}},
      main_(services_, AnsiString())
{
    services_.SolveBudget.Now = [this] { return Now(); };
    KivolMetrics::Declare(Metrics);
    services_.Counters.PacketsSent = &Metrics.Counter(KivolMetrics::PacketsSent);
    services_.Counters.BytesSent = &Metrics.Counter(KivolMetrics::BytesSent);
    packetsReceived_ = &Metrics.Counter(KivolMetrics::PacketsReceived);
    services_.Counters.Judged = [histogram = &Metrics.Histogram(KivolMetrics::JudgeSeconds)](double seconds) {
        histogram->Observe(seconds);
    };
    services_.Counters.Dropped = [this](std::string_view why) {
        ++Metrics.Counter(KivolMetrics::DroppedPackets, {{"why", std::string(why)}});
    };
    services_.Counters.BotSolve = [this](bool delayed) {
        ++Metrics.Counter(KivolMetrics::BotSolves);
        if (delayed)
            ++Metrics.Counter(KivolMetrics::BotSolvesDelayed);
    };
    services_.Counters.GameEnded = [this](std::string_view end) {
        ++Metrics.Counter(KivolMetrics::GamesTotal, {{"end", std::string(end)}});
    };
    wakeTimer_.setSingleShot(true);
    QObject::connect(&wakeTimer_, &QTimer::timeout, [this] { WakeTables(); });
}

TGameServer::TGameServer(TPacketServerSocket& socket, LogFunction addLog, const TGameRules& rules)
    : TGameServer(std::move(addLog), rules)
{
    Serve(socket);
}

TGameServer::~TGameServer()
{
    if (socket_) {
        socket_->SetConnectionOwner(nullptr);
        socket_->OnClientError = nullptr;
        socket_->Socket()->OnAdmit = nullptr;
    }
}

void TGameServer::Serve(TPacketServerSocket& socket)
{
    socket_ = &socket;
    socket.SetMaxUnprocessedSize(MaxRecvSize);
    socket.MaxSendQueue = MaxSendQueue;
    // No connection may make the server send more than 16 MiB a second
    // (after a burst of 32 MiB, a few rosters of a full table to everyone):
    // a flooder is slowed, the others keep their pace.
    socket.RelayRate = 16 << 20;
    socket.RelayBurst = 32 << 20;
    // A connection whose send fails is dealt with after the broadcast, on its
    // own, so that one bad peer never keeps a packet from the others.
    socket.DeferredFlush = true;
    socket.OnClientError = [this](TObject*, TCustomWinSocket* s, TErrorEvent errorEvent, int& errorCode) {
        // A peer's failure or reset is the peer's matter: logged, and the
        // code cleared so that it reaches no message box. The connection closes.
        const std::string reason = errorEvent == eeSend && errorCode == ENOBUFS
                                       ? std::string("送信キューが上限を超えました")
                                       : SocketErrorMessage(errorCode, ErrorEventName(errorEvent));
        const auto* connection = static_cast<TPacketServerClientWinSocket*>(s);
        const auto found = peers_.find(connection);
        Log(found != peers_.end() ? found->second.Table : nullptr, "/エラー  ", Cp932::FromUtf8(reason),
            connection->PeerAddress());
        errorCode = 0;
    };
    socket.Socket()->OnAdmit = [this](int handle) { return AdmitHandle(handle); };
    socket.SetConnectionOwner(this);
}

void TGameServer::ConnectionOpened(TPacketConnection* connection)
{
    TPeer& peer = peers_.try_emplace(connection, connection).first->second;
    // The map's entries stay where they are until erased.
    connection->SetOwnerData(&peer);
    // A TCP connection is at the main table from its accept, as at a level-1
    // server; a WebSocket speaks level 2 and is at no table until it joins.
    if (!peer.Table && connection->Kind() != TPacketConnection::TKind::WebSocket)
        main_.Enter(peer);
}

void TGameServer::PacketArrived(TPacketConnection* connection, const void* data, int size)
{
    if (!connection->OwnerData())
        ConnectionOpened(connection);
    TPeer& sender = *static_cast<TPeer*>(connection->OwnerData());
    ++*packetsReceived_;
    TGameTable* const before = sender.Table;
    // An exception that left here would make the transport hand the same
    // packet over again, and hold up every packet behind it.
    try {
        Dispatch(sender, CommandText(data, size), data, size);
    } catch (const std::exception& e) {
        LogFailure(sender, e.what());
    } catch (...) {
        LogFailure(sender, "");
    }
    RemoveIfEmpty(before);
}

void TGameServer::ConnectionClosed(TPacketConnection* connection)
{
    const auto found = peers_.find(connection);
    if (found == peers_.end())
        return;
    TGameTable* table = found->second.Table;
    if (limits_ && connection->Kind() != TPacketConnection::TKind::Memory)
        if (const auto address = ReadIpAddress(connection->PeerAddress()))
            limits_->Release(*address);
    if (table && found->second.Kicked)
        RemoveKicked(found->second);
    else if (table)
        table->Closed(found->second);
    peers_.erase(found);
    connection->SetOwnerData(nullptr);
    kickGraceEnds_.erase(connection);
    RemoveIfEmpty(table);
}

void TGameServer::Dispatch(TPeer& sender, std::string_view text, const void* data, int size)
{
    if (sender.Refused) {
        services_.CountDrop(DropWhy::Closing);
    } else if (sender.Kicked && !IsCommand(text, Command::Left) && !IsCommand(text, Command::FLeave)) {
        // A kicked connection may still run its leave sequence: "/left",
        // then "/fleav" for each of its seats.
        services_.CountDrop(DropWhy::Kicked);
    } else if (IsCommand(text, Command::Tables)) {
        AnswerTables(sender);
    } else if (Identity::ServerOnlyWord(text)) {
        services_.CountDrop(DropWhy::ServerOnly);
        Log(sender.Table, "/拒否  ", Identity::RefusedWord(text), sender.Connection->PeerAddress());
    } else if (sender.Watcher) {
        sender.Table->Drop(sender, text, DropWhy::Watcher);
    } else if (IsCommand(text, Command::Join)) {
        Join(sender, text, data, size);
    } else if (IsCommand(text, Command::Register)) {
        Register(sender, text);
    } else if (!sender.Table) {
        services_.CountDrop(DropWhy::Unjoined);
    } else if (!DropMuted(sender, text)) {
        sender.Table->PacketArrived(sender, text, data, size);
    }
}

void TGameServer::Join(TPeer& sender, std::string_view text, const void* data, int size)
{
    const auto announcement = Tables::ReadAnnouncement(Level2::Trailer(data, size));
    if (PlayerNameKey(NameField(text, Layout::JoinName)) == PlayerNameKey(Dealer::DealerName())) {
        // The dealer's name is nobody's: a player in it would seem to deal.
        Refuse(sender, NameField(text, Layout::JoinName), Tables::TRefusal::Claimed, announcement.has_value(),
               Cp932::FromUtf8("この名前は使えません"));
        return;
    }
    if (Bans.MatchName(NameField(text, Layout::JoinName))) {
        // A connection that already plays under another name goes whole.
        if (sender.Names.empty())
            Refuse(sender, NameField(text, Layout::JoinName), Tables::TRefusal::Banned, announcement.has_value());
        else
            Kick(sender.Connection, Tables::TRefusal::Banned, Tables::RefusalSentence(Tables::TRefusal::Banned));
        return;
    }
    if (RefuseClaimed(sender, NameField(text, Layout::JoinName), announcement))
        return;
    // A connection stays at the table it joined: its further names join there.
    if (!sender.Names.empty()) {
        if (sender.Table)
            sender.Table->Join(sender, text, data, size, announcement);
        return;
    }
    TGameTable* table = PlaceJoin(sender, text, announcement);
    if (!table)
        return;
    if (sender.Table != table) {
        if (sender.Table)
            sender.Table->Detach(sender);
        table->Enter(sender);
    }
    if (announcement && announcement->Watch)
        table->Watch(sender, text);
    else
        table->Join(sender, text, data, size, announcement);
}

TGameTable* TGameServer::PlaceJoin(TPeer& sender, std::string_view text,
                                   const std::optional<Tables::TAnnouncement>& announcement)
{
    using Tables::TRefusal;
    const AnsiString name = NameField(text, Layout::JoinName);
    const bool level2 = announcement.has_value();
    const bool watch = level2 && announcement->Watch;
    TGameTable* table = &main_;
    if (level2 && announcement->Table) {
        const AnsiString& tableName = *announcement->Table;
        if (!Tables::IsTableName(tableName)) {
            Refuse(sender, name, TRefusal::Name, true);
            return nullptr;
        }
        const AnsiString key = Tables::TableNameKey(tableName);
        const auto found = tables_.find(key);
        if (found == tables_.end()) {
            if (TableCount() >= services_.Rules.MaxTables) {
                Refuse(sender, name, TRefusal::Tables, true);
                return nullptr;
            }
            if (announcement->Key && !Tables::IsTableKey(*announcement->Key)) {
                Refuse(sender, name, TRefusal::Key, true);
                return nullptr;
            }
            auto made = std::make_unique<TGameTable>(services_, tableName);
            made->Key = announcement->Key;
            table = tables_.emplace(key, std::move(made)).first->second.get();
            if (OnTableAdded)
                OnTableAdded(*table);
            return table;
        }
        table = found->second.get();
        if (table->Key && announcement->Key != table->Key) {
            Refuse(sender, name, TRefusal::Key, true);
            return nullptr;
        }
    }
    if (!watch && table->Full()) {
        Refuse(sender, name, TRefusal::Full, level2);
        return nullptr;
    }
    return table;
}

void TGameServer::Refuse(TPeer& sender, std::string_view name, Tables::TRefusal refusal, bool level2,
                         const AnsiString& sentence)
{
    // Nothing is relayed and no entry made. A level-2 client reads why; a
    // level-1 connection is closed without a word.
    sender.Refused = true;
    ++Metrics.Counter(KivolMetrics::Refusals, {{"reason", std::string(Tables::RefusalReason(refusal))}});
    if (sender.Table)
        sender.Table->Detach(sender);
    if (level2)
        services_.SendText(*sender.Connection,
                           Tables::RefusedText(refusal, sentence.empty() ? Tables::RefusalSentence(refusal) : sentence));
    sender.Connection->CloseAfterSending();
    Log(nullptr, "/拒否  ", AnsiString(name) + " " + AnsiString(Tables::RefusalReason(refusal)),
        sender.Connection->PeerAddress());
}

void TGameServer::AnswerTables(TPeer& sender)
{
    // Over TCP a connection asks once it has joined with level 2; a
    // WebSocket, which always speaks level 2, also before.
    if (!sender.Level2 && sender.Connection->Kind() != TPacketConnection::TKind::WebSocket) {
        services_.CountDrop(DropWhy::Word);
        return;
    }
    const auto now = Now();
    if (sender.TablesAnswered && now - sender.LastTablesAnswer < TablesInterval) {
        services_.CountDrop(DropWhy::Tables);
        return;
    }
    sender.TablesAnswered = true;
    sender.LastTablesAnswer = now;
    services_.SendText(*sender.Connection, Tables::ListBegin);
    for (const Tables::TTableRow& row : ListedTables())
        services_.SendText(*sender.Connection, Tables::TableRowText(row));
    services_.SendText(*sender.Connection, Tables::ListEnd);
}

std::vector<Tables::TTableRow> TGameServer::ListedTables() const
{
    std::vector<Tables::TTableRow> rows{main_.Row()};
    for (const auto& [key, table] : tables_)
        if (!table->Key)
            rows.push_back(table->Row());
    return rows;
}

TGameTable* TGameServer::FindTable(std::string_view name)
{
    if (name.empty())
        return &main_;
    const auto found = tables_.find(Tables::TableNameKey(name));
    return found == tables_.end() ? nullptr : found->second.get();
}

TGameTable& TGameServer::RestoredTable(const AnsiString& name)
{
    if (TGameTable* found = FindTable(name))
        return *found;
    TGameTable& table = *tables_.emplace(Tables::TableNameKey(name), std::make_unique<TGameTable>(services_, name))
                             .first->second;
    if (OnTableAdded)
        OnTableAdded(table);
    return table;
}

std::vector<TGameTable*> TGameServer::Tables()
{
    std::vector<TGameTable*> all{&main_};
    for (const auto& [key, table] : tables_)
        all.push_back(table.get());
    return all;
}

const TGameTable* TGameServer::TableOf(const TPacketConnection* connection) const
{
    const auto found = peers_.find(connection);
    return found == peers_.end() ? nullptr : found->second.Table;
}

void TGameServer::RemoveIfEmpty(TGameTable* table)
{
    if (!table || table == &main_ || !table->Empty())
        return;
    ScheduleWake(*table, {});
    table->DetachAll();
    if (OnTableRemoved)
        OnTableRemoved(*table);
    tables_.erase(Tables::TableNameKey(table->Name()));
}

void TGameServer::ClearRosterEntry(TGameTable& table, int index)
{
    table.ClearRosterEntry(index);
    RemoveIfEmpty(&table);
}

void TGameServer::WakeTables()
{
    const auto now = Now();
    while (!wakes_.empty() && wakes_.begin()->first <= now) {
        TGameTable* table = wakes_.begin()->second;
        ScheduleWake(*table, {});
        table->Wake();
        RemoveIfEmpty(table);
    }
    StartWakeTimer();
}

void TGameServer::ScheduleWake(TGameTable& table, std::chrono::steady_clock::time_point next)
{
    const auto found = wakeOf_.find(&table);
    if (found != wakeOf_.end()) {
        wakes_.erase({found->second, &table});
        wakeOf_.erase(found);
    }
    if (next != std::chrono::steady_clock::time_point{}) {
        wakes_.emplace(next, &table);
        wakeOf_.emplace(&table, next);
    }
    StartWakeTimer();
}

void TGameServer::StartWakeTimer()
{
    if (wakes_.empty()) {
        wakeTimer_.stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wakes_.begin()->first - Now());
    wakeTimer_.start(static_cast<int>(std::clamp<long long>(wait.count(), 0, 24 * 3600 * 1000)));
}

void TGameServer::SetRandomEngine(std::mt19937& engine)
{
    services_.Engine = &engine;
    for (TGameTable* table : Tables())
        table->UseRandomEngine(&engine);
}

void TGameServer::LogFailure(TPeer& sender, const char* utf8What) noexcept
{
    // The failure may be the log's own; then the packet is dropped unlogged.
    try {
        services_.CountDrop(DropWhy::Error);
        Log(sender.Table, "/例外  ", Cp932::FromUtf8(utf8What), sender.Connection->PeerAddress());
    } catch (...) {
    }
}

void TGameServer::Log(TGameTable* table, std::string_view utf8Word, std::string_view subject, std::string_view where)
{
    if (table)
        table->Log(utf8Word, subject, where);
    else if (services_.AddLog)
        services_.AddLog(Cp932::FromUtf8(utf8Word) + AnsiString(subject) + "[" + AnsiString(where) + "]");
}
