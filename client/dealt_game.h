#pragma once

#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "client/table_model.h"
#include "platform/ansi_string.h"

// The fields a dealt game is started with, as "/deal" carries them.
struct TDealOptions {
    static constexpr int MaxBots = 5;
    static constexpr int MaxLevel = 5;

    // Nothing: a new random target each round.
    std::optional<int> Target = 47;
    int Pace = 5;
    int Answer = 20;
    int Bots = 0;
    int Level = 3;

    // " TARGET=47 PACE=5 ANSWER=20 BOTS=0 LEVEL=3": what follows "start".
    AnsiString FieldsText() const;
    bool operator==(const TDealOptions&) const = default;
};

// "/deal " name " start" and the fields, or "/deal " name " stop".
AnsiString DealStartText(const AnsiString& paddedName, const TDealOptions& options);
AnsiString DealStopText(const AnsiString& paddedName);

// One player's line of the standings at a game's end.
struct TGameStanding {
    int Place = 0;
    int Cards = 0;
    AnsiString Name;
    bool operator==(const TGameStanding&) const = default;
};

struct TGamePenalty {
    enum class TWhy { Wrong, Answer, Time };
    AnsiString Name;
    TWhy Why = TWhy::Wrong;
    bool operator==(const TGamePenalty&) const = default;
};

// The dealt game at the client's table as the server's "/game" lines told it,
// without any widget: whether one runs, its host and fields, the round, the
// open answer and when it closes, the penalties, the bots, and the standings
// once it ended. The clock is given with each line: the answer's deadline is
// the time the line arrived plus its seconds.
class TDealtGame {
public:
    using TClock = std::chrono::steady_clock;

    // What a line changed, for whoever shows it.
    enum class TEvent { Started, Bot, Round, AnswerOpened, Took, Penalised, Result, Ended, Refused };

    // Applies one "/game" text; nothing for a text it cannot read (which
    // changes nothing).
    std::optional<TEvent> Apply(std::string_view commandText, TClock::time_point now);
    // The connection starts over: no game is known.
    void Clear() { *this = TDealtGame(); }

    bool Running() const { return running_; }
    // A game ran and ended; its standings stay until the next starts.
    bool Ended() const { return !running_ && !standings_.empty(); }
    const AnsiString& Host() const { return host_; }
    // The fields as the game announced them; Bots and Level from its bots.
    const TDealOptions& Options() const { return options_; }
    int Round() const { return round_; }

    // The player whose answer is awaited; nothing when no answer is open.
    std::optional<AnsiString> Hitter() const;
    // Whole seconds left for the open answer at the time, rounded up; 0 once over.
    int SecondsLeft(TClock::time_point now) const;

    const std::vector<TGamePenalty>& Penalties() const { return penalties_; }
    const std::optional<TGamePenalty>& LastPenalty() const { return lastPenalty_; }
    // The latest take: its player and how many cards.
    const std::optional<std::pair<AnsiString, int>>& LastTake() const { return lastTake_; }
    const std::vector<TGameStanding>& Standings() const { return standings_; }
    // "deck" or "stop" once the game ended.
    const AnsiString& EndReason() const { return endReason_; }
    // The computer players, by padded name, with their level.
    bool IsBot(const AnsiString& paddedName) const { return bots_.count(paddedName) != 0; }
    const std::map<AnsiString, int>& Bots() const { return bots_; }
    // The sentence (code page 932) of the latest refused start or stop.
    const AnsiString& Refusal() const { return refusal_; }

    // The player may stop the running game: it is seated, and it is the host
    // or the host has left the table (is no longer in the roster).
    bool MayStop(const AnsiString& paddedName, const TTableState& table, const std::vector<AnsiString>& roster) const;

private:
    bool StartOrState(std::string_view fields, bool withRound);
    void Begin();

    bool running_ = false;
    AnsiString host_;
    TDealOptions options_;
    int round_ = 0;
    AnsiString hitter_;
    TClock::time_point deadline_{};
    std::vector<TGamePenalty> penalties_;
    std::optional<TGamePenalty> lastPenalty_;
    std::optional<std::pair<AnsiString, int>> lastTake_;
    std::vector<TGameStanding> standings_;
    AnsiString endReason_;
    std::map<AnsiString, int> bots_;
    AnsiString refusal_;
};

// Each seat's place by the cards in its hand among the occupied seats (ties
// share a place); 0 for a free seat.
std::array<int, TTableState::SeatCount> SeatPlaces(const TTableState& table);
