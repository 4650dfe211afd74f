#include "web_port/frame_text.h"

#include <cstring>

#include "platform/cp932.h"

namespace FrameText {

std::optional<AnsiString> ToPayload(std::string_view utf8)
{
    // The encoder writes "?" for a character it cannot write; decoding the
    // result gives the frame back exactly only when it had none (a real "?"
    // comes back as itself).
    AnsiString payload = Cp932::FromUtf8(utf8);
    if (Cp932::ToUtf8(payload) != utf8)
        return std::nullopt;
    return payload;
}

std::string FromPayload(const void* data, int size)
{
    const auto* bytes = static_cast<const char*>(data);
    const auto* nul = static_cast<const char*>(std::memchr(bytes, '\0', static_cast<std::size_t>(size)));
    return Cp932::ToUtf8(std::string_view(bytes, nul ? static_cast<std::size_t>(nul - bytes) : static_cast<std::size_t>(size)));
}

}  // namespace FrameText
