#pragma once

// A multiset of card values packed into one integer: four bits per value
// hold how many times it occurs (at most 15), value v (1..13) in bits
// 4(v-1)..4v-1 and the joker, a card of any one value 1..13, in bits 52..55.
// Two multisets with the same sorted values have the same key, and a
// sub-multiset's complement is a plain subtraction of keys.

#include <array>
#include <cstdint>

#include "solver/card_values.h"

namespace Solver {

using MultisetKey = std::uint64_t;

inline constexpr int KeySlots = MaxCardValue + 1;  // the 13 values and the joker

inline int SlotOf(int value)
{
    return value == JokerValue ? MaxCardValue : value - MinCardValue;
}

inline MultisetKey KeyOfValue(int value)
{
    return MultisetKey{1} << (4 * SlotOf(value));
}

inline int CountOf(MultisetKey key, int value)
{
    return static_cast<int>((key >> (4 * SlotOf(value))) & 0xF);
}

int SizeOf(MultisetKey key);

// Calls visit(part) for every sub-multiset of key, the empty one and key
// itself included, until visit returns true; returns whether one did.
template <typename Visit>
bool ForEachPart(MultisetKey key, Visit&& visit)
{
    std::array<MultisetKey, KeySlots> units{};
    std::array<int, KeySlots> counts{};
    std::array<int, KeySlots> taken{};
    int distinct = 0;
    for (int slot = 0; slot < KeySlots; ++slot)
        if (const int count = static_cast<int>((key >> (4 * slot)) & 0xF); count > 0) {
            units[distinct] = MultisetKey{1} << (4 * slot);
            counts[distinct++] = count;
        }
    MultisetKey part = 0;
    for (;;) {
        if (visit(part))
            return true;
        // The next combination of taken counts, as a mixed-radix counter.
        int i = 0;
        while (i < distinct && taken[i] == counts[i]) {
            part -= units[i] * static_cast<MultisetKey>(taken[i]);
            taken[i++] = 0;
        }
        if (i == distinct)
            return false;
        ++taken[i];
        part += units[i];
    }
}

}  // namespace Solver
