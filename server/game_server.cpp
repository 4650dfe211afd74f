#include "server/game_server.h"

#include <algorithm>
#include <cerrno>
#include <exception>

#include "platform/cp932.h"
#include "platform/date_time_text.h"
#include "protocol/card_number_text.h"
#include "protocol/command_layout.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/fields.h"
#include "protocol/level2.h"
#include "protocol/padded_name.h"
#include "server/session_token.h"
#include "solver/answer_check.h"
#include "solver/card_values.h"

using namespace Protocol;

namespace {

// Words only the server sends: a client that sent one could disconnect
// players, overwrite everyone's roster or fake the table's state.
bool ServerOnlyWord(std::string_view text)
{
    for (std::string_view word : {Command::Kill, Command::List, Command::State, Command::Away, Command::Back,
                                  Command::Judge})
        if (IsCommand(text, word))
            return true;
    return false;
}

// The position of the player's name in a command that carries one; 0 for a
// command without a name.
int NamePosition(std::string_view text)
{
    const std::pair<std::string_view, int> named[] = {
        {Command::Left, Layout::LeftName}, {Command::Take, Layout::TakeName}, {Command::Draw, Layout::DrawName},
        {Command::Hit, Layout::HitName},   {Command::B2T, Layout::MoveName},  {Command::T2Y, Layout::MoveName},
        {Command::Set, Layout::SetName},   {Command::Answer, Layout::AnswerName},
    };
    for (const auto& [word, position] : named)
        if (IsCommand(text, word))
            return position;
    return 0;
}

// The word a refused packet is logged under: its bytes up to the first space,
// at most a name's length.
std::string_view RefusedWord(std::string_view text)
{
    return text.substr(0, std::min(text.find(' '), std::size_t(PaddedNameLength)));
}

constexpr auto RefusalLogInterval = std::chrono::minutes(1);

}  // namespace

TGameServer::TGameServer(TPacketServerSocket& socket, LogFunction addLog, const TGameRules& rules)
    : Judge(std::chrono::milliseconds(rules.SolverLimitMs)), socket_(socket), addLog_(std::move(addLog)),
      rules_(rules)
{
    socket_.SetMaxUnprocessedSize(MaxRecvSize);
    socket_.MaxSendQueue = MaxSendQueue;
    // No connection may make the server send more than 16 MiB a second
    // (after a burst of 32 MiB, a few rosters of a full table to everyone):
    // a flooder is slowed, the others keep their pace.
    socket_.RelayRate = 16 << 20;
    socket_.RelayBurst = 32 << 20;
    // A connection whose send fails is dealt with after the broadcast, on its
    // own, so that one bad peer never keeps a packet from the others.
    socket_.DeferredFlush = true;
    socket_.OnClientError = [this](TObject*, TCustomWinSocket* s, TErrorEvent errorEvent, int& errorCode) {
        ClientError(s, errorEvent, errorCode);
    };
    graceTimer_.setSingleShot(true);
    QObject::connect(&graceTimer_, &QTimer::timeout, [this] { ExpireAwayEntries(); });
    DealFreshDeck();
}

void TGameServer::DealFreshDeck()
{
    Bafuda.Clear();
    Yamafuda.Reset();
    for (TCardPile& hand : Tefuda)
        hand.Clear();
}

void TGameServer::SetRandomEngine(std::mt19937& engine)
{
    Yamafuda.Engine = &engine;
    Bafuda.Engine = &engine;
    for (TCardPile& hand : Tefuda)
        hand.Engine = &engine;
}

void TGameServer::PacketArrived(TCustomWinSocket* sender, const void* data, int size)
{
    // An exception that left here would make the transport hand the same
    // packet over again, and hold up every packet behind it.
    try {
        Dispatch(sender, CommandText(data, size), data, size);
    } catch (const std::exception& e) {
        LogFailure(sender, e.what());
    } catch (...) {
        LogFailure(sender, "");
    }
}

void TGameServer::LogFailure(TCustomWinSocket* sender, const char* utf8What) noexcept
{
    // The failure may be the log's own; then the packet is dropped unlogged.
    try {
        Log("/例外  ", Cp932::FromUtf8(utf8What), sender);
    } catch (...) {
    }
}

void TGameServer::Dispatch(TCustomWinSocket* sender, std::string_view text, const void* data, int size)
{
    if (ServerOnlyWord(text)) {
        Log("/拒否  ", RefusedWord(text), sender);
    } else if (IsCommand(text, Command::Join)) {
        Join(sender, text, data, size);
    } else if (!rules_.TrustNames && !MaySend(sender, text)) {
        Refuse(sender, text);
    } else if (IsCommand(text, Command::Left)) {
        Left(sender, text, data, size);
    } else if (IsCommand(text, Command::Take)) {
        Table.Take(text);
        socket_.SendToAll(data, size);
    } else if (IsCommand(text, Command::Leave)) {
        Table.Leave(text);
        socket_.SendToAll(data, size);
    } else if (IsCommand(text, Command::Set)) {
        Table.Set(text);
        TableChanged();
        socket_.SendToAll(data, size);
    } else if (IsCommand(text, Command::FLeave)) {
        Table.Leave(text);
        socket_.SendToAllExcept(data, size, sender);
    } else if (IsCommand(text, Command::Init)) {
        DealFreshDeck();
        Table.NewGame();
        TableChanged();
        socket_.SendToAll(data, size);
    } else if (IsCommand(text, Command::Draw)) {
        // A thirteenth field card would lie where no client shows it, and the
        // next card taken from the field would then differ between the server
        // and every table. Only a draw that lost a race for the twelfth slot
        // comes here; it is dropped. Trusting names, the server relays as a
        // level-1 server does, which deals past twelve.
        if (rules_.TrustNames || Bafuda.Count < TTableRecord::FieldSlots)
            Draw(text);
    } else if (IsCommand(text, Command::B2T)) {
        if (TCardPile* hand = SeatHand(text)) {
            int card;
            if (TakeCard(Bafuda, card)) {
                hand->Push(card);
                Table.FieldCardTaken();
                TableChanged();
            }
            socket_.SendToAll(data, size);
        }
    } else if (IsCommand(text, Command::T2Y)) {
        if (TCardPile* hand = SeatHand(text)) {
            int card;
            if (TakeCard(*hand, card))
                Yamafuda.PushAndShuffle(card);
            socket_.SendToAll(data, size);
        }
    } else if (IsCommand(text, Command::B2Y)) {
        int card;
        if (TakeCard(Bafuda, card)) {
            Yamafuda.PushAndShuffle(card);
            Table.FieldCardTaken();
            TableChanged();
        }
        socket_.SendToAll(data, size);
    } else if (IsCommand(text, Command::Hit)) {
        Hit(text);
    } else if (IsCommand(text, Command::Answer)) {
        Answer(text);
    } else {
        SendTextToAll(text);
    }
}

void TGameServer::Join(TCustomWinSocket* sender, std::string_view text, const void* data, int size)
{
    const AnsiString name = NameField(text, Layout::JoinName);
    TPeer& peer = PeerOf(sender);
    if (static_cast<int>(peer.Names.size()) >= MaxNamesPerConnection || Roster.Count() >= MaxRosterEntries) {
        Refuse(sender, text);
        return;
    }
    peer.Names.push_back(name);

    const std::string_view trailer = Level2::Trailer(data, size);
    if (!Level2::Announces(trailer)) {
        socket_.SendToAllExcept(data, size, sender);
        Roster.Add(name, sender);
        SendTextToAll("/list " + Roster.Text());
        Log("/参加  ", name, sender);
        return;
    }
    peer.Level2 = true;
    // Neither the announcement nor a token is ever passed on.
    SendTextToAllExcept(text, sender);
    if (Resume(sender, name, Level2::ResumeToken(trailer)))
        return;
    const std::string token = NewSessionToken();
    const int index = Roster.Add(name, sender);
    Roster.Update(index, [&](TRosterEntry& entry) { entry.Token = token; });
    SendTextToAll("/list " + Roster.Text());
    Log("/参加  ", name, sender);
    SendSyncBlock(sender, token);
}

bool TGameServer::Resume(TCustomWinSocket* sender, std::string_view name, std::string_view token)
{
    if (token.empty())
        return false;
    const int index = Roster.IndexOfAwayToken(token);
    if (index < 0 || !SameNameIgnoringCase(Roster[index], name))
        return false;
    // A token is used up by the resume it allows.
    const std::string fresh = NewSessionToken();
    Roster.Update(index, [&](TRosterEntry& entry) {
        entry.Owner = sender;
        entry.Token = fresh;
        entry.Away = false;
        entry.AwayUntil = {};
    });
    SendTextToAll("/list " + Roster.Text());
    SendToLevel2(AnsiString(Command::Back) + " " + Roster[index], sender);
    Log("/復帰  ", Roster[index], sender);
    SendSyncBlock(sender, fresh);
    ScheduleExpiry();
    return true;
}

void TGameServer::SendSyncBlock(TCustomWinSocket* socket, const std::string& token)
{
    SendText(socket, AnsiString(Level2::StateBegin) + " " + token + " " + std::to_string(rules_.GraceSeconds));
    for (const AnsiString& command : TableRebuild())
        SendText(socket, command);
    SendText(socket, Level2::StateEnd);
    for (const TRosterEntry& entry : Roster.Entries())
        if (entry.Away)
            SendText(socket, AnsiString(Command::Away) + " " + entry.Name);
}

void TGameServer::Left(TCustomWinSocket* sender, std::string_view text, const void* data, int size)
{
    const AnsiString name = NameField(text, Layout::LeftName);
    // The sender's own entry goes first; otherwise the first of that name.
    const int own = Roster.IndexOf(name, sender);
    Roster.Delete(own >= 0 ? own : Roster.IndexOf(name));
    SendTextToAllExcept("/list " + Roster.Text(), sender);
    socket_.SendToAllExcept(data, size, sender);
    Log("/退席  ", name, sender);
    ScheduleExpiry();
}

void TGameServer::ClientDisconnected(TCustomWinSocket* socket)
{
    const auto peer = peers_.find(socket);
    if (peer == peers_.end())
        return;
    const AnsiString address = peer->second.Address;
    peers_.erase(peer);
    for (int i = 0; i < Roster.Count(); ++i) {
        if (Roster.Entry(i).Owner != socket)
            continue;
        Roster.Update(i, [&](TRosterEntry& entry) {
            entry.Owner = nullptr;
            entry.Away = true;
            entry.AwayUntil = rules_.GraceSeconds > 0 ? Now() + std::chrono::seconds(rules_.GraceSeconds)
                                                      : std::chrono::steady_clock::time_point{};
        });
        SendToLevel2(AnsiString(Command::Away) + " " + Roster[i], socket);
        Log("/離脱  ", Roster[i], address);
    }
    ScheduleExpiry();
}

void TGameServer::ExpireAwayEntries()
{
    const auto now = Now();
    for (int i = 0; i < Roster.Count();) {
        const TRosterEntry& entry = Roster.Entry(i);
        if (entry.Away && entry.AwayUntil != std::chrono::steady_clock::time_point{} && entry.AwayUntil <= now)
            Expire(i);
        else
            ++i;
    }
    ScheduleExpiry();
}

void TGameServer::Expire(int index)
{
    // What the others receive is what the player's own leaving would have
    // sent: the roster without the entry, "/left", then the seats freed.
    const AnsiString name = Roster[index];
    Roster.Delete(index);
    SendTextToAll("/list " + Roster.Text());
    SendTextToAll(AnsiString(Command::Left) + " " + name);
    bool stillHere = false;
    for (const TRosterEntry& entry : Roster.Entries())
        stillHere = stillHere || (!entry.Away && SameNameIgnoringCase(entry.Name, name));
    if (!stillHere)
        for (int seat : Table.FreeSeatsOf(name))
            SendTextToAll(AnsiString(Command::FLeave) + " " + std::to_string(seat));
    Log("/退席  ", name, Cp932::FromUtf8("猶予切れ"));
}

void TGameServer::ScheduleExpiry()
{
    auto next = std::chrono::steady_clock::time_point::max();
    for (const TRosterEntry& entry : Roster.Entries())
        if (entry.Away && entry.AwayUntil != std::chrono::steady_clock::time_point{})
            next = std::min(next, entry.AwayUntil);
    if (next == std::chrono::steady_clock::time_point::max()) {
        graceTimer_.stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Now());
    graceTimer_.start(static_cast<int>(std::clamp<long long>(wait.count(), 0, 24 * 3600 * 1000)));
}

bool TGameServer::MaySend(TCustomWinSocket* sender, std::string_view text) const
{
    const auto peer = peers_.find(sender);
    if (peer == peers_.end() || peer->second.Names.empty())
        return false;
    if (text.empty() || text[0] != Command::Prefix) {
        // A chat line opens with one of the sender's names and ": ".
        return text.substr(PaddedNameLength, 2) == ": " && OwnsName(sender, text.substr(0, PaddedNameLength));
    }
    const int position = NamePosition(text);
    return position == 0 || OwnsName(sender, NameField(text, position));
}

bool TGameServer::OwnsName(TCustomWinSocket* sender, std::string_view name) const
{
    const auto peer = peers_.find(sender);
    if (peer == peers_.end())
        return false;
    for (const AnsiString& own : peer->second.Names)
        if (SameNameIgnoringCase(own, name))
            return true;
    return false;
}

void TGameServer::Refuse(TCustomWinSocket* sender, std::string_view text)
{
    // Logged at most once a minute per connection: a misbehaving client
    // must not flood the log.
    TPeer& peer = PeerOf(sender);
    const auto now = Now();
    if (peer.RefusalLogged && now - peer.LastRefusalLog < RefusalLogInterval)
        return;
    peer.RefusalLogged = true;
    peer.LastRefusalLog = now;
    Log("/拒否  ", RefusedWord(text), sender);
}

void TGameServer::Draw(std::string_view text)
{
    // An empty deck answers 999 and moves nothing: "no card" is not a card,
    // and a 999 stored in a pile would later be drawn in place of real cards
    // or take the room of one.
    int card;
    if (TakeCard(Yamafuda, card)) {
        Bafuda.Push(card);
        Table.CardDrawn(text);
        TableChanged();
    }
    SendTextToAll(AnsiString(text) + " " + CardNumberText(card));
}

void TGameServer::Hit(std::string_view text)
{
    SendTextToAll(AnsiString(text) + " " + DateTimeText::Now());
    const AnsiString name = NameField(text, Layout::HitName);
    const bool first = !hitSinceChange_;
    hitSinceChange_ = true;
    mayAnswer_.push_back(name);
    const THitJudge::TVerdict verdict = Judge.Judge(FieldCards(), Target());
    SendToLevel2(AnsiString(Command::Judge) + " " + name + " " + verdict.Verdict + " " + (first ? "1" : "0") + " " +
                     verdict.Expression,
                 nullptr);
}

void TGameServer::Answer(std::string_view text)
{
    // Only a player who hit since the field or target last changed may
    // answer, once for each hit.
    const AnsiString name = NameField(text, Layout::AnswerName);
    const auto hitter = std::find_if(mayAnswer_.begin(), mayAnswer_.end(),
                                     [&](const AnsiString& h) { return SameNameIgnoringCase(h, name); });
    if (hitter == mayAnswer_.end() || text.substr(Layout::AnswerName - 1 + PaddedNameLength, 1) != " ")
        return;
    mayAnswer_.erase(hitter);
    const AnsiString expression = Field(text, Layout::AnswerText, static_cast<int>(Solver::MaxAnswerBytes));
    const Solver::AnswerResult result = Solver::CheckAnswer(FieldFrom(text, Layout::AnswerText), FieldCards());
    AnsiString line = Cp932::FromUtf8("【判定】") + name + " " + expression;
    switch (result.outcome) {
    case Solver::AnswerOutcome::Unreadable:
        line += Cp932::FromUtf8(" 式が読めません");
        break;
    case Solver::AnswerOutcome::NotOnField:
        line += Cp932::FromUtf8(" 場札にない数");
        break;
    case Solver::AnswerOutcome::Evaluated: {
        const auto target = Target();
        const bool right = target && result.value == Solver::Rational{*target, 1};
        line += " = " + Solver::RationalText(result.value) + Cp932::FromUtf8(right ? " 正解" : " 不正解");
        break;
    }
    }
    SendTextToAll(line);
}

void TGameServer::TableChanged()
{
    hitSinceChange_ = false;
    mayAnswer_.clear();
}

std::vector<int> TGameServer::FieldCards() const
{
    return std::vector<int>(Bafuda.Cards, Bafuda.Cards + Bafuda.Count);
}

std::optional<std::int64_t> TGameServer::Target() const
{
    // The target set since the last new game; none before one is set.
    if (Table.SetText.empty())
        return std::nullopt;
    return Solver::ParseTarget(FieldFrom(Table.SetText, Layout::SetTarget));
}

bool TGameServer::TakeCard(TCardPile& pile, int& card)
{
    card = pile.Pop();
    return card != NoCard;
}

TCardPile* TGameServer::SeatHand(std::string_view text)
{
    // Clients only ever send seats "0" to "5"; a move naming any other seat
    // is dropped whole, neither applied nor relayed.
    const auto seat = SeatField(text, Layout::MoveSeat);
    return seat ? &Tefuda[*seat] : nullptr;
}

void TGameServer::KillPlayer(int index)
{
    if (index < 0 || index >= Roster.Count())
        return;
    SendTextToAll("/kill " + Roster[index]);
}

void TGameServer::ClearRosterEntry(int index)
{
    if (index < 0 || index >= Roster.Count())
        return;
    Roster.Delete(index);
    SendTextToAll("/list " + Roster.Text());
    ScheduleExpiry();
}

void TGameServer::SendToLevel2(std::string_view text, TCustomWinSocket* except)
{
    for (const auto& [socket, peer] : peers_)
        if (peer.Level2 && socket != except)
            SendText(socket, text);
}

void TGameServer::SendText(TCustomWinSocket* socket, std::string_view text)
{
    const AnsiString packet = TextPacket(text);
    socket_.Send(socket, packet.data(), static_cast<int>(packet.size()));
}

void TGameServer::SendTextToAll(std::string_view text)
{
    SendTextToAllExcept(text, nullptr);
}

void TGameServer::SendTextToAllExcept(std::string_view text, TCustomWinSocket* except)
{
    const AnsiString packet = TextPacket(text);
    socket_.SendToAllExcept(packet.data(), static_cast<int>(packet.size()), except);
}

TGameServer::TPeer& TGameServer::PeerOf(TCustomWinSocket* socket)
{
    const auto [peer, added] = peers_.try_emplace(socket);
    if (added)
        peer->second.Address = socket->RemoteAddress();
    return peer->second;
}

void TGameServer::Log(std::string_view utf8Word, std::string_view subject, TCustomWinSocket* sender)
{
    // A connection that has closed may no longer tell its peer's address:
    // the one noted when it first spoke stands in.
    const auto peer = peers_.find(sender);
    Log(utf8Word, subject, peer != peers_.end() ? peer->second.Address : sender->RemoteAddress());
}

void TGameServer::Log(std::string_view utf8Word, std::string_view subject, std::string_view where)
{
    if (addLog_)
        addLog_(Cp932::FromUtf8(utf8Word) + AnsiString(subject) + "[" + AnsiString(where) + "]");
}

void TGameServer::ClientError(TCustomWinSocket* socket, TErrorEvent errorEvent, int& errorCode)
{
    // A peer's failure or reset is the peer's matter: logged, and the code
    // cleared so that it reaches no message box. The connection closes.
    const std::string reason = errorEvent == eeSend && errorCode == ENOBUFS
                                   ? std::string("送信キューが上限を超えました")
                                   : SocketErrorMessage(errorCode, ErrorEventName(errorEvent));
    Log("/エラー  ", Cp932::FromUtf8(reason), socket);
    errorCode = 0;
}
