#include "dealer/dealer.h"

#include <algorithm>

#include "platform/cp932.h"
#include "protocol/command_words.h"
#include "protocol/padded_name.h"
#include "protocol/player_name.h"

using namespace Protocol;

namespace Dealer {

namespace {

constexpr std::string_view GameWord = "/game";

AnsiString Utf8(std::string_view text)
{
    return Cp932::FromUtf8(text);
}

AnsiString Number(long long value)
{
    return std::to_string(value);
}

TOutput Move(AnsiString text)
{
    return {TOutput::TKind::Move, std::move(text)};
}

TOutput Game(const AnsiString& words)
{
    return {TOutput::TKind::Game, AnsiString(GameWord) + " " + words};
}

// A chat line of the dealer: "【親】" and the text (UTF-8 parts and names
// already in code page 932 are put together by the caller).
TOutput Chat(const AnsiString& cp932Text)
{
    return {TOutput::TKind::Chat, Utf8("【親】") + cp932Text};
}

bool Contains(const std::vector<AnsiString>& names, const AnsiString& name)
{
    return std::any_of(names.begin(), names.end(), [&](const AnsiString& n) { return SameNameIgnoringCase(n, name); });
}

int CardsOf(const TTableView& table, const AnsiString& name)
{
    int cards = 0;
    for (int s = 0; s < TTableView::SeatCount; ++s)
        if (!table.Occupants[s].empty() && SameNameIgnoringCase(table.Occupants[s], name))
            cards += table.HandCounts[s];
    return cards;
}

std::string_view PenaltyWords(std::string_view why)
{
    if (why == "wrong")
        return "お手つき（作れない目標）";
    if (why == "answer")
        return "お手つき（解答が違います）";
    return "お手つき（時間切れ）";
}

}  // namespace

AnsiString DealerName()
{
    return PaddedName(Utf8("親"));
}

int SeatOf(const TTableView& table, const AnsiString& name)
{
    for (int s = 0; s < TTableView::SeatCount; ++s)
        if (!table.Occupants[s].empty() && SameNameIgnoringCase(table.Occupants[s], name))
            return s;
    return -1;
}

void TDealer::Start(const AnsiString& host, const TGameOptions& options, const std::vector<TBotPlayer>& bots,
                    const TTableView& table, TimePoint now, TOutputs& out)
{
    options_ = options;
    host_ = PaddedName(host);
    round_ = 0;
    paused_ = false;
    penalised_.clear();
    players_.clear();
    hitter_.clear();
    // A new deck and empty seats at every client; then each seated player
    // sits again at its lowest seat, its other seats staying free.
    out.push_back(Move(AnsiString(Command::Init)));
    for (int s = 0; s < TTableView::SeatCount; ++s) {
        const AnsiString& name = table.Occupants[s];
        if (name.empty() || Contains(players_, name))
            continue;
        players_.push_back(PaddedName(name));
        out.push_back(Move(AnsiString(Command::Take) + " " + Number(s) + " " + PaddedName(name)));
    }
    bots_ = bots;
    std::array<bool, TTableView::SeatCount> taken{};
    for (const AnsiString& player : players_)
        taken[static_cast<std::size_t>(SeatOf(table, player))] = true;
    for (const TBotPlayer& bot : bots_) {
        const auto seat = std::find(taken.begin(), taken.end(), false);
        if (seat == taken.end())
            break;
        *seat = true;
        out.push_back({TOutput::TKind::JoinBot, bot.Name});
        out.push_back(Move(AnsiString(Command::Take) + " " + Number(seat - taken.begin()) + " " + bot.Name));
        players_.push_back(bot.Name);
    }
    out.push_back(Game("start " + host_ + " " + TargetText(options_) + " " + Number(options_.Pace) + " " +
                       Number(options_.Answer)));
    for (const TBotPlayer& bot : bots_)
        out.push_back(Game("bot " + bot.Name + " " + Number(bot.Level)));
    const AnsiString target =
        options_.Target ? Utf8("目標 ") + Number(*options_.Target) : Utf8("目標は毎回変わります");
    out.push_back(Chat(Utf8("対局を始めます ") + target + Utf8(" ・ ") + Number(options_.Pace) +
                       Utf8("秒ごとに配札 ・ 解答 ") + Number(options_.Answer) + Utf8("秒")));
    phase_ = TPhase::BetweenRounds;
    wake_ = now + RoundPause;
}

void TDealer::Stop(const TTableView& table, TOutputs& out)
{
    if (Running())
        End("stop", table, out);
}

void TDealer::Wake(const TTableView& table, TimePoint now, TOutputs& out)
{
    if (!Running() || paused_ || now < wake_)
        return;
    switch (phase_) {
    case TPhase::BetweenRounds:
        BeginRound(table, now, out);
        break;
    case TPhase::Dealing:
        if (table.FieldCount < TTableView::FieldSlots && table.DeckCount > 0) {
            Deal(table, now, out);
        } else if (table.DeckCount == 0) {
            // The last card lay long enough and nobody took the field.
            End("deck", table, out);
        } else {
            // Twelve cards and nobody took them: they go back, and the round
            // is dealt again.
            for (int i = 0; i < table.FieldCount; ++i)
                out.push_back(Move(AnsiString(Command::B2Y)));
            out.push_back(Chat(Utf8("場札を山札に戻して配り直します")));
            penalised_.clear();
            --round_;
            TTableView returned = table;
            returned.DeckCount += returned.FieldCount;
            returned.FieldCount = 0;
            BeginRound(returned, now, out);
        }
        break;
    case TPhase::Answering:
        Penalise(hitter_, "time", table, out);
        ResumeDealing(table.FieldCount, table.DeckCount, now);
        break;
    case TPhase::Idle:
        break;
    }
}

void TDealer::BeginRound(const TTableView& table, TimePoint now, TOutputs& out)
{
    ++round_;
    if (!options_.Target) {
        std::uniform_int_distribution<int> targets(10, 99);
        out.push_back(Move(AnsiString(Command::Set) + " " + DealerName() + " " + Number(targets(random_))));
    } else if (round_ == 1) {
        // The start's "/init" cleared every client's target.
        out.push_back(Move(AnsiString(Command::Set) + " " + DealerName() + " " + Number(*options_.Target)));
    }
    out.push_back(Game("round " + Number(round_)));
    phase_ = TPhase::Dealing;
    if (table.DeckCount > 0 && table.FieldCount < TTableView::FieldSlots)
        Deal(table, now, out);
    else
        ResumeDealing(table.FieldCount, table.DeckCount, now);
}

void TDealer::Deal(const TTableView& table, TimePoint now, TOutputs& out)
{
    out.push_back(Move(AnsiString(Command::Draw) + " " + DealerName()));
    // A new card: whoever was penalised may hit again.
    penalised_.clear();
    ResumeDealing(table.FieldCount + 1, table.DeckCount - 1, now);
}

void TDealer::ResumeDealing(int fieldCount, int deckCount, TimePoint now)
{
    phase_ = TPhase::Dealing;
    hitter_.clear();
    if (fieldCount < TTableView::FieldSlots && deckCount > 0)
        wake_ = now + std::chrono::seconds(options_.Pace);
    else
        wake_ = now + StallTime();
}

std::chrono::seconds TDealer::StallTime() const
{
    return std::chrono::seconds(options_.Answer + 3 * options_.Pace);
}

bool TDealer::MayHit(const AnsiString& name, const TTableView& table) const
{
    return Running() && !paused_ && phase_ == TPhase::Dealing && SeatOf(table, name) >= 0 &&
           !Contains(penalised_, name);
}

void TDealer::Hit(const AnsiString& name, char verdict, const TTableView& table, TimePoint now, TOutputs& out)
{
    if (!MayHit(name, table))
        return;
    if (verdict == 'N') {
        Penalise(name, "wrong", table, out);
        return;
    }
    phase_ = TPhase::Answering;
    hitter_ = PaddedName(name);
    wake_ = now + std::chrono::seconds(options_.Answer);
    out.push_back(Game("answer " + hitter_ + " " + Number(options_.Answer)));
    out.push_back(Chat(TrimmedName(name) + Utf8("の解答を待ちます（") + Number(options_.Answer) + Utf8("秒）")));
}

void TDealer::Answered(const AnsiString& name, bool correct, const TTableView& table, TimePoint now, TOutputs& out)
{
    if (phase_ != TPhase::Answering || !SameNameIgnoringCase(name, hitter_))
        return;
    if (!correct) {
        Penalise(hitter_, "answer", table, out);
        ResumeDealing(table.FieldCount, table.DeckCount, now);
        return;
    }
    const int seat = SeatOf(table, hitter_);
    for (int i = 0; i < table.FieldCount; ++i)
        out.push_back(Move(AnsiString(Command::B2T) + " " + Number(seat) + " " + hitter_));
    out.push_back(Game("take " + hitter_ + " " + Number(table.FieldCount)));
    out.back().Note = {TOutput::TNote::TWhat::Took, hitter_, table.FieldCount, {}};
    out.push_back(Chat(TrimmedName(hitter_) + Utf8("が") + Number(table.FieldCount) + Utf8("枚獲得")));
    hitter_.clear();
    if (table.DeckCount == 0) {
        TTableView taken = table;
        taken.HandCounts[seat] += taken.FieldCount;
        taken.FieldCount = 0;
        End("deck", taken, out);
        return;
    }
    phase_ = TPhase::BetweenRounds;
    wake_ = now + RoundPause;
}

void TDealer::Penalise(const AnsiString& name, std::string_view why, const TTableView& table, TOutputs& out)
{
    const AnsiString padded = PaddedName(name);
    for (int s = 0; s < TTableView::SeatCount; ++s)
        if (!table.Occupants[s].empty() && SameNameIgnoringCase(table.Occupants[s], name) && table.HandCounts[s] > 0) {
            out.push_back(Move(AnsiString(Command::T2Y) + " " + Number(s) + " " + padded));
            break;
        }
    penalised_.push_back(padded);
    out.push_back(Game("penalty " + padded + " " + AnsiString(why)));
    out.back().Note = {TOutput::TNote::TWhat::Penalised, padded, 0, std::string(why)};
    out.push_back(Chat(TrimmedName(name) + Utf8(" ") + Utf8(PenaltyWords(why))));
}

void TDealer::Sat(const AnsiString& name)
{
    if (Running() && !Contains(players_, name))
        players_.push_back(PaddedName(name));
}

void TDealer::SeatFreed(int seat, const AnsiString& name, int handCount, const TTableView& table, TimePoint now,
                        TOutputs& out)
{
    if (!Running())
        return;
    for (int i = 0; i < handCount; ++i)
        out.push_back(Move(AnsiString(Command::T2Y) + " " + Number(seat) + " " + PaddedName(name)));
    TTableView after = table;
    after.DeckCount += handCount;
    after.HandCounts[seat] = 0;
    // Without a person at a seat the game is over: bots do not play alone.
    const bool personSeated = std::any_of(after.Occupants.begin(), after.Occupants.end(), [&](const AnsiString& o) {
        return !o.empty() && std::none_of(bots_.begin(), bots_.end(), [&](const TBotPlayer& b) {
            return SameNameIgnoringCase(b.Name, o);
        });
    });
    if (!personSeated) {
        End("stop", after, out);
        return;
    }
    // The hitter left its last seat: its answer is no longer awaited.
    if (phase_ == TPhase::Answering && SameNameIgnoringCase(hitter_, name) && SeatOf(after, name) < 0)
        ResumeDealing(after.FieldCount, after.DeckCount, now);
}

void TDealer::SetPresence(bool seatedPlayerHere, TimePoint now)
{
    if (!Running())
        return;
    if (!seatedPlayerHere && !paused_) {
        paused_ = true;
        pausedAt_ = now;
    } else if (seatedPlayerHere && paused_) {
        // Everything waited for moves on by the time the game stood still,
        // and the game goes on a moment after the player is back.
        paused_ = false;
        wake_ = std::max(wake_, pausedAt_) + (now - pausedAt_) + ResumePause;
    }
}

void TDealer::End(std::string_view reason, const TTableView& table, TOutputs& out)
{
    struct TStanding {
        AnsiString Name;
        int Cards;
    };
    std::vector<TStanding> standings;
    for (const AnsiString& player : players_)
        standings.push_back({player, CardsOf(table, player)});
    std::stable_sort(standings.begin(), standings.end(),
                     [](const TStanding& a, const TStanding& b) { return a.Cards > b.Cards; });
    AnsiString line = Utf8("終局");
    for (std::size_t i = 0, place = 1; i < standings.size(); ++i) {
        if (i > 0 && standings[i].Cards < standings[i - 1].Cards)
            place = i + 1;
        out.push_back(Game("result " + Number(static_cast<long long>(place)) + " " + Number(standings[i].Cards) +
                           " " + standings[i].Name));
        line += " " + Number(static_cast<long long>(place)) + Utf8("位 ") + TrimmedName(standings[i].Name) + " " +
                Number(standings[i].Cards) + Utf8("枚");
    }
    out.push_back(Game("end " + AnsiString(reason)));
    out.push_back(Chat(line));
    for (const TBotPlayer& bot : bots_)
        out.push_back({TOutput::TKind::LeaveBot, bot.Name});
    phase_ = TPhase::Idle;
    hitter_.clear();
    penalised_.clear();
    paused_ = false;
}

std::vector<AnsiString> TDealer::StateLines(TimePoint now) const
{
    std::vector<AnsiString> lines;
    if (!Running())
        return lines;
    lines.push_back(AnsiString(GameWord) + " state " + host_ + " " + TargetText(options_) + " " +
                    Number(options_.Pace) + " " + Number(options_.Answer) + " " + Number(round_));
    for (const TBotPlayer& bot : bots_)
        lines.push_back(AnsiString(GameWord) + " bot " + bot.Name + " " + Number(bot.Level));
    if (phase_ == TPhase::Answering) {
        const TimePoint until = paused_ ? wake_ + (now - pausedAt_) : wake_;
        const auto left = std::chrono::ceil<std::chrono::seconds>(until - now).count();
        lines.push_back(AnsiString(GameWord) + " answer " + hitter_ + " " + Number(std::max<long long>(left, 0)));
    }
    return lines;
}

TSavedGame TDealer::Save(TimePoint now) const
{
    TSavedGame saved;
    saved.Options = options_;
    saved.Host = host_;
    saved.Round = round_;
    saved.Phase = static_cast<int>(phase_);
    const TimePoint from = paused_ ? pausedAt_ : now;
    saved.WakeInMs = std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(wake_ - from).count());
    saved.Hitter = hitter_;
    saved.Penalised = penalised_;
    saved.Players = players_;
    for (const TBotPlayer& bot : bots_)
        saved.Bots.emplace_back(bot.Name, bot.Level);
    return saved;
}

void TDealer::Restore(const TSavedGame& saved, TimePoint now)
{
    options_ = saved.Options;
    host_ = saved.Host;
    round_ = saved.Round;
    phase_ = saved.Phase >= static_cast<int>(TPhase::BetweenRounds) && saved.Phase <= static_cast<int>(TPhase::Answering)
                 ? static_cast<TPhase>(saved.Phase)
                 : TPhase::Idle;
    hitter_ = saved.Hitter;
    penalised_ = saved.Penalised;
    players_ = saved.Players;
    bots_.clear();
    for (const auto& [name, level] : saved.Bots)
        bots_.push_back({name, level});
    wake_ = now + std::chrono::milliseconds(saved.WakeInMs);
    // Nobody is back yet after a restart: the game waits for a seated player.
    paused_ = true;
    pausedAt_ = now;
}

}  // namespace Dealer
