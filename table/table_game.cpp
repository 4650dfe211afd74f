// A dealt game at a table: "/deal" from a seated player, the moves the dealer
// owns while it runs, forfeits, and what the dealer returns, applied here and
// sent as every other packet of the table.
#include <algorithm>

#include "platform/cp932.h"
#include "protocol/command_layout.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/fields.h"
#include "protocol/padded_name.h"
#include "protocol/registration.h"
#include "bots/bot_name.h"
#include "table/game_table.h"
#include "table/identity.h"

using namespace Protocol;

Dealer::TTableView TGameTable::View() const
{
    Dealer::TTableView view;
    view.DeckCount = Yamafuda.Count;
    view.FieldCount = Bafuda.Count;
    for (int s = 0; s < TTableRecord::SeatCount; ++s) {
        view.HandCounts[s] = Tefuda[s].Count;
        view.Occupants[s] = Table.Occupants[static_cast<std::size_t>(s)];
    }
    return view;
}

void TGameTable::DealArrived(TPeer& sender, std::string_view text)
{
    if (!sender.Level2) {
        Drop(sender, text, DropWhy::Word);
        return;
    }
    const AnsiString name = PaddedName(NameField(text, Layout::DealName));
    const AnsiString action = FieldFrom(text, Layout::DealAction);
    std::string refusal;
    if (action == "stop") {
        // The host stops its game; once the host has left the table, any
        // seated player may.
        const bool hostHere = Roster.IndexOf(dealer_.Host()) >= 0;
        if (!dealer_.Running())
            refusal = "対局は行われていません";
        else if (hostHere ? !SameNameIgnoringCase(name, dealer_.Host()) : Dealer::SeatOf(View(), name) < 0)
            refusal = "対局を止められるのは始めた人です";
        else
            StopGame();
    } else if (action == "start" || action.starts_with("start ")) {
        const auto read = Dealer::ReadGameOptions(std::string_view(action).substr(std::min<std::size_t>(action.size(), 6)));
        if (const auto* sentence = std::get_if<std::string>(&read))
            refusal = *sentence;
        else if (Dealer::SeatOf(View(), name) < 0)
            refusal = "席に着いてから対局を始めてください";
        else
            StartGame(name, std::get<Dealer::TGameOptions>(read), refusal);
    } else {
        refusal = "/deal の後は start か stop です";
    }
    if (!refusal.empty())
        Send(sender, Registration::GameRefusedText(refusal));
}

bool TGameTable::StartGame(const AnsiString& host, const Dealer::TGameOptions& options, std::string& refusal,
                           const std::vector<int>& botLevels)
{
    if (dealer_.Running()) {
        refusal = "対局はもう始まっています";
        return false;
    }
    const auto view = View();
    const auto seated = std::count_if(view.Occupants.begin(), view.Occupants.end(),
                                      [](const AnsiString& o) { return !o.empty(); });
    if (seated == 0) {
        refusal = "席に着いている人がいません";
        return false;
    }
    // Each seated player keeps one seat; the bots need the free ones.
    std::vector<AnsiString> players;
    for (const AnsiString& occupant : view.Occupants)
        if (!occupant.empty() && std::none_of(players.begin(), players.end(), [&](const AnsiString& p) {
                return SameNameIgnoringCase(p, occupant);
            }))
            players.push_back(occupant);
    const std::vector<int> levels = botLevels.empty() ? std::vector<int>(static_cast<std::size_t>(options.Bots), options.Level)
                                                      : botLevels;
    if (players.size() + levels.size() > static_cast<std::size_t>(TTableRecord::SeatCount)) {
        refusal = "コンピューターの座る席が足りません";
        return false;
    }
    std::vector<Dealer::TBotPlayer> bots;
    for (int level : levels) {
        const auto name = Bots::FreeBotName([&](std::string_view bot) {
            const AnsiString padded = PaddedName(bot);
            return Roster.IndexOf(padded) >= 0 ||
                   std::any_of(bots.begin(), bots.end(), [&](const Dealer::TBotPlayer& b) { return b.Name == padded; });
        });
        if (!name) {
            refusal = "コンピューターの名前が足りません";
            return false;
        }
        bots.push_back({PaddedName(*name), level});
    }
    Dealer::TOutputs outputs;
    dealer_.Start(host.empty() ? Dealer::DealerName() : host, options, bots, view, services_.Now(), outputs);
    recorder_.Started(name_, dealer_.Host(), options, services_.Now());
    Deliver(outputs);
    Log("/対局  ", Cp932::FromUtf8("開始 ") + AnsiString(Dealer::GameOptionsText(options)),
        TrimmedName(dealer_.Host()));
    UpdatePresence();
    ScheduleWake();
    return true;
}

bool TGameTable::StopGame()
{
    if (!dealer_.Running())
        return false;
    Dealer::TOutputs outputs;
    dealer_.Stop(View(), outputs);
    Deliver(outputs);
    Log("/対局  ", Cp932::FromUtf8("終了"), "stop");
    ScheduleWake();
    return true;
}

void TGameTable::RestoreGame(const Dealer::TSavedGame& saved, std::optional<TGameRecorder::TSaved> recording)
{
    dealer_.Restore(saved, services_.Now());
    if (recording)
        recorder_.Restore(std::move(*recording), services_.Now());
    // The bots' entries came back away, as every entry does: they are the
    // table's again at once.
    for (const Dealer::TBotPlayer& bot : dealer_.Bots())
        if (const int index = Roster.IndexOf(bot.Name); index >= 0) {
            Roster.Update(index, [](TRosterEntry& entry) {
                entry.Bot = true;
                entry.Away = false;
                entry.AwayUntil = {};
            });
            AddBotModel(bot);
        }
    // An answer open at the save may still be given.
    if (!dealer_.Hitter().empty()) {
        hitSinceChange_ = true;
        mayAnswer_.push_back(dealer_.Hitter());
    }
    UpdatePresence();
    ScheduleWake();
}

bool TGameTable::MayMoveDuringGame(const TPeer& sender, std::string_view text) const
{
    for (std::string_view word : {Command::Init, Command::Draw, Command::Set, Command::B2T, Command::T2Y,
                                  Command::B2Y})
        if (IsCommand(text, word))
            return false;
    // A seat is taken only when free and left only by its own player.
    std::optional<int> seat;
    if (IsCommand(text, Command::Take))
        seat = SeatField(text, Layout::TakeSeat);
    else if (IsCommand(text, Command::Leave) || IsCommand(text, Command::FLeave))
        seat = SeatField(text, Layout::LeaveSeat);
    else
        return true;
    if (!seat)
        return true;
    const AnsiString& occupant = Table.Occupants[static_cast<std::size_t>(*seat)];
    // One seat each while a game runs: a second hand would be a second player.
    if (IsCommand(text, Command::Take))
        return occupant.empty() && Dealer::SeatOf(View(), NameField(text, Layout::TakeName)) < 0;
    return occupant.empty() || Identity::OwnsName(sender, occupant);
}

void TGameTable::Seat(std::string_view text, const void* data, int size, const TPeer* except)
{
    if (IsCommand(text, Command::Take)) {
        Table.Take(text);
        SendToAll(data, size, except);
        if (dealer_.Running()) {
            dealer_.Sat(NameField(text, Layout::TakeName));
            if (const auto seat = SeatField(text, Layout::TakeSeat))
                recorder_.Sat(NameField(text, Layout::TakeName), *seat, services_.Now());
        }
    } else {
        const auto seat = SeatField(text, Layout::LeaveSeat);
        const AnsiString occupant = seat ? Table.Occupants[static_cast<std::size_t>(*seat)] : AnsiString();
        Table.Leave(text);
        SendToAll(data, size, except);
        if (seat && !occupant.empty())
            SeatFreed(*seat, occupant);
    }
    UpdatePresence();
    ScheduleWake();
}

void TGameTable::SeatFreed(int seat, const AnsiString& occupant)
{
    if (!dealer_.Running())
        return;
    recorder_.Left(occupant, services_.Now());
    Dealer::TOutputs outputs;
    dealer_.SeatFreed(seat, occupant, Tefuda[seat].Count, View(), services_.Now(), outputs);
    Deliver(outputs);
    ScheduleWake();
}

void TGameTable::Deliver(const Dealer::TOutputs& outputs)
{
    const auto now = services_.Now();
    // A take moves the whole field: the record keeps the cards as they were dealt.
    const std::vector<int> field = FieldCards();
    bool cleared = false;
    for (const Dealer::TOutput& output : outputs) {
        switch (output.Kind) {
        case Dealer::TOutput::TKind::Move: {
            const AnsiString packet = TextPacket(output.Text);
            if (IsCommand(output.Text, Command::Take)) {
                Table.Take(output.Text);
                SendToAll(packet.data(), static_cast<int>(packet.size()));
                if (const auto seat = SeatField(output.Text, Layout::TakeSeat))
                    recorder_.Sat(NameField(output.Text, Layout::TakeName), *seat, now);
                break;
            }
            Move(output.Text, packet.data(), static_cast<int>(packet.size()));
            if (IsCommand(output.Text, Command::Draw) && Bafuda.Count > 0)
                recorder_.Dealt(Bafuda.Cards[Bafuda.Count - 1], now);
            else if (IsCommand(output.Text, Command::Set))
                recorder_.Target(std::atoi(FieldFrom(output.Text, Layout::SetTarget).c_str()), now);
            else if (IsCommand(output.Text, Command::B2Y) && !cleared) {
                cleared = true;
                recorder_.Cleared(now);
            }
            break;
        }
        case Dealer::TOutput::TKind::JoinBot:
            for (const Dealer::TBotPlayer& bot : dealer_.Bots())
                if (bot.Name == output.Text)
                    JoinBot(bot);
            break;
        case Dealer::TOutput::TKind::LeaveBot:
            LeaveBot(output.Text);
            break;
        case Dealer::TOutput::TKind::Game:
            SendToLevel2(output.Text, nullptr);
            if (output.Note.What == Dealer::TOutput::TNote::TWhat::Took)
                recorder_.Took(output.Note.Name, field, now);
            else if (output.Note.What == Dealer::TOutput::TNote::TWhat::Penalised)
                recorder_.Penalised(output.Note.Name, output.Note.Why, now);
            // The record is finished at the end line, before the bots leave their seats.
            if (IsCommand(output.Text, Command::Game) && output.Text.starts_with(AnsiString(Command::Game) + " end "))
                FinishRecord(output.Text == AnsiString(Command::Game) + " end stop", now);
            break;
        case Dealer::TOutput::TKind::Chat:
            SendTextToAll(output.Text);
            break;
        }
    }
}

void TGameTable::FinishRecord(bool stopped, std::chrono::steady_clock::time_point now)
{
    if (services_.Counters.GameEnded)
        services_.Counters.GameEnded(stopped ? "stop" : "deck");
    if (!recorder_.Recording())
        return;
    Records::TGameRecord record =
        recorder_.Finish(dealer_.Players(), BotLevels(), View(), stopped, now, services_.IsRegistered);
    if (services_.RecordGame)
        services_.RecordGame(std::move(record));
}

std::vector<int> TGameTable::BotLevels() const
{
    std::vector<int> levels;
    for (const AnsiString& player : dealer_.Players()) {
        const auto bot = std::find_if(dealer_.Bots().begin(), dealer_.Bots().end(),
                                      [&](const Dealer::TBotPlayer& b) { return b.Name == player; });
        levels.push_back(bot == dealer_.Bots().end() ? 0 : bot->Level);
    }
    return levels;
}

void TGameTable::UpdatePresence()
{
    if (!dealer_.Running())
        return;
    bool here = false;
    for (const AnsiString& occupant : Table.Occupants) {
        if (occupant.empty())
            continue;
        for (const TRosterEntry& entry : Roster.Entries())
            here = here || (!entry.Away && !entry.Bot && SameNameIgnoringCase(entry.Name, occupant));
    }
    dealer_.SetPresence(here, services_.Now());
}

void TGameTable::Drop(TPeer& sender, std::string_view text, std::string_view why)
{
    services_.CountDrop(why);
    Refuse(sender, text);
}
