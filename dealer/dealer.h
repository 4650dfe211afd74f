#pragma once

#include <array>
#include <chrono>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "dealer/game_options.h"
#include "platform/ansi_string.h"

namespace Dealer {

using TimePoint = std::chrono::steady_clock::time_point;

// The dealer's padded name ("親" and six spaces, code page 932): it draws and
// sets the target. No player may join with it.
AnsiString DealerName();

// What the dealer reads of its table when it decides: the piles' sizes and
// who sits where (padded names; empty for a free seat).
struct TTableView {
    static constexpr int SeatCount = 6;
    static constexpr int FieldSlots = 12;

    int DeckCount = 0;
    int FieldCount = 0;
    std::array<int, SeatCount> HandCounts{};
    std::array<AnsiString, SeatCount> Occupants{};
};

// What the dealer sends: a level-1 move the table applies as the dealer's
// own ("/draw" gets its card there) and relays to everyone; a "/game" line
// for the level-2 connections; a chat line for everyone.
struct TOutput {
    // JoinBot and LeaveBot: a computer player (Text: its padded name) joins
    // the roster as a player's join would be relayed, or leaves it as a
    // player's leave would.
    enum class TKind { Move, Game, Chat, JoinBot, LeaveBot };
    // What a game line means, for whoever keeps the game's record.
    struct TNote {
        enum class TWhat { None, Took, Penalised };
        TWhat What = TWhat::None;
        AnsiString Name;
        int Cards = 0;
        std::string Why;
        bool operator==(const TNote&) const = default;
    };
    TKind Kind;
    AnsiString Text;
    TNote Note = {};
    bool operator==(const TOutput&) const = default;
};
using TOutputs = std::vector<TOutput>;

// A running game as a restart keeps it: everything the dealer holds, the
// times as milliseconds from the moment it was saved.
struct TSavedGame {
    TGameOptions Options;
    AnsiString Host;
    int Round = 0;
    int Phase = 0;
    long long WakeInMs = 0;
    AnsiString Hitter;
    std::vector<AnsiString> Penalised;
    std::vector<AnsiString> Players;
    std::vector<std::pair<AnsiString, int>> Bots;
};

// A computer player of a game: its padded name and level.
struct TBotPlayer {
    AnsiString Name;
    int Level = 3;
    bool operator==(const TBotPlayer&) const = default;
};

// Runs one dealt game at a table: rounds of dealt cards towards a target,
// the answer of the first hitter, takes and penalties, and the standings at
// the end. It knows no sockets and no timers: the table feeds it what
// happens with the clock's time and sends what it returns; it says when it
// wants to be woken next. Names are padded names.
class TDealer {
public:
    // Seconds between a take (or the start) and the next round's first card.
    static constexpr auto RoundPause = std::chrono::seconds(3);
    // Seconds between the first seated player's return and the game going on.
    static constexpr auto ResumePause = std::chrono::seconds(3);

    explicit TDealer(std::mt19937& random) : random_(random) {}

    bool Running() const { return phase_ != TPhase::Idle; }
    const TGameOptions& Options() const { return options_; }
    const AnsiString& Host() const { return host_; }
    int Round() const { return round_; }
    // The player whose answer is awaited; empty when no answer is open.
    const AnsiString& Hitter() const { return phase_ == TPhase::Answering ? hitter_ : empty_; }
    // When the dealer wants Wake called; time_point{} for never (no game, or
    // waiting for a seated player to come back).
    TimePoint NextWake() const { return Running() && !paused_ ? wake_ : TimePoint{}; }
    // The players of this game, in the order they sat.
    const std::vector<AnsiString>& Players() const { return players_; }

    // Starts a game with the seated players (each at its lowest seat) and
    // the computer players, who join and sit at the lowest free seats.
    void Start(const AnsiString& host, const TGameOptions& options, const std::vector<TBotPlayer>& bots,
               const TTableView& table, TimePoint now, TOutputs& out);
    const std::vector<TBotPlayer>& Bots() const { return bots_; }
    // Whether a hit of that name would count now: seated, not penalised, no
    // answer open, cards being dealt.
    bool MayHit(const AnsiString& name, const TTableView& table) const;
    // Ends the game at once with the standings (reason "stop").
    void Stop(const TTableView& table, TOutputs& out);
    // The time has come for what the dealer waits for.
    void Wake(const TTableView& table, TimePoint now, TOutputs& out);
    // A hit and its verdict ('Y', 'N' or '?').
    void Hit(const AnsiString& name, char verdict, const TTableView& table, TimePoint now, TOutputs& out);
    // The awaited hitter's answer, judged.
    void Answered(const AnsiString& name, bool correct, const TTableView& table, TimePoint now, TOutputs& out);
    // A player sat at a free seat: it plays from now on.
    void Sat(const AnsiString& name);
    // The seat's player left it with handCount cards (table: after the
    // leave): the hand goes back to the deck.
    void SeatFreed(int seat, const AnsiString& name, int handCount, const TTableView& table, TimePoint now,
                   TOutputs& out);
    // Whether any seated player is connected: the game waits while none is.
    void SetPresence(bool seatedPlayerHere, TimePoint now);

    // "/game state" and the open answer, for a level-2 client that joins or
    // resumes during a game.
    std::vector<AnsiString> StateLines(TimePoint now) const;

    TSavedGame Save(TimePoint now) const;
    // Goes on with a saved game, waiting until a seated player is back.
    void Restore(const TSavedGame& saved, TimePoint now);

private:
    enum class TPhase { Idle, BetweenRounds, Dealing, Answering };

    void BeginRound(const TTableView& table, TimePoint now, TOutputs& out);
    void Deal(const TTableView& table, TimePoint now, TOutputs& out);
    // Dealing goes on: the next card after a pace, or the wait for a take.
    void ResumeDealing(int fieldCount, int deckCount, TimePoint now);
    void Penalise(const AnsiString& name, std::string_view why, const TTableView& table, TOutputs& out);
    void End(std::string_view reason, const TTableView& table, TOutputs& out);
    std::chrono::seconds StallTime() const;

    std::mt19937& random_;
    TGameOptions options_;
    AnsiString host_;
    TPhase phase_ = TPhase::Idle;
    int round_ = 0;
    TimePoint wake_{};
    bool paused_ = false;
    TimePoint pausedAt_{};
    AnsiString hitter_;
    std::vector<AnsiString> penalised_;
    std::vector<AnsiString> players_;
    std::vector<TBotPlayer> bots_;
    const AnsiString empty_;
};

// The seat of a name's hand that the dealer moves cards to and from: its
// lowest seat; -1 when it sits nowhere.
int SeatOf(const TTableView& table, const AnsiString& name);

}  // namespace Dealer
