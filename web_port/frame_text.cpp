#include "web_port/frame_text.h"

#include <cstring>

#include "platform/cp932.h"

namespace FrameText {

std::optional<AnsiString> ToPayload(std::string_view utf8)
{
    // Not a round trip: a character that other systems write for a code
    // (U+301C for 81 60) comes back as Windows' own (U+FF5E).
    return Cp932::FromUtf8Exactly(utf8);
}

std::string FromPayload(const void* data, int size)
{
    const auto* bytes = static_cast<const char*>(data);
    const auto* nul = static_cast<const char*>(std::memchr(bytes, '\0', static_cast<std::size_t>(size)));
    return Cp932::ToUtf8(std::string_view(bytes, nul ? static_cast<std::size_t>(nul - bytes) : static_cast<std::size_t>(size)));
}

}  // namespace FrameText
