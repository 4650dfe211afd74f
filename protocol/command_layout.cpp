#include "protocol/command_layout.h"

#include "protocol/fields.h"
#include "protocol/padded_name.h"

namespace Protocol {

std::optional<int> SeatField(std::string_view text, int position)
{
    const AnsiString digit = Field(text, position, 1);
    if (digit.size() != 1 || digit[0] < '0' || digit[0] > '5')
        return std::nullopt;
    return digit[0] - '0';
}

AnsiString NameField(std::string_view text, int position)
{
    return Field(text, position, PaddedNameLength);
}

}  // namespace Protocol
