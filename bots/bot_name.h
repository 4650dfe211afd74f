#pragma once

// The names computer players take at a table: "ロボ1" … "ロボ9", as CP932
// bytes and unpadded (pad them to the name length where names are compared).

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace Bots {

inline constexpr int MaxBotNumber = 9;

// "ロボ" and the number 1..MaxBotNumber.
std::string BotName(int number);

// The first of the names that taken says is not in use; none when all are.
std::optional<std::string> FreeBotName(const std::function<bool(std::string_view name)>& taken);

}  // namespace Bots
