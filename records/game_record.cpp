#include "records/game_record.h"

#include <array>
#include <utility>

namespace Records {

namespace {

constexpr std::array<std::pair<EEventKind, std::string_view>, 9> KindWords{{
    {EEventKind::Join, "join"},
    {EEventKind::Leave, "leave"},
    {EEventKind::Target, "target"},
    {EEventKind::Deal, "deal"},
    {EEventKind::Clear, "clear"},
    {EEventKind::Hit, "hit"},
    {EEventKind::Answer, "answer"},
    {EEventKind::Take, "take"},
    {EEventKind::Penalty, "penalty"},
}};

}  // namespace

std::string_view EventKindWord(EEventKind kind)
{
    for (const auto& [k, word] : KindWords)
        if (k == kind)
            return word;
    return {};
}

std::optional<EEventKind> EventKindFromWord(std::string_view word)
{
    for (const auto& [kind, w] : KindWords)
        if (w == word)
            return kind;
    return std::nullopt;
}

std::string_view GameEndWord(EGameEnd end)
{
    return end == EGameEnd::Deck ? "deck" : "stop";
}

std::optional<EGameEnd> GameEndFromWord(std::string_view word)
{
    if (word == "deck")
        return EGameEnd::Deck;
    if (word == "stop")
        return EGameEnd::Stop;
    return std::nullopt;
}

}  // namespace Records
