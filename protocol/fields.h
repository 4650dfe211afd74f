#pragma once

#include <string_view>

#include "platform/ansi_string.h"

// Fields of a command text are read by byte position (the first byte is 1) and
// byte count, as both programs do: a run reaching past the end of the text is
// cut short, one starting past the end is empty. A position below 1 counts as 1;
// a count of 0 or less gives an empty field.
namespace Protocol {

AnsiString Field(std::string_view text, int position, int count);

// Everything from the position to the end of the text.
AnsiString FieldFrom(std::string_view text, int position);

}  // namespace Protocol
