#pragma once

#include <string_view>

#include "platform/ansi_string.h"

namespace Protocol {

// A player's name always travels and is compared as exactly this many bytes.
inline constexpr int PaddedNameLength = 8;

// The name followed by spaces up to PaddedNameLength bytes. A longer name is
// cut to PaddedNameLength bytes; the client never sends one, since its name
// box holds at most that many bytes.
AnsiString PaddedName(std::string_view name);

}  // namespace Protocol
