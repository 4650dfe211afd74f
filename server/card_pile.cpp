#include "server/card_pile.h"

#include <cstdlib>
#include <ctime>
#include <utility>

#include "protocol/card_number_text.h"

TCardPile::TCardPile()
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
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
        std::swap(Cards[i], Cards[std::rand() % Count]);
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
