#include "client/table_model.h"

#include <algorithm>
#include <utility>

#include "platform/convert.h"
#include "platform/cp932.h"
#include "protocol/card_number_text.h"
#include "protocol/command_layout.h"
#include "protocol/command_words.h"
#include "protocol/fields.h"

using namespace Protocol;

namespace {

// The pile count where the pile is not known yet: a draw counts down from a
// full pile, a card put back counts up from none.
constexpr int FullPile = 54;

// The seat number in the one-byte field at position: a digit's value, 0 to 9,
// or EConvertError when the byte is not a digit.
int SeatNumber(std::string_view text, int position)
{
    return StrToInt(Cp932::Decode(Field(text, position, 1)));
}

bool OnTable(int seat)
{
    return seat >= 0 && seat < TTableModel::SeatCount;
}

// True when the field is a digit that names no seat of the table.
bool NamesSeatOffTable(std::string_view text, int position)
{
    const AnsiString digit = Field(text, position, 1);
    return digit >= "6" && digit <= "9";
}

// The first two digits of the card field: "99" of "999" is no card.
const AnsiString NoCardDigits = CardNumberText(NoCard).substr(0, Layout::CardDigits);

}  // namespace

bool TTableModel::IsTableCommand(std::string_view text)
{
    for (std::string_view word : {Command::Take, Command::Leave, Command::FLeave, Command::Draw, Command::B2T,
                                  Command::T2Y, Command::B2Y, Command::Hit, Command::Init, Command::Set})
        if (IsCommand(text, word))
            return true;
    return false;
}

void TTableModel::Apply(std::string_view text)
{
    if (IsCommand(text, Command::Take))
        Take(text);
    else if (IsCommand(text, Command::Leave) || IsCommand(text, Command::FLeave))
        Leave(text);
    else if (IsCommand(text, Command::Draw))
        Draw(text);
    else if (IsCommand(text, Command::B2T))
        FieldToHand(text);
    else if (IsCommand(text, Command::T2Y))
        HandToPile(text);
    else if (IsCommand(text, Command::B2Y))
        FieldToPile();
    else if (IsCommand(text, Command::Hit))
        hitShown_ = true;
    else if (IsCommand(text, Command::Init))
        NewGame();
    else if (IsCommand(text, Command::Set))
        SetTarget(text);
}

void TTableModel::Take(std::string_view text)
{
    const int seat = SeatNumber(text, Layout::TakeSeat);
    if (OnTable(seat))
        table_.Occupants[static_cast<std::size_t>(seat)] = NameField(text, Layout::TakeName);
}

void TTableModel::Leave(std::string_view text)
{
    const int seat = SeatNumber(text, Layout::LeaveSeat);
    if (OnTable(seat))
        table_.Occupants[static_cast<std::size_t>(seat)] = AnsiString();
}

void TTableModel::Draw(std::string_view text)
{
    const AnsiString card = Field(text, Layout::DrawCard, Layout::CardDigits);
    if (card == NoCardDigits) {
        table_.Pile = 0;
        return;
    }
    if (FieldCount() < SlotCount)
        table_.Field.push_back({card, NameField(text, Layout::DrawName)});
    table_.Pile = table_.Pile.value_or(FullPile) - 1;
    judgement_.reset();
}

void TTableModel::TakeLastFieldCard()
{
    if (table_.Field.empty())
        return;
    table_.Field.pop_back();
    judgement_.reset();
}

// In "/B2T" and "/T2Y" the seat is read after the field or the pile has
// changed, so a seat that is not a number leaves that change in place.
void TTableModel::FieldToHand(std::string_view text)
{
    if (NamesSeatOffTable(text, Layout::MoveSeat))
        return;
    TakeLastFieldCard();
    ++table_.Hands[static_cast<std::size_t>(SeatNumber(text, Layout::MoveSeat))];
}

void TTableModel::HandToPile(std::string_view text)
{
    if (NamesSeatOffTable(text, Layout::MoveSeat))
        return;
    table_.Pile = table_.Pile.value_or(0) + 1;
    --table_.Hands[static_cast<std::size_t>(SeatNumber(text, Layout::MoveSeat))];
}

void TTableModel::FieldToPile()
{
    TakeLastFieldCard();
    table_.Pile = table_.Pile.value_or(0) + 1;
}

void TTableModel::NewGame()
{
    table_.Shown = true;
    table_.Pile = FullPile;
    table_.Field.clear();
    table_.Occupants.fill(AnsiString());
    table_.Hands.fill(0);
    table_.Target.reset();
    table_.Setter.clear();
    ownSeats_.fill(false);
    judgement_.reset();
}

void TTableModel::SetTarget(std::string_view text)
{
    table_.Setter = NameField(text, Layout::SetName);
    table_.Target = FieldFrom(text, Layout::SetTarget);
    judgement_.reset();
}

void TTableModel::ClaimSeatsOf(const AnsiString& paddedName)
{
    for (int s = 0; s < SeatCount; ++s)
        if (table_.Occupants[static_cast<std::size_t>(s)] == paddedName)
            SetOwnSeat(s, true);
}

bool TTableModel::HoldsASeat() const
{
    return std::find(ownSeats_.begin(), ownSeats_.end(), true) != ownSeats_.end();
}

std::optional<int> TTableModel::FreeSeat() const
{
    for (int s = 0; s < SeatCount; ++s)
        if (table_.Occupants[static_cast<std::size_t>(s)].value_or(AnsiString()).empty())
            return s;
    return std::nullopt;
}

int TTableModel::EntriesOf(const AnsiString& paddedName) const
{
    return static_cast<int>(std::count(roster_.begin(), roster_.end(), paddedName));
}

void TTableModel::SetAwayCount(const AnsiString& paddedName, int count)
{
    if (count > 0)
        awayCounts_[paddedName] = count;
    else
        awayCounts_.erase(paddedName);
}

bool TTableModel::IsAway(const AnsiString& paddedName) const
{
    const auto found = awayCounts_.find(paddedName);
    return found != awayCounts_.end() && found->second >= EntriesOf(paddedName);
}

bool TTableModel::IsAwayEntry(std::size_t index) const
{
    if (index >= roster_.size())
        return false;
    const AnsiString& name = roster_[index];
    const auto earlier = std::count(roster_.begin(), roster_.begin() + static_cast<std::ptrdiff_t>(index), name);
    const auto found = awayCounts_.find(name);
    return found != awayCounts_.end() && earlier < found->second;
}

void TTableModel::SetAway(const AnsiString& paddedName, bool away)
{
    const auto found = awayCounts_.find(paddedName);
    const int count = (found == awayCounts_.end() ? 0 : found->second) + (away ? 1 : -1);
    SetAwayCount(paddedName, count);
}

void TTableModel::KeepAwayIn(const std::vector<AnsiString>& roster)
{
    const std::vector<AnsiString> before = std::exchange(roster_, roster);
    for (const auto& [name, count] : std::map<AnsiString, int>(awayCounts_)) {
        const int gone = std::max(0, static_cast<int>(std::count(before.begin(), before.end(), name)) - EntriesOf(name));
        SetAwayCount(name, std::min(count - gone, EntriesOf(name)));
    }
}
