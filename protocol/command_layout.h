#pragma once

#include <optional>
#include <string_view>

#include "platform/ansi_string.h"

// Where the fields of each command text stand: 1-based byte positions, the
// same for every sender and receiver. A name field is PaddedNameLength bytes,
// a seat field one digit, a card field two digits ("99" of "999": no card).
namespace Protocol::Layout {

inline constexpr int JoinName = 7;    // "/join " name
inline constexpr int LeftName = 7;    // "/left " name
inline constexpr int KillName = 7;    // "/kill " name
inline constexpr int ListRoster = 7;  // "/list " roster text
inline constexpr int TakeSeat = 7;    // "/take " s " " name
inline constexpr int TakeName = 9;
inline constexpr int LeaveSeat = 8;   // "/leave " s and "/fleav " s
inline constexpr int DrawName = 7;    // "/draw " name, answered with " " NN
inline constexpr int DrawCard = 16;
inline constexpr int CardDigits = 2;
inline constexpr int MoveSeat = 6;    // "/B2T " s " " name and "/T2Y " s " " name
inline constexpr int MoveName = 8;
inline constexpr int HitName = 6;     // "/hit " name, answered with " " date-time
inline constexpr int HitText = 6;     // what a client shows: name, space, the server's time
inline constexpr int SetName = 6;     // "/set " name " " target text
inline constexpr int SetTarget = 15;
inline constexpr int AwayName = 7;    // "/away " name and "/back " name
inline constexpr int JudgeName = 8;   // "/judge " name " " verdict " " first " " expression
inline constexpr int AnswerName = 9;  // "/answer " name " " expression
inline constexpr int AnswerText = 18;
inline constexpr int DealName = 7;    // "/deal " name " start" fields, "/deal " name " stop"
inline constexpr int DealAction = 16;
inline constexpr int ChatNameEnd = 9; // a chat line: name ": " text; ": " follows the 8 bytes

}  // namespace Protocol::Layout

namespace Protocol {

// The seat named by the one-byte field at position: 0 to 5, or nothing for
// any other byte (a digit 6 to 9 included) or a text too short to hold it.
std::optional<int> SeatField(std::string_view text, int position);

// The padded name at position (shorter when the text ends first).
AnsiString NameField(std::string_view text, int position);

}  // namespace Protocol
