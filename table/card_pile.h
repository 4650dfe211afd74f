#pragma once

#include <cstdint>
#include <random>

// One pile of cards: the deck, the field or a seat's hand. Entries are card
// numbers 1 to 54, bottom first; the top entry is Cards[Count - 1].
class TCardPile {
public:
    static constexpr int Capacity = 54;

    // Fills the pile with a full deck shuffled by the process's default
    // engine, a std::mt19937 seeded once from the system's random source.
    TCardPile();

    // A full deck, 1 to 54, shuffled.
    void Reset();
    // Empties the pile; the entries above Count are left as they were.
    void Clear();
    // Exchanges every position, bottom to top, with a position drawn from the
    // whole pile.
    void Shuffle();
    // Takes the top entry; an empty pile gives Protocol::NoCard (999) and
    // stays empty.
    int Pop();
    // Puts value on top. A full pile drops it, so no pile ever holds more
    // than Capacity entries.
    void Push(int value);
    void PushAndShuffle(int value);

    std::int32_t Cards[Capacity] = {};
    std::int32_t Count = 0;
    // The shuffle's random source; tests put in one of known seed.
    std::mt19937* Engine;
};
