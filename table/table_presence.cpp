// Who is at a table: joins, watchers, resumes, leaves, drops and the ends of
// grace periods, with the sync block that shows a level-2 client the table.
#include "platform/cp932.h"
#include "protocol/command_layout.h"
#include "protocol/command_words.h"
#include "protocol/level2.h"
#include "protocol/registration.h"
#include "table/game_table.h"
#include "table/session_token.h"

using namespace Protocol;

void TGameTable::Join(TPeer& sender, std::string_view text, const void* data, int size,
                      const std::optional<Tables::TAnnouncement>& announcement)
{
    const AnsiString name = NameField(text, Layout::JoinName);
    if (static_cast<int>(sender.Names.size()) >= MaxNamesPerConnection || Full()) {
        Drop(sender, text, DropWhy::Join);
        return;
    }
    sender.Names.push_back(name);

    if (!announcement) {
        SendToAll(data, size, &sender);
        Roster.Add(name, sender.Connection, 1);
        SendTextToAll("/list " + Roster.Text());
        Log("/参加  ", name, sender.Connection->PeerAddress());
        return;
    }
    sender.Level2 = true;
    // Neither the announcement nor a token is ever passed on.
    SendTextToAll(text, &sender);
    if (Resume(sender, name, announcement->Token))
        return;
    const std::string token = NewSessionToken();
    const int index = Roster.Add(name, sender.Connection, 2);
    Roster.SetToken(index, token);
    SendTextToAll("/list " + Roster.Text());
    Log("/参加  ", name, sender.Connection->PeerAddress());
    SendSyncBlock(sender, token);
}

bool TGameTable::Resume(TPeer& sender, std::string_view name, std::string_view token)
{
    if (token.empty())
        return false;
    const int index = Roster.IndexOfAwayToken(token);
    if (index < 0 || !SameNameIgnoringCase(Roster[index], name))
        return false;
    // A token is used up by the resume it allows.
    const std::string fresh = NewSessionToken();
    Roster.Update(index, [&](TRosterEntry& entry) {
        entry.Owner = sender.Connection;
        entry.Address = sender.Connection->PeerAddress();
        entry.Level = 2;
        entry.TokenHash = SessionTokenHash(fresh);
        entry.Away = false;
        entry.AwayUntil = {};
    });
    SendTextToAll("/list " + Roster.Text());
    SendToLevel2(AnsiString(Command::Back) + " " + Roster[index], &sender);
    Log("/復帰  ", Roster[index], sender.Connection->PeerAddress());
    UpdatePresence();
    SendSyncBlock(sender, fresh);
    ScheduleWake();
    return true;
}

void TGameTable::Watch(TPeer& watcher, std::string_view text)
{
    // A watcher gets what a joining player gets, but is no roster entry: its
    // token of zeros resumes nothing.
    watcher.Watcher = true;
    watcher.Level2 = true;
    ++watchers_;
    Send(watcher, "/list " + Roster.Text());
    Log("/観戦  ", NameField(text, Layout::JoinName), watcher.Connection->PeerAddress());
    SendSyncBlock(watcher, std::string(Level2::TokenLength, '0'));
}

void TGameTable::SendSyncBlock(TPeer& peer, const std::string& token)
{
    Send(peer, AnsiString(Level2::StateBegin) + " " + token + " " + std::to_string(services_.Rules.GraceSeconds));
    for (const AnsiString& command : TableRebuild())
        Send(peer, command);
    Send(peer, Level2::StateEnd);
    for (const TRosterEntry& entry : Roster.Entries())
        if (entry.Away)
            Send(peer, AnsiString(Command::Away) + " " + entry.Name);
    for (const AnsiString& line : dealer_.StateLines(services_.Now()))
        Send(peer, line);
    if (services_.SiteUrl)
        if (const std::string url = services_.SiteUrl(*peer.Connection); !url.empty())
            Send(peer, Registration::SiteText(url));
}

void TGameTable::Left(TPeer& sender, std::string_view text, const void* data, int size)
{
    const AnsiString name = NameField(text, Layout::LeftName);
    // Trusting names, the first entry of that name goes, as at a level-1
    // server (whose roster order every level-1 client then shows); otherwise
    // the sender's own entry goes first.
    const int own = services_.Rules.TrustNames ? -1 : Roster.IndexOf(name, sender.Connection);
    Roster.Delete(own >= 0 ? own : Roster.IndexOf(name));
    SendTextToAll("/list " + Roster.Text(), &sender);
    SendToAll(data, size, &sender);
    Log("/退席  ", name, sender.Connection->PeerAddress());
    ScheduleWake();
}

void TGameTable::Closed(TPeer& peer)
{
    Detach(peer);
    if (peer.Watcher)
        return;
    const auto graceEnd = GraceEnd();
    for (int i = 0; i < Roster.Count(); ++i) {
        if (Roster.Entry(i).Owner != peer.Connection)
            continue;
        Roster.Update(i, [&](TRosterEntry& entry) {
            entry.Owner = nullptr;
            entry.Away = true;
            entry.AwayUntil = graceEnd;
        });
        SendToLevel2(AnsiString(Command::Away) + " " + Roster[i], &peer);
        Log("/離脱  ", Roster[i], peer.Connection->PeerAddress());
    }
    UpdatePresence();
    ScheduleWake();
}

std::chrono::steady_clock::time_point TGameTable::GraceEnd() const
{
    return services_.Rules.GraceSeconds > 0 ? services_.Now() + std::chrono::seconds(services_.Rules.GraceSeconds)
                                            : std::chrono::steady_clock::time_point{};
}

void TGameTable::AddAwayEntry(const AnsiString& name, const std::string& tokenHash)
{
    const int index = Roster.Add(name);
    Roster.Update(index, [&](TRosterEntry& entry) {
        entry.TokenHash = tokenHash;
        entry.Away = true;
        entry.AwayUntil = GraceEnd();
    });
    ScheduleWake();
}

void TGameTable::Wake()
{
    const auto now = services_.Now();
    Dealer::TOutputs outputs;
    dealer_.Wake(View(), now, outputs);
    Deliver(outputs);
    WakeBots();
    for (int i = 0; i < Roster.Count();) {
        const TRosterEntry& entry = Roster.Entry(i);
        if (entry.Away && entry.AwayUntil != std::chrono::steady_clock::time_point{} && entry.AwayUntil <= now)
            RemoveEntry(i, "猶予切れ");
        else
            ++i;
    }
    ScheduleWake();
}

void TGameTable::RemoveEntry(int index, std::string_view utf8Why)
{
    // What the others receive is what the player's own leaving would have
    // sent: the roster without the entry, "/left", then the seats freed.
    const AnsiString name = Roster[index];
    Roster.Delete(index);
    SendTextToAll("/list " + Roster.Text());
    SendTextToAll(AnsiString(Command::Left) + " " + name);
    ReleaseSeats(name);
    Log("/退席  ", name, Cp932::FromUtf8(utf8Why));
    ScheduleWake();
}

void TGameTable::ReleaseSeats(const AnsiString& name)
{
    bool stillHere = false;
    for (const TRosterEntry& entry : Roster.Entries())
        stillHere = stillHere || (!entry.Away && SameNameIgnoringCase(entry.Name, name));
    if (!stillHere)
        for (int seat : Table.FreeSeatsOf(name)) {
            SendTextToAll(AnsiString(Command::FLeave) + " " + std::to_string(seat));
            SeatFreed(seat, name);
        }
    UpdatePresence();
}

std::chrono::steady_clock::time_point TGameTable::NextWake() const
{
    auto next = dealer_.NextWake();
    if (const auto bots = NextBotWake(); bots != std::chrono::steady_clock::time_point{} &&
                                         (next == std::chrono::steady_clock::time_point{} || bots < next))
        next = bots;
    for (const TRosterEntry& entry : Roster.Entries())
        if (entry.Away && entry.AwayUntil != std::chrono::steady_clock::time_point{} &&
            (next == std::chrono::steady_clock::time_point{} || entry.AwayUntil < next))
            next = entry.AwayUntil;
    return next;
}

void TGameTable::ScheduleWake()
{
    FollowBots();
    if (services_.ScheduleWake)
        services_.ScheduleWake(*this, NextWake());
}

void TGameTable::KillPlayer(int index)
{
    if (index < 0 || index >= Roster.Count())
        return;
    SendTextToAll("/kill " + Roster[index]);
}

void TGameTable::ClearRosterEntry(int index)
{
    if (index < 0 || index >= Roster.Count())
        return;
    Roster.Delete(index);
    SendTextToAll("/list " + Roster.Text());
    ScheduleWake();
}
