#pragma once

#include <string_view>
#include <vector>

#include "platform/ansi_string.h"

// The roster as one comma text, the form in which "/list" carries it.
namespace Protocol {

// The entries joined by single commas. An entry holding a byte from 0x00 to
// 0x20, a double quote or a comma is written inside double quotes with each
// double quote in it doubled (so padded names that end in spaces are always
// quoted); any other entry is written bare. No entries give an empty text; a
// single empty entry gives two double quotes, so that it is not lost.
AnsiString RosterText(const std::vector<AnsiString>& entries);

// Splits a roster text back into entries:
// - bytes 0x01 to 0x20 before an entry are skipped;
// - an entry that begins with a double quote runs to the next double quote that
//   is not doubled (a doubled one stands for one quote), or to the end;
// - any other entry runs up to the next comma or byte of 0x20 or less;
// - after an entry, bytes 0x01 to 0x20 are skipped; a comma is skipped with the
//   blanks after it, and a comma that is the text's last byte adds one empty entry.
// A Shift-JIS double-byte character is stepped over whole, so its trail byte
// never ends an entry or counts as a quote. A NUL ends the text, as it ends
// every command text; the texts split here never hold one. Nothing past the
// text's end is ever read, not even after a lead byte that is the last byte.
std::vector<AnsiString> SplitRosterText(std::string_view text);

}  // namespace Protocol
