#pragma once

// A multiset of card values 1..13 packed into one integer: four bits per
// value hold how many times it occurs (at most 15), value v in bits
// 4(v-1)..4v-1. Two multisets with the same sorted values have the same key,
// and a sub-multiset's complement is a plain subtraction of keys.

#include <array>
#include <cstdint>

#include "solver/card_values.h"

namespace Solver {

using MultisetKey = std::uint64_t;

inline MultisetKey KeyOfValue(int value)
{
    return MultisetKey{1} << (4 * (value - MinCardValue));
}

inline int CountOf(MultisetKey key, int value)
{
    return static_cast<int>((key >> (4 * (value - MinCardValue))) & 0xF);
}

int SizeOf(MultisetKey key);

// Calls visit(part) for every sub-multiset of key, the empty one and key
// itself included, until visit returns true; returns whether one did.
template <typename Visit>
bool ForEachPart(MultisetKey key, Visit&& visit)
{
    std::array<int, MaxCardValue> values{};
    std::array<int, MaxCardValue> counts{};
    std::array<int, MaxCardValue> taken{};
    int distinct = 0;
    for (int value = MinCardValue; value <= MaxCardValue; ++value)
        if (const int count = CountOf(key, value); count > 0) {
            values[distinct] = value;
            counts[distinct++] = count;
        }
    MultisetKey part = 0;
    for (;;) {
        if (visit(part))
            return true;
        // The next combination of taken counts, as a mixed-radix counter.
        int i = 0;
        while (i < distinct && taken[i] == counts[i]) {
            part -= KeyOfValue(values[i]) * static_cast<MultisetKey>(taken[i]);
            taken[i++] = 0;
        }
        if (i == distinct)
            return false;
        ++taken[i];
        part += KeyOfValue(values[i]);
    }
}

}  // namespace Solver
