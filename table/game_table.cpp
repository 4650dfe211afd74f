#include "table/game_table.h"

#include <algorithm>

#include "platform/cp932.h"
#include "protocol/card_number_text.h"
#include "protocol/command_layout.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/padded_name.h"
#include "protocol/player_name.h"
#include "table/identity.h"
#include "table/system_random.h"

using namespace Protocol;

namespace {

constexpr auto RefusalLogInterval = std::chrono::minutes(1);

// Takes the top card of pile into card; false when the pile is empty (card
// is then Protocol::NoCard, which is never put on a pile).
bool TakeCard(TCardPile& pile, int& card)
{
    card = pile.Pop();
    return card != NoCard;
}

}  // namespace

TGameTable::TGameTable(TTableServices& services, AnsiString name)
    : Judge(std::chrono::milliseconds(services.Rules.SolverLimitMs), services.SolveBudget), services_(services),
      name_(std::move(name)), dealerRandom_(services.Engine ? (*services.Engine)() : SystemRandomSeed()),
      dealer_(dealerRandom_)
{
    if (services_.Engine)
        UseRandomEngine(services_.Engine);
    DealFreshDeck();
}

void TGameTable::UseRandomEngine(std::mt19937* engine)
{
    for (TCardPile* pile : {&Yamafuda, &Bafuda, &Tefuda[0], &Tefuda[1], &Tefuda[2], &Tefuda[3], &Tefuda[4], &Tefuda[5]})
        pile->Engine = engine;
}

void TGameTable::DealFreshDeck()
{
    Bafuda.Clear();
    Yamafuda.Reset();
    for (TCardPile& hand : Tefuda)
        hand.Clear();
}

void TGameTable::Enter(TPeer& peer)
{
    peer.Table = this;
    members_.push_back(&peer);
}

void TGameTable::Detach(TPeer& peer)
{
    members_.erase(std::remove(members_.begin(), members_.end(), &peer), members_.end());
    if (peer.Watcher)
        --watchers_;
    peer.Table = nullptr;
}

void TGameTable::DetachAll()
{
    for (TPeer* member : members_)
        member->Table = nullptr;
    members_.clear();
    watchers_ = 0;
}

void TGameTable::PacketArrived(TPeer& sender, std::string_view text, const void* data, int size)
{
    if (!services_.Rules.TrustNames && !Identity::MaySend(sender, text)) {
        Drop(sender, text, sender.Names.empty() ? DropWhy::Unjoined : DropWhy::Name);
    } else if (IsCommand(text, Command::Deal)) {
        DealArrived(sender, text);
    } else if (dealer_.Running() && !MayMoveDuringGame(sender, text)) {
        Drop(sender, text, DropWhy::Game);
    } else if (IsCommand(text, Command::Left)) {
        Left(sender, text, data, size);
    } else if (IsCommand(text, Command::Take) || IsCommand(text, Command::Leave)) {
        Seat(text, data, size, nullptr);
    } else if (IsCommand(text, Command::FLeave)) {
        Seat(text, data, size, &sender);
    } else if (IsCommand(text, Command::Hit)) {
        Hit(text);
    } else if (IsCommand(text, Command::Answer)) {
        if (!Answer(text))
            services_.CountDrop(DropWhy::Answer);
    } else if (IsCommand(text, Command::Set) || IsCommand(text, Command::Init) || IsCommand(text, Command::Draw) ||
               IsCommand(text, Command::B2T) || IsCommand(text, Command::T2Y) || IsCommand(text, Command::B2Y)) {
        Move(text, data, size);
    } else {
        // A chat line goes out as its text and NUL, without whatever a sender
        // put behind them; a packet that is just that goes out as it came.
        if (static_cast<std::size_t>(size) == text.size() + 1)
            SendToAll(data, size);
        else
            SendTextToAll(text);
        // The awaited hitter may answer in the chat, from any client.
        const AnsiString hitter = dealer_.Hitter();
        if (!hitter.empty() && text.substr(PaddedNameLength, 2) == ": " &&
            SameNameIgnoringCase(text.substr(0, PaddedNameLength), hitter))
            JudgeAnswer(hitter, text.substr(PaddedNameLength + 2), true);
    }
}

void TGameTable::Move(std::string_view text, const void* data, int size)
{
    if (IsCommand(text, Command::Set)) {
        Table.Set(text);
        TableChanged();
        SendToAll(data, size);
    } else if (IsCommand(text, Command::Init)) {
        DealFreshDeck();
        Table.NewGame();
        TableChanged();
        SendToAll(data, size);
    } else if (IsCommand(text, Command::Draw)) {
        // A thirteenth field card would lie where no client shows it, and the
        // next card taken from the field would then differ between the server
        // and every table. Only a draw that lost a race for the twelfth slot
        // comes here; it is dropped. Trusting names, the server relays as a
        // level-1 server does, which deals past twelve.
        if (services_.Rules.TrustNames || Bafuda.Count < TTableRecord::FieldSlots)
            Draw(text);
        else
            services_.CountDrop(DropWhy::FullField);
    } else if (IsCommand(text, Command::B2T)) {
        if (TCardPile* hand = SeatHand(text)) {
            int card;
            if (TakeCard(Bafuda, card)) {
                hand->Push(card);
                Table.FieldCardTaken();
                TableChanged();
            }
            SendToAll(data, size);
        }
    } else if (IsCommand(text, Command::T2Y)) {
        if (TCardPile* hand = SeatHand(text)) {
            int card;
            if (TakeCard(*hand, card))
                Yamafuda.PushAndShuffle(card);
            SendToAll(data, size);
        }
    } else if (IsCommand(text, Command::B2Y)) {
        int card;
        if (TakeCard(Bafuda, card)) {
            Yamafuda.PushAndShuffle(card);
            Table.FieldCardTaken();
            TableChanged();
        }
        SendToAll(data, size);
    }
}

void TGameTable::Draw(std::string_view text)
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

TCardPile* TGameTable::SeatHand(std::string_view text)
{
    // Clients only ever send seats "0" to "5"; a move naming any other seat
    // is dropped whole, neither applied nor relayed.
    const auto seat = SeatField(text, Layout::MoveSeat);
    if (!seat)
        services_.CountDrop(DropWhy::Seat);
    return seat ? &Tefuda[*seat] : nullptr;
}

void TGameTable::Refuse(TPeer& sender, std::string_view text)
{
    // Logged at most once a minute per connection: a misbehaving client
    // must not flood the log.
    const auto now = services_.Now();
    if (sender.RefusalLogged && now - sender.LastRefusalLog < RefusalLogInterval)
        return;
    sender.RefusalLogged = true;
    sender.LastRefusalLog = now;
    Log("/拒否  ", Identity::RefusedWord(text), sender.Connection->PeerAddress());
}

Protocol::Tables::TTableRow TGameTable::Row() const
{
    Protocol::Tables::TTableRow row;
    row.Players = Roster.Count();
    row.Seated = static_cast<int>(
        std::count_if(Table.Occupants.begin(), Table.Occupants.end(), [](const AnsiString& o) { return !o.empty(); }));
    row.Watchers = watchers_;
    row.Game = Table.GameStarted;
    row.Name = name_;
    return row;
}

void TGameTable::SendToAll(const void* data, int size, const TPeer* except)
{
    for (TPeer* member : members_)
        if (member != except)
            services_.Send(*member->Connection, data, size);
}

void TGameTable::SendTextToAll(std::string_view text, const TPeer* except)
{
    const AnsiString packet = TextPacket(text);
    SendToAll(packet.data(), static_cast<int>(packet.size()), except);
}

void TGameTable::SendToLevel2(std::string_view text, const TPeer* except)
{
    const AnsiString packet = TextPacket(text);
    for (TPeer* member : members_)
        if (member->Level2 && member != except)
            services_.Send(*member->Connection, packet.data(), static_cast<int>(packet.size()));
}

void TGameTable::Log(std::string_view utf8Word, std::string_view subject, std::string_view where)
{
    if (!services_.AddLog)
        return;
    // The main table's lines are as they always were; another table's start
    // with its name in brackets.
    const AnsiString tag = IsMain() ? AnsiString() : Cp932::FromUtf8("「") + name_ + Cp932::FromUtf8("」");
    services_.AddLog(tag + Cp932::FromUtf8(utf8Word) + AnsiString(subject) + "[" + AnsiString(where) + "]");
}
