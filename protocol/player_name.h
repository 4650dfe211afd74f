#pragma once

#include <optional>
#include <string_view>

#include "platform/ansi_string.h"

// A player's name as the operator types it and as the server compares it.
namespace Protocol {

// The name without the spaces that pad it to its wire length.
AnsiString TrimmedName(std::string_view name);

// The form in which names are compared: padding spaces removed and ASCII
// letters taken as lower case (a Shift-JIS second byte is never changed).
AnsiString PlayerNameKey(std::string_view name);

// The code page 932 bytes of a name given as UTF-8 text: 1 to 8 bytes, every
// character writable in code page 932, none a control character, and not
// ending in a space (the padding would swallow it). Nothing otherwise.
std::optional<AnsiString> PlayerNameFromUtf8(std::string_view utf8);

}  // namespace Protocol

// Equality of two names with ASCII letters compared without regard to case,
// stepping over Shift-JIS double-byte characters whole.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
