#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace Dealer {

// The fields a dealt game is started with.
struct TGameOptions {
    static constexpr int MaxBots = 5;

    // Nothing: a new random target (10-99) each round.
    std::optional<int> Target = 47;
    int Pace = 5;     // seconds between dealt cards
    int Answer = 20;  // seconds the first hitter has to answer
    int Bots = 0;
    int Level = 3;

    bool operator==(const TGameOptions&) const = default;
};

// Reads the fields after "start": "TARGET=", "PACE=", "ANSWER=", "BOTS=",
// "LEVEL=", each optional, in any order, separated by spaces. A bad field
// gives the sentence (UTF-8) that refuses the start.
std::variant<TGameOptions, std::string> ReadGameOptions(std::string_view fields);

// The fields as ReadGameOptions reads them back.
std::string GameOptionsText(const TGameOptions& options);

// "random" or the target's number.
std::string TargetText(const TGameOptions& options);

}  // namespace Dealer
