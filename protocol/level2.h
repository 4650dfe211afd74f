#pragma once

#include <string_view>

#include "platform/ansi_string.h"

// The level-2 announcement rides after the NUL of "/join", where a level-1
// server never looks: "KIVOL/2", or "KIVOL/2 RESUME=" and a token to take a
// dropped roster entry back.
namespace Protocol::Level2 {

inline constexpr std::string_view Announcement = "KIVOL/2";
inline constexpr std::string_view ResumePrefix = "KIVOL/2 RESUME=";
// A token: this many lowercase hex digits.
inline constexpr int TokenLength = 32;

inline constexpr std::string_view StateBegin = "/state begin";
inline constexpr std::string_view StateEnd = "/state end";

// What follows the first NUL of a payload (empty when there is no NUL).
std::string_view Trailer(const void* data, int size);
// True for a trailer that announces level 2.
bool Announces(std::string_view trailer);
// The token of a resume trailer, or an empty view when the trailer asks for no
// resume or its token is not 32 lowercase hex digits.
std::string_view ResumeToken(std::string_view trailer);
bool IsToken(std::string_view text);

}  // namespace Protocol::Level2
