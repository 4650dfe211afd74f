#include "table/table_record.h"

#include "protocol/card_number_text.h"
#include "protocol/command_layout.h"
#include "protocol/command_words.h"
#include "protocol/padded_name.h"

using namespace Protocol;

void TTableRecord::NewGame()
{
    GameStarted = true;
    Occupants = {};
    Drawers.clear();
    SetText.clear();
}

void TTableRecord::Take(std::string_view text)
{
    if (const auto seat = SeatField(text, Layout::TakeSeat))
        Occupants[static_cast<std::size_t>(*seat)] = NameField(text, Layout::TakeName);
}

void TTableRecord::Leave(std::string_view text)
{
    if (const auto seat = SeatField(text, Layout::LeaveSeat))
        Occupants[static_cast<std::size_t>(*seat)].clear();
}

void TTableRecord::CardDrawn(std::string_view drawText)
{
    Drawers.push_back(PaddedName(NameField(drawText, Layout::DrawName)));
}

void TTableRecord::FieldCardTaken()
{
    if (!Drawers.empty())
        Drawers.pop_back();
}

void TTableRecord::Set(std::string_view text)
{
    SetText = AnsiString(text);
}

std::vector<int> TTableRecord::FreeSeatsOf(std::string_view name)
{
    std::vector<int> freed;
    for (int s = 0; s < SeatCount; ++s) {
        AnsiString& occupant = Occupants[static_cast<std::size_t>(s)];
        if (!occupant.empty() && occupant == name) {
            occupant.clear();
            freed.push_back(s);
        }
    }
    return freed;
}

std::vector<AnsiString> TTableRecord::Rebuild(const TCardPile& field, const TCardPile (&hands)[SeatCount]) const
{
    std::vector<AnsiString> commands;
    if (!GameStarted)
        return commands;
    commands.emplace_back(Command::Init);
    for (int s = 0; s < SeatCount; ++s)
        if (!Occupants[static_cast<std::size_t>(s)].empty())
            commands.push_back(AnsiString(Command::Take) + " " + std::to_string(s) + " " +
                               Occupants[static_cast<std::size_t>(s)]);
    // A hand card reaches a client's hand the way it reached the others':
    // drawn onto the field, then taken into the seat.
    for (int s = 0; s < SeatCount; ++s) {
        const AnsiString name = PaddedName(Occupants[static_cast<std::size_t>(s)]);
        for (int i = 0; i < hands[s].Count; ++i) {
            commands.push_back(AnsiString(Command::Draw) + " " + name + " " + CardNumberText(hands[s].Cards[i]));
            commands.push_back(AnsiString(Command::B2T) + " " + std::to_string(s) + " " + name);
        }
    }
    for (int i = 0; i < field.Count; ++i) {
        const AnsiString drawer =
            static_cast<std::size_t>(i) < Drawers.size() ? Drawers[static_cast<std::size_t>(i)] : PaddedName("");
        commands.push_back(AnsiString(Command::Draw) + " " + drawer + " " + CardNumberText(field.Cards[i]));
    }
    if (!SetText.empty())
        commands.push_back(SetText);
    return commands;
}
