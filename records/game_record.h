#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/ansi_string.h"

// A dealt game as it is kept: who played, how it was started, how it ended,
// and everything that happened at the table in order. Names, the table's name
// and answer texts are code page 932 bytes as they travel on the wire.
namespace Records {

using TTime = std::chrono::system_clock::time_point;

// Moments as the store keeps them: milliseconds since 1970, UTC.
inline std::int64_t MillisecondsOf(TTime time)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}
inline TTime TimeOfMilliseconds(std::int64_t ms)
{
    return TTime(std::chrono::duration_cast<TTime::duration>(std::chrono::milliseconds(ms)));
}

// The fields a game was started with.
struct TGameFields {
    std::optional<int> Target;  // nothing: a new random target each round
    int PaceSeconds = 5;
    int AnswerSeconds = 20;
    int Bots = 0;
    int BotLevel = 3;
    bool operator==(const TGameFields&) const = default;
};

enum class EGameEnd { Deck, Stop };

struct TGamePlayer {
    AnsiString Name;
    bool Registered = false;  // the name was registered when the game was played
    int BotLevel = 0;         // 1-5 for a computer player, 0 for a person
    int Seat = 0;
    int Cards = 0;
    int Place = 0;  // 1 for the most cards; equal cards share a place
    bool IsBot() const { return BotLevel != 0; }
    bool operator==(const TGamePlayer&) const = default;
};

enum class EEventKind {
    Join,     // Player sat down at Number (its seat); its hand starts empty
    Leave,    // Player left its seat and forfeited its hand
    Target,   // the target became Number
    Deal,     // card Number was dealt; Flag: the target can be made from the field now
    Clear,    // the field went back to the deck untaken
    Hit,      // Player hit; Text: the verdict; Flag: it was the first hit and opened an answer
    Answer,   // Player answered Text; Flag: judged correct
    Take,     // Player took the field: Number cards
    Penalty,  // Player was penalised; Text: why ("wrong", "answer", "time")
};

struct TGameEvent {
    std::int64_t Ms = 0;  // since the start of the game
    EEventKind Kind = EEventKind::Deal;
    AnsiString Player;
    int Number = 0;
    bool Flag = false;
    AnsiString Text;
    bool operator==(const TGameEvent&) const = default;
};

struct TGameRecord {
    std::int64_t Id = 0;  // given by the store when the game is added
    AnsiString Table;
    AnsiString Host;
    TTime Start;
    TTime End;
    TGameFields Fields;
    EGameEnd EndReason = EGameEnd::Deck;
    std::vector<TGamePlayer> Players;  // in standing order
    std::vector<TGameEvent> Events;    // in the order they happened
    bool operator==(const TGameRecord&) const = default;
};

// The words the store and the JSON texts use for kinds and ends, and back.
std::string_view EventKindWord(EEventKind kind);
std::optional<EEventKind> EventKindFromWord(std::string_view word);
std::string_view GameEndWord(EGameEnd end);
std::optional<EGameEnd> GameEndFromWord(std::string_view word);

}  // namespace Records
