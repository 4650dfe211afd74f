#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "platform/ansi_string.h"
#include "table/card_pile.h"

// What the server keeps of the table beside the cards, so that it can show a
// player who joins during a game the table everyone else sees: who sits where,
// who drew each field card, the target as last set, and whether a game has
// started. It follows the relayed commands as every client does.
class TTableRecord {
public:
    static constexpr int SeatCount = 6;
    // The field slots every client has.
    static constexpr int FieldSlots = 12;

    void NewGame();
    // "/take", "/leave" and "/fleav" (relayed whatever their seat byte: a
    // seat outside the table changes nothing here, as at the clients).
    void Take(std::string_view text);
    void Leave(std::string_view text);
    // A card went onto the field, or the top field card left it.
    void CardDrawn(std::string_view drawText);
    void FieldCardTaken();
    void Set(std::string_view text);
    // Frees every seat held by name (byte for byte); returns the seats freed, in order.
    std::vector<int> FreeSeatsOf(std::string_view name);

    // The level-1 commands that rebuild this table, with these piles, at a
    // client whose table is empty: none before the first new game.
    std::vector<AnsiString> Rebuild(const TCardPile& field, const TCardPile (&hands)[SeatCount]) const;

    bool GameStarted = false;
    // The occupant's padded name; empty for a free seat.
    std::array<AnsiString, SeatCount> Occupants;
    // The drawer of each field card, oldest first.
    std::vector<AnsiString> Drawers;
    // The last "/set" text since the last "/init"; empty when none.
    AnsiString SetText;
};
