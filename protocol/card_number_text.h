#pragma once

#include "platform/ansi_string.h"

namespace Protocol {

// The card number that stands for "no card": what taking from an empty pile
// gives. A client reads its first two digits, "99", as an empty deck.
inline constexpr int NoCard = 999;

// The number in decimal with at least two digits: "01" ... "54", "999".
AnsiString CardNumberText(int card);

}  // namespace Protocol
