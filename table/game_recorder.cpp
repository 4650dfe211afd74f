#include "table/game_recorder.h"

#include <algorithm>

#include "protocol/padded_name.h"
#include "protocol/player_name.h"
#include "solver/solver.h"

using Records::EEventKind;

namespace {

// Each prefix solve is short: a take's reaction time is worth less than the
// event loop's time, and an undecided prefix only makes the time longer.
constexpr auto PrefixSolveLimit = std::chrono::milliseconds(2);

}  // namespace

void TGameRecorder::Add(EEventKind kind, TimePoint now, const AnsiString& player, int number, bool flag,
                        const AnsiString& text)
{
    if (!recording_)
        return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - start_).count();
    record_.Events.push_back({ms, kind, player, number, flag, text});
}

void TGameRecorder::Started(const AnsiString& table, const AnsiString& host, const Dealer::TGameOptions& options,
                            TimePoint now)
{
    record_ = {};
    record_.Table = table;
    record_.Host = Protocol::TrimmedName(host);
    record_.Start = std::chrono::system_clock::now();
    record_.Fields = {options.Target, options.Pace, options.Answer, options.Bots, options.Level};
    recording_ = true;
    start_ = now;
    target_ = options.Target;
    fieldDeals_.clear();
    seats_.clear();
}

TGameRecorder::TSaved TGameRecorder::Save() const
{
    return {record_, target_, fieldDeals_, seats_};
}

void TGameRecorder::Restore(TSaved saved, TimePoint now)
{
    record_ = std::move(saved.Record);
    target_ = saved.Target;
    fieldDeals_ = std::move(saved.FieldDeals);
    seats_ = std::move(saved.Seats);
    start_ = now - std::chrono::duration_cast<TimePoint::duration>(std::chrono::system_clock::now() - record_.Start);
    recording_ = true;
}

void TGameRecorder::Sat(const AnsiString& name, int seat, TimePoint now)
{
    const AnsiString trimmed = Protocol::TrimmedName(name);
    if (std::none_of(seats_.begin(), seats_.end(), [&](const auto& s) { return s.first == trimmed; }))
        seats_.emplace_back(trimmed, seat);
    Add(EEventKind::Join, now, trimmed, seat);
}

void TGameRecorder::Left(const AnsiString& name, TimePoint now)
{
    Add(EEventKind::Leave, now, Protocol::TrimmedName(name));
}

void TGameRecorder::Target(int target, TimePoint now)
{
    target_ = target;
    fieldDeals_.clear();
    Add(EEventKind::Target, now, {}, target);
}

void TGameRecorder::Dealt(int card, TimePoint now)
{
    fieldDeals_.push_back(record_.Events.size());
    Add(EEventKind::Deal, now, {}, card);
}

void TGameRecorder::Cleared(TimePoint now)
{
    fieldDeals_.clear();
    Add(EEventKind::Clear, now);
}

void TGameRecorder::Hit(const AnsiString& name, char verdict, bool opened, TimePoint now)
{
    Add(EEventKind::Hit, now, Protocol::TrimmedName(name), 0, opened, AnsiString(1, verdict));
}

void TGameRecorder::Answered(const AnsiString& name, const AnsiString& expression, bool correct, TimePoint now)
{
    Add(EEventKind::Answer, now, Protocol::TrimmedName(name), 0, correct, expression);
}

void TGameRecorder::Took(const AnsiString& name, const std::vector<int>& field, TimePoint now)
{
    MarkFirstMakeable(field);
    fieldDeals_.clear();
    Add(EEventKind::Take, now, Protocol::TrimmedName(name), static_cast<int>(field.size()));
}

void TGameRecorder::Penalised(const AnsiString& name, const std::string& why, TimePoint now)
{
    Add(EEventKind::Penalty, now, Protocol::TrimmedName(name), 0, false, AnsiString(why));
}

void TGameRecorder::MarkFirstMakeable(const std::vector<int>& field)
{
    if (!recording_ || !target_ || fieldDeals_.size() != field.size() || field.empty())
        return;
    // More cards never make a target unmakeable: the first makeable prefix
    // is found by halving.
    const auto makeable = [&](std::size_t count) {
        const std::vector<int> prefix(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(count));
        return Solver::Solve(prefix, *target_, Solver::Rule::AnySubset, PrefixSolveLimit).verdict ==
               Solver::Verdict::Yes;
    };
    std::size_t low = 1, high = field.size();
    if (!makeable(high))
        return;
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (makeable(middle))
            high = middle;
        else
            low = middle + 1;
    }
    record_.Events[fieldDeals_[low - 1]].Flag = true;
}

Records::TGameRecord TGameRecorder::Finish(const std::vector<AnsiString>& players, const std::vector<int>& botLevels,
                                           const Dealer::TTableView& seats, bool stopped, TimePoint now,
                                           const std::function<bool(const AnsiString&)>& isRegistered)
{
    record_.End = record_.Start + std::chrono::duration_cast<std::chrono::system_clock::duration>(now - start_);
    record_.EndReason = stopped ? Records::EGameEnd::Stop : Records::EGameEnd::Deck;
    std::vector<int> cards;
    for (const AnsiString& player : players) {
        int held = 0;
        for (int s = 0; s < Dealer::TTableView::SeatCount; ++s)
            if (!seats.Occupants[s].empty() && SameNameIgnoringCase(seats.Occupants[s], player))
                held += seats.HandCounts[s];
        cards.push_back(held);
    }
    for (std::size_t i = 0; i < players.size(); ++i) {
        Records::TGamePlayer player;
        player.Name = Protocol::TrimmedName(players[i]);
        player.BotLevel = i < botLevels.size() ? botLevels[i] : 0;
        player.Registered = !player.IsBot() && isRegistered && isRegistered(player.Name);
        const auto seat = std::find_if(seats_.begin(), seats_.end(), [&](const auto& s) { return s.first == player.Name; });
        player.Seat = seat == seats_.end() ? 0 : seat->second;
        player.Cards = cards[i];
        player.Place = 1 + static_cast<int>(std::count_if(cards.begin(), cards.end(), [&](int c) { return c > cards[i]; }));
        record_.Players.push_back(player);
    }
    std::stable_sort(record_.Players.begin(), record_.Players.end(),
                     [](const Records::TGamePlayer& a, const Records::TGamePlayer& b) { return a.Place < b.Place; });
    recording_ = false;
    return std::move(record_);
}
