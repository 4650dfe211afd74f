#include "protocol/command_text.h"

#include <cstring>

namespace Protocol {

AnsiString CommandText(const void* data, int size)
{
    if (data == nullptr || size <= 0)
        return {};
    const auto* bytes = static_cast<const char*>(data);
    const auto* nul = static_cast<const char*>(std::memchr(bytes, '\0', static_cast<std::size_t>(size)));
    return AnsiString(bytes, nul != nullptr ? nul : bytes + size);
}

AnsiString TextPacket(std::string_view text)
{
    AnsiString packet;
    packet.reserve(text.size() + 1);
    packet.append(text);
    packet += '\0';
    return packet;
}

}  // namespace Protocol
