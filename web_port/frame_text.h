#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/ansi_string.h"

// A WebSocket text frame carries one packet: the same characters, NUL and
// trailer included, that a TCP peer sends in code page 932, as UTF-8.
namespace FrameText {

// The packet of a frame: its UTF-8 as code page 932, or nothing when it
// holds a character that code page has no code for.
std::optional<AnsiString> ToPayload(std::string_view utf8);

// The frame of a packet the game sends: its text up to the first NUL, as UTF-8.
std::string FromPayload(const void* data, int size);

}  // namespace FrameText
