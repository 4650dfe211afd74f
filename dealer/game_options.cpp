#include "dealer/game_options.h"

#include <charconv>

namespace Dealer {

namespace {

// A decimal number of at most maxDigits digits within [low, high].
std::optional<int> ReadNumber(std::string_view text, int maxDigits, int low, int high)
{
    if (text.empty() || static_cast<int>(text.size()) > maxDigits)
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

struct TNumberField {
    std::string_view Key;
    int TGameOptions::*Member;
    int Low;
    int High;
    const char* Refusal;
};

constexpr TNumberField NumberFields[] = {
    {"PACE=", &TGameOptions::Pace, 1, 60, "PACE は 1～60 秒です"},
    {"ANSWER=", &TGameOptions::Answer, 5, 120, "ANSWER は 5～120 秒です"},
    {"BOTS=", &TGameOptions::Bots, 0, TGameOptions::MaxBots, "BOTS は 0～5 です"},
    {"LEVEL=", &TGameOptions::Level, 1, 5, "LEVEL は 1～5 です"},
};

}  // namespace

std::variant<TGameOptions, std::string> ReadGameOptions(std::string_view fields)
{
    TGameOptions options;
    while (!fields.empty()) {
        const std::size_t space = fields.find(' ');
        const std::string_view field = fields.substr(0, space);
        fields = space == std::string_view::npos ? std::string_view() : fields.substr(space + 1);
        if (field.empty())
            continue;
        if (field.starts_with("TARGET=")) {
            const std::string_view value = field.substr(7);
            if (value == "random") {
                options.Target.reset();
            } else if (const auto target = ReadNumber(value, 3, 1, 999)) {
                options.Target = *target;
            } else {
                return std::string("TARGET は 1～999 か random です");
            }
            continue;
        }
        bool known = false;
        for (const TNumberField& number : NumberFields) {
            if (!field.starts_with(number.Key))
                continue;
            const auto value = ReadNumber(field.substr(number.Key.size()), 3, number.Low, number.High);
            if (!value)
                return std::string(number.Refusal);
            options.*number.Member = *value;
            known = true;
        }
        if (!known)
            return std::string("知らない項目があります");
    }
    return options;
}

std::string TargetText(const TGameOptions& options)
{
    return options.Target ? std::to_string(*options.Target) : std::string("random");
}

std::string GameOptionsText(const TGameOptions& options)
{
    return "TARGET=" + TargetText(options) + " PACE=" + std::to_string(options.Pace) +
           " ANSWER=" + std::to_string(options.Answer) + " BOTS=" + std::to_string(options.Bots) +
           " LEVEL=" + std::to_string(options.Level);
}

}  // namespace Dealer
