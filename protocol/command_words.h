#pragma once

#include <string_view>

// The command words that open a command text. A receiver recognises a word by
// comparing exactly as many leading bytes as the word has, case-sensitively,
// and ignores whatever follows them. No word's bytes begin another word, so the
// order in which a receiver tests them never changes the outcome.
namespace Protocol::Command {

inline constexpr std::string_view Join = "/join";    // 5
inline constexpr std::string_view Left = "/left";    // 5
inline constexpr std::string_view Take = "/take";    // 5
inline constexpr std::string_view Leave = "/leave";  // 6
inline constexpr std::string_view FLeave = "/fleav"; // 6
inline constexpr std::string_view Set = "/set";      // 4
inline constexpr std::string_view Init = "/init";    // 5
inline constexpr std::string_view Draw = "/draw";    // 5
inline constexpr std::string_view B2T = "/B2T";      // 4
inline constexpr std::string_view T2Y = "/T2Y";      // 4
inline constexpr std::string_view B2Y = "/B2Y";      // 4
inline constexpr std::string_view Hit = "/hit";      // 4
inline constexpr std::string_view List = "/list";    // 5
inline constexpr std::string_view Kill = "/kill";    // 5
inline constexpr std::string_view Hele = "/hele";    // 5

// Every word, for receivers that must tell a known command from an unknown one.
inline constexpr std::string_view All[] = {Join, Left, Take, Leave, FLeave, Set, Init, Draw,
                                           B2T,  T2Y,  B2Y,  Hit,   List,   Kill, Hele};

// The words of level 2, spoken only between peers that both announced it. None
// begins with the compared bytes of a level-1 word, so a level-1 receiver that
// met one would never take it for a command it knows.
inline constexpr std::string_view State = "/state";    // 6: the sync block's "begin" and "end"
inline constexpr std::string_view Away = "/away";      // 5: a player's connection dropped
inline constexpr std::string_view Back = "/back";      // 5: an away player resumed
inline constexpr std::string_view Judge = "/judge";    // 6: the verdict on a hit
inline constexpr std::string_view Answer = "/answer";  // 7: a hitter's calculation
inline constexpr std::string_view Tables = "/tables";  // 7: the list of tables, asked and answered
inline constexpr std::string_view Refused = "/refused"; // 8: a join that cannot be accepted
inline constexpr std::string_view Deal = "/deal";      // 5: start or stop a dealt game
inline constexpr std::string_view Game = "/game";      // 5: what the dealer of a dealt game says
inline constexpr std::string_view Register = "/register"; // 9: a player registers one of its names
inline constexpr std::string_view NameKey = "/namekey";   // 8: the key of a name just registered
inline constexpr std::string_view Site = "/site";         // 5: where the server's pages are

inline constexpr std::string_view Level2[] = {State, Away,  Back,     Judge,   Answer, Tables,
                                              Refused, Deal, Game, Register, NameKey, Site};

// Every command starts with this byte; a chat line never does.
inline constexpr char Prefix = '/';

}  // namespace Protocol::Command

namespace Protocol {

// True when the text begins with all bytes of the word. A text shorter than
// the word never matches.
constexpr bool IsCommand(std::string_view text, std::string_view word)
{
    return text.substr(0, word.size()) == word;
}

}  // namespace Protocol
