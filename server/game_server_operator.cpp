// The operator's side of the game server: who may connect and join (bans,
// limits per address), who may speak (mutes), and removing connections
// (kicks, the end of the server).
#include <sys/socket.h>

#include "platform/cp932.h"
#include "protocol/command_words.h"
#include "protocol/player_name.h"
#include "server/game_server.h"

using namespace Protocol;

namespace {

// What a muted player reads instead of seeing its line relayed.
constexpr std::string_view MutedNotice = "【管理】発言が制限されています";
constexpr std::string_view KickedWhy = "管理者による退出";

}  // namespace

void TGameServer::SetAddressLimits(const TAddressLimitOptions& options)
{
    limits_.emplace(options);
}

bool TGameServer::AdmitHandle(int handle)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return true;  // the connection is gone already; its close follows as usual
    const auto ip = IpAddressOf(address);
    return !ip || AdmitAddress(*ip);
}

bool TGameServer::AdmitAddress(const TIpAddress& address)
{
    if (Bans.MatchAddress(address)) {
        ++Metrics.Counter(KivolMetrics::Refusals, {{"reason", "banned"}});
        return false;
    }
    if (!limits_)
        return true;
    const TAddressLimits::TDecision decision = limits_->Accept(address);
    if (decision.Accept)
        return true;
    ++Metrics.Counter(KivolMetrics::Refusals, {{"reason", "limit"}});
    if (decision.Log) {
        std::string why = decision.Reason;
        if (decision.Unlogged > 0)
            why += " (+" + std::to_string(decision.Unlogged) + ")";
        Log(nullptr, "/制限  ", Cp932::FromUtf8(why), address.Text());
    }
    return false;
}

void TGameServer::ReleaseAddress(const TIpAddress& address)
{
    if (limits_)
        limits_->Release(address);
}

void TGameServer::Kick(const TPacketConnection* connection, Tables::TRefusal refusal, const AnsiString& text)
{
    const auto found = peers_.find(connection);
    if (found == peers_.end() || found->second.Kicked || found->second.Refused)
        return;
    TPeer& peer = found->second;
    peer.Kicked = true;
    ++Metrics.Counter(KivolMetrics::Refusals, {{"reason", std::string(Tables::RefusalReason(refusal))}});
    if (peer.Level2)
        services_.SendText(*peer.Connection,
                           Tables::RefusedText(refusal, text.empty() ? Tables::RefusalSentence(refusal) : text));
    bool killed = false;
    if (peer.Table && !peer.Watcher)
        for (int i = 0; i < peer.Table->Roster.Count(); ++i)
            if (peer.Table->Roster.Entry(i).Owner == connection) {
                peer.Table->KillPlayer(i);
                killed = true;
            }
    if (!killed) {
        peer.Connection->CloseAfterSending();
        return;
    }
    // A client that obeys "/kill" leaves and closes by itself; one that does
    // not is closed all the same.
    auto& graceEnd = kickGraceEnds_[connection];
    if (graceEnd)
        return;
    graceEnd = std::make_unique<TDeadline>([this, connection] {
        const auto still = peers_.find(connection);
        if (still != peers_.end() && still->second.Kicked)
            still->second.Connection->CloseAfterSending();
    });
    graceEnd->Start(std::chrono::milliseconds(KickGrace));
}

void TGameServer::KickEntry(TGameTable& table, int index, Tables::TRefusal refusal, const AnsiString& text)
{
    if (index < 0 || index >= table.Roster.Count())
        return;
    if (const TPacketConnection* owner = table.Roster.Entry(index).Owner) {
        Kick(owner, refusal, text);
        return;
    }
    table.RemoveEntry(index, KickedWhy);
    RemoveIfEmpty(&table);
}

void TGameServer::CompleteKicks()
{
    for (auto& [connection, peer] : peers_) {
        TGameTable* table = peer.Table;
        if (!peer.Kicked || !table)
            continue;
        RemoveKicked(peer);
        RemoveIfEmpty(table);
    }
}

void TGameServer::RemoveKicked(TPeer& peer)
{
    TGameTable* table = peer.Table;
    table->Detach(peer);
    for (int i = table->Roster.Count() - 1; i >= 0; --i)
        if (table->Roster.Entry(i).Owner == peer.Connection)
            table->RemoveEntry(i, KickedWhy);
    // A client that sent its "/left" but closed before freeing its seats
    // leaves no seat behind either.
    for (const AnsiString& name : peer.Names)
        table->ReleaseSeats(name);
}

void TGameServer::Mute(std::string_view name, std::chrono::steady_clock::time_point until)
{
    mutes_[PlayerNameKey(name)] = until;
}

bool TGameServer::Unmute(std::string_view name)
{
    return mutes_.erase(PlayerNameKey(name)) > 0;
}

bool TGameServer::Muted(const TPeer& peer)
{
    // Asked for every chat line and answer: without mutes, no name is keyed.
    if (mutes_.empty())
        return false;
    const auto now = Now();
    for (const AnsiString& name : peer.Names) {
        const auto found = mutes_.find(PlayerNameKey(name));
        if (found == mutes_.end())
            continue;
        if (found->second == std::chrono::steady_clock::time_point{} || now < found->second)
            return true;
        mutes_.erase(found);
    }
    return false;
}

bool TGameServer::DropMuted(TPeer& sender, std::string_view text)
{
    const bool chat = text.empty() || text.front() != Command::Prefix;
    if ((!chat && !IsCommand(text, Command::Answer)) || !Muted(sender))
        return false;
    services_.CountDrop(DropWhy::Muted);
    services_.SendText(*sender.Connection, Cp932::FromUtf8(MutedNotice));
    return true;
}

void TGameServer::CloseAll()
{
    const AnsiString closed =
        Tables::RefusedText(Tables::TRefusal::Closed, Tables::RefusalSentence(Tables::TRefusal::Closed));
    for (auto& [connection, peer] : peers_) {
        if (peer.Refused)
            continue;
        peer.Refused = true;
        if (peer.Level2 || peer.Connection->Kind() == TPacketConnection::TKind::WebSocket)
            services_.SendText(*peer.Connection, closed);
        peer.Connection->CloseAfterSending();
    }
}
