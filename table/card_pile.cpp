#include "table/card_pile.h"

#include <utility>

#include "protocol/card_number_text.h"
#include "table/system_random.h"

namespace {

std::mt19937& DefaultEngine()
{
    static std::mt19937 engine{SystemRandomSeed()};
    return engine;
}

}  // namespace

TCardPile::TCardPile() : Engine(&DefaultEngine())
{
    Reset();
}

void TCardPile::Reset()
{
    for (int i = 0; i < Capacity; ++i)
        Cards[i] = i + 1;
    Count = Capacity;
    Shuffle();
}

void TCardPile::Clear()
{
    Count = 0;
}

void TCardPile::Shuffle()
{
    for (int i = 0; i < Count; ++i)
        std::swap(Cards[i], Cards[(*Engine)() % static_cast<std::uint32_t>(Count)]);
}

int TCardPile::Pop()
{
    if (Count <= 0)
        return Protocol::NoCard;
    return Cards[--Count];
}

void TCardPile::Push(int value)
{
    if (Count >= Capacity)
        return;
    Cards[Count++] = value;
}

void TCardPile::PushAndShuffle(int value)
{
    Push(value);
    Shuffle();
}
