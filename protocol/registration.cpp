#include "protocol/registration.h"

#include "platform/cp932.h"
#include "protocol/command_words.h"
#include "protocol/padded_name.h"
#include "protocol/player_name.h"

namespace Protocol::Registration {

std::optional<AnsiString> ReadRegister(std::string_view text)
{
    if (!IsCommand(text, Command::Register) || text.size() <= Command::Register.size() ||
        text[Command::Register.size()] != ' ')
        return std::nullopt;
    const AnsiString name = TrimmedName(text.substr(Command::Register.size() + 1));
    if (name.empty() || name.size() > static_cast<std::size_t>(PaddedNameLength))
        return std::nullopt;
    return name;
}

AnsiString NameKeyText(std::string_view name, std::string_view key)
{
    return AnsiString(Command::NameKey) + " " + PaddedName(name) + " " + AnsiString(key);
}

AnsiString GameRefusedText(std::string_view utf8Sentence)
{
    return AnsiString(Command::Game) + " refused " + Cp932::FromUtf8(utf8Sentence);
}

std::string SiteText(std::string_view url)
{
    return std::string(Command::Site) + " " + std::string(url);
}

}  // namespace Protocol::Registration
