#include "tests/web/desktop_stand_in.h"

#include <algorithm>
#include <exception>

#include "protocol/command_layout.h"
#include "protocol/command_words.h"
#include "protocol/fields.h"
#include "protocol/level2.h"
#include "protocol/roster_text.h"

using namespace Protocol;

namespace {

constexpr int TokenPosition = static_cast<int>(Level2::StateBegin.size()) + 2;
constexpr int GracePosition = TokenPosition + Level2::TokenLength + 1;

bool ValidGrace(const AnsiString& grace)
{
    return !grace.empty() && grace.size() <= 9 &&
           std::all_of(grace.begin(), grace.end(), [](char c) { return c >= '0' && c <= '9'; });
}

TDesktopStandIn::TOutcome Sent(AnsiString text)
{
    return {{std::move(text)}, {}};
}

TDesktopStandIn::TOutcome Refused(std::string key)
{
    return {{}, std::move(key)};
}

}  // namespace

bool TDesktopStandIn::Receive(std::string_view text)
{
    try {
        if (TTableModel::IsTableCommand(text))
            model_.Apply(text);
        else if (IsCommand(text, Command::List)) {
            roster_ = SplitRosterText(FieldFrom(text, Layout::ListRoster));
            model_.KeepAwayIn(roster_);
        } else if (!Level2Command(text) && (text.empty() || text[0] != Command::Prefix))
            model_.ChatLine(text);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool TDesktopStandIn::Level2Command(std::string_view text)
{
    if (IsCommand(text, Level2::StateBegin)) {
        const AnsiString token = Field(text, TokenPosition, Level2::TokenLength);
        const AnsiString grace = FieldFrom(text, GracePosition);
        if (Field(text, TokenPosition - 1, 1) != " " || !Level2::IsToken(token) ||
            Field(text, GracePosition - 1, 1) != " " || !ValidGrace(grace))
            return false;
        level2_ = true;
        token_ = token;
        model_.ClearAway();
        return true;
    }
    if (!level2_)
        return false;
    if (IsCommand(text, Level2::StateEnd))
        model_.ClaimSeatsOf(name_);
    else if (IsCommand(text, Command::Away))
        model_.SetAway(NameField(text, Layout::AwayName), true);
    else if (IsCommand(text, Command::Back))
        model_.SetAway(NameField(text, Layout::AwayName), false);
    else if (IsCommand(text, Command::Judge))
        model_.ApplyJudgement(text);
    else
        return false;
    return true;
}

TDesktopStandIn::TOutcome TDesktopStandIn::Take(int seat)
{
    const std::optional<AnsiString>& occupant = model_.Table().Occupants[static_cast<std::size_t>(seat)];
    if (occupant && occupant->empty()) {
        model_.SetOwnSeat(seat, true);
        return Sent(AnsiString(Command::Take) + " " + std::to_string(seat) + " " + name_);
    }
    if (occupant == name_) {
        model_.SetOwnSeat(seat, false);
        return Sent(AnsiString(Command::Leave) + " " + std::to_string(seat));
    }
    return Refused("seatTaken");
}

TDesktopStandIn::TOutcome TDesktopStandIn::FieldToHand(int seat)
{
    if (model_.FieldCount() == 0)
        return Refused("noFieldCard");
    return Sent(AnsiString(Command::B2T) + " " + std::to_string(seat) + " " + name_);
}

TDesktopStandIn::TOutcome TDesktopStandIn::HandToPile(int seat)
{
    if (model_.Table().Hands[static_cast<std::size_t>(seat)] == 0)
        return Refused("noHandCard");
    return Sent(AnsiString(Command::T2Y) + " " + std::to_string(seat) + " " + name_);
}

TDesktopStandIn::TOutcome TDesktopStandIn::FieldToPile()
{
    if (model_.FieldCount() == 0)
        return Refused("noFieldCardToReturn");
    return Sent(AnsiString(Command::B2Y));
}

TDesktopStandIn::TOutcome TDesktopStandIn::Draw()
{
    if (model_.FieldCount() >= TTableModel::SlotCount || model_.Table().Pile.value_or(54) <= 0)
        return Refused("cannotDraw");
    return Sent(AnsiString(Command::Draw) + " " + name_);
}

TDesktopStandIn::TOutcome TDesktopStandIn::Leave()
{
    TOutcome outcome = Sent(AnsiString(Command::Left) + " " + name_);
    for (int s = 0; s < TTableModel::SeatCount; ++s) {
        if (!model_.OwnsSeat(s))
            continue;
        outcome.Sent.push_back(AnsiString(Command::FLeave) + " " + std::to_string(s));
        model_.SetOwnSeat(s, false);
    }
    return outcome;
}

void TDesktopStandIn::StartOver()
{
    level2_ = false;
    token_.clear();
    model_.Hide();
    model_.ClearAway();
}
