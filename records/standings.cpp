#include "records/standings.h"

#include <algorithm>

namespace Records {

std::vector<int> PlacesForCards(const std::vector<int>& cards)
{
    std::vector<int> places;
    places.reserve(cards.size());
    for (int mine : cards)
        places.push_back(1 + static_cast<int>(std::count_if(cards.begin(), cards.end(), [mine](int other) {
                             return other > mine;
                         })));
    return places;
}

std::vector<TStanding> ReplayStandings(const std::vector<TGameEvent>& events)
{
    std::vector<TStanding> standings;
    auto hand = [&standings](const AnsiString& name) -> TStanding* {
        for (TStanding& s : standings)
            if (s.Name == name)
                return &s;
        return nullptr;
    };
    for (const TGameEvent& event : events) {
        TStanding* player = hand(event.Player);
        switch (event.Kind) {
        case EEventKind::Join:
            if (player)
                player->Cards = 0;
            else
                standings.push_back({event.Player, 0, 0});
            break;
        case EEventKind::Leave:
            if (player)
                player->Cards = 0;
            break;
        case EEventKind::Take:
            if (player)
                player->Cards += event.Number;
            break;
        case EEventKind::Penalty:
            if (player && player->Cards > 0)
                --player->Cards;
            break;
        default:
            break;
        }
    }
    std::vector<int> cards;
    for (const TStanding& s : standings)
        cards.push_back(s.Cards);
    const std::vector<int> places = PlacesForCards(cards);
    for (std::size_t i = 0; i < standings.size(); ++i)
        standings[i].Place = places[i];
    std::stable_sort(standings.begin(), standings.end(),
                     [](const TStanding& a, const TStanding& b) { return a.Place < b.Place; });
    return standings;
}

}  // namespace Records
