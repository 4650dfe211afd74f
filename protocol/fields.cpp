#include "protocol/fields.h"

#include <algorithm>

namespace Protocol {

namespace {

std::string_view Rest(std::string_view text, int position)
{
    const std::size_t start = static_cast<std::size_t>(std::max(position, 1) - 1);
    return start < text.size() ? text.substr(start) : std::string_view();
}

}  // namespace

AnsiString Field(std::string_view text, int position, int count)
{
    if (count <= 0)
        return {};
    return AnsiString(Rest(text, position).substr(0, static_cast<std::size_t>(count)));
}

AnsiString FieldFrom(std::string_view text, int position)
{
    return AnsiString(Rest(text, position));
}

}  // namespace Protocol
