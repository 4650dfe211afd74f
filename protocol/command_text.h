#pragma once

#include <string_view>

#include "platform/ansi_string.h"

namespace Protocol {

// The command text carried by a payload: its bytes up to the first NUL or up
// to its end, whichever comes first. Nothing past data + size is read, so a
// payload without a NUL never picks up the bytes that follow it in a receive
// buffer. A null pointer or a size of 0 or less gives an empty text.
AnsiString CommandText(const void* data, int size);

// The bytes that carry a text on the wire: the text followed by one NUL.
AnsiString TextPacket(std::string_view text);

}  // namespace Protocol
