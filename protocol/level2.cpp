#include "protocol/level2.h"

#include <cstring>

namespace Protocol::Level2 {

std::string_view Trailer(const void* data, int size)
{
    if (data == nullptr || size <= 0)
        return {};
    const auto* bytes = static_cast<const char*>(data);
    const auto* nul = static_cast<const char*>(std::memchr(bytes, '\0', static_cast<std::size_t>(size)));
    if (nul == nullptr)
        return {};
    return std::string_view(nul + 1, static_cast<std::size_t>(bytes + size - (nul + 1)));
}

bool Announces(std::string_view trailer)
{
    return trailer.substr(0, Announcement.size()) == Announcement;
}

bool IsToken(std::string_view text)
{
    if (text.size() != static_cast<std::size_t>(TokenLength))
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

std::string_view ResumeToken(std::string_view trailer)
{
    if (trailer.substr(0, ResumePrefix.size()) != ResumePrefix)
        return {};
    // A trailer may end in a NUL of its own; the token is the 32 bytes after the prefix.
    const std::string_view token = trailer.substr(ResumePrefix.size(), static_cast<std::size_t>(TokenLength));
    return IsToken(token) ? token : std::string_view();
}

}  // namespace Protocol::Level2
