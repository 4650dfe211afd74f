#pragma once

#include <vector>

#include "platform/ansi_string.h"
#include "records/game_record.h"

namespace Records {

// Places for hands of the given sizes: 1 for the most cards, and players with
// equal cards share a place (3, 5, 5, 0 cards -> places 3, 1, 1, 4).
std::vector<int> PlacesForCards(const std::vector<int>& cards);

struct TStanding {
    AnsiString Name;
    int Cards = 0;
    int Place = 0;
    bool operator==(const TStanding&) const = default;
};

// Plays a game's events again from an empty table: a join seats a player with
// an empty hand, a take adds the field's cards, a penalty returns one card
// when the hand holds any, a leave forfeits the hand. Every player who sat
// down is in the standings, best first, ties in the order they first sat.
std::vector<TStanding> ReplayStandings(const std::vector<TGameEvent>& events);

}  // namespace Records
