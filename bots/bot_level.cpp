#include "bots/bot_level.h"

namespace Bots {

const Level* FindLevel(int number)
{
    for (const Level& level : Levels)
        if (level.number == number)
            return &level;
    return nullptr;
}

}  // namespace Bots
