#include "table/identity.h"

#include <algorithm>
#include <utility>

#include "protocol/command_layout.h"
#include "protocol/command_words.h"
#include "protocol/padded_name.h"
#include "table/roster.h"

using namespace Protocol;

namespace Identity {

namespace {

// The position of the player's name in a command that carries one; 0 for a
// command without a name.
int NamePosition(std::string_view text)
{
    const std::pair<std::string_view, int> named[] = {
        {Command::Left, Layout::LeftName}, {Command::Take, Layout::TakeName}, {Command::Draw, Layout::DrawName},
        {Command::Hit, Layout::HitName},   {Command::B2T, Layout::MoveName},  {Command::T2Y, Layout::MoveName},
        {Command::Set, Layout::SetName},   {Command::Answer, Layout::AnswerName}, {Command::Deal, Layout::DealName},
    };
    for (const auto& [word, position] : named)
        if (IsCommand(text, word))
            return position;
    return 0;
}

}  // namespace

bool ServerOnlyWord(std::string_view text)
{
    for (std::string_view word : {Command::Kill, Command::List, Command::State, Command::Away, Command::Back,
                                  Command::Judge, Command::Refused, Command::Game, Command::NameKey, Command::Site})
        if (IsCommand(text, word))
            return true;
    return false;
}

bool MaySend(const TPeer& peer, std::string_view text)
{
    if (peer.Names.empty())
        return false;
    if (text.empty() || text[0] != Command::Prefix) {
        // A chat line opens with one of the sender's names and ": ".
        return text.substr(PaddedNameLength, 2) == ": " && OwnsName(peer, text.substr(0, PaddedNameLength));
    }
    const int position = NamePosition(text);
    return position == 0 || OwnsName(peer, NameField(text, position));
}

bool OwnsName(const TPeer& peer, std::string_view name)
{
    return std::any_of(peer.Names.begin(), peer.Names.end(),
                       [&](const AnsiString& own) { return SameNameIgnoringCase(own, name); });
}

std::string_view RefusedWord(std::string_view text)
{
    return text.substr(0, std::min(text.find(' '), std::size_t(PaddedNameLength)));
}

}  // namespace Identity
