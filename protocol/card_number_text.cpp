#include "protocol/card_number_text.h"

#include <cstdio>

namespace Protocol {

AnsiString CardNumberText(int card)
{
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%02d", card);
    return AnsiString(digits, static_cast<std::size_t>(length));
}

}  // namespace Protocol
