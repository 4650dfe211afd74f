#pragma once

#include <QString>
#include <optional>
#include <string_view>

#include "platform/ansi_string.h"

// Shift-JIS as Windows writes it (code page 932), the encoding of every text
// on the wire and in file names of the original program.
namespace Cp932 {

// Bytes to Unicode. An invalid byte or pair, or a lead byte cut off at the
// end, becomes U+FFFD; decoding never reads outside the given bytes.
QString Decode(std::string_view bytes);

// Unicode to bytes. A character code page 932 cannot write becomes "?".
AnsiString Encode(const QString& text);

// UTF-8 convenience forms of the two. Besides Windows' own characters,
// FromUtf8 writes those that Japanese input methods of other systems give
// for the same codes (U+301C WAVE DASH as 81 60, U+2016 as 81 61, U+2212 as
// 81 7C, U+00A2, U+00A3 and U+00AC as 81 91, 81 92 and 81 CA, U+2014 as
// 81 5C, U+00A6 as FA 55).
std::string ToUtf8(std::string_view bytes);
AnsiString FromUtf8(std::string_view utf8);

// FromUtf8, or nothing when the text holds a character that code page 932
// cannot write (or is not UTF-8).
std::optional<AnsiString> FromUtf8Exactly(std::string_view utf8);

// Number of bytes the text takes in code page 932.
int ByteLength(const QString& text);

// True for the first byte of a double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

}  // namespace Cp932
