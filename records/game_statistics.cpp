#include "records/game_statistics.h"

#include <optional>

namespace Records {

std::map<AnsiString, THitCounts> HitCounts(const std::vector<TGameEvent>& events)
{
    std::map<AnsiString, THitCounts> counts;
    // The moment the present field and target first allowed a solution; a new
    // target, a take or a cleared field starts over.
    std::optional<std::int64_t> makeableSince;
    // The open first hit and its reaction time, until its answer is judged.
    std::optional<std::pair<AnsiString, std::optional<std::int64_t>>> openHit;
    for (const TGameEvent& event : events) {
        switch (event.Kind) {
        case EEventKind::Target:
        case EEventKind::Take:
        case EEventKind::Clear:
            makeableSince.reset();
            break;
        case EEventKind::Deal:
            if (event.Flag && !makeableSince)
                makeableSince = event.Ms;
            break;
        case EEventKind::Hit:
            if (event.Flag) {
                std::optional<std::int64_t> reaction;
                if (makeableSince)
                    reaction = event.Ms - *makeableSince;
                openHit.emplace(event.Player, reaction);
            }
            break;
        case EEventKind::Answer:
            if (event.Flag) {
                THitCounts& c = counts[event.Player];
                ++c.Correct;
                if (openHit && openHit->first == event.Player && openHit->second)
                    c.ReactionMs.push_back(*openHit->second);
            }
            openHit.reset();
            break;
        case EEventKind::Penalty:
            ++counts[event.Player].Wrong;
            if (openHit && openHit->first == event.Player)
                openHit.reset();
            break;
        case EEventKind::Join:
        case EEventKind::Leave:
            break;
        }
    }
    return counts;
}

}  // namespace Records
