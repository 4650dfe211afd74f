#include "bots/bot_name.h"

namespace Bots {
namespace {

// "ロボ" in code page 932.
constexpr std::string_view RoboBytes = "\x83\x8D\x83\x7B";

}  // namespace

std::string BotName(int number)
{
    return std::string(RoboBytes) + std::to_string(number);
}

std::optional<std::string> FreeBotName(const std::function<bool(std::string_view name)>& taken)
{
    for (int number = 1; number <= MaxBotNumber; ++number)
        if (std::string name = BotName(number); !taken(name))
            return name;
    return std::nullopt;
}

}  // namespace Bots
