#pragma once

// A small brute-force reference for the solver's tests: every value an
// expression over a list of numbers can take, found the plain way (pick two,
// combine them every way, recurse). Plain long long fractions suffice, as the
// tests give it at most five numbers of at most 13.

#include <cstddef>
#include <unordered_set>
#include <utility>
#include <vector>

namespace reference {

using Fraction = std::pair<long long, long long>;  // lowest terms, denominator > 0

struct FractionHash {
    std::size_t operator()(const Fraction& f) const { return std::hash<long long>()(f.first * 1000003 + f.second); }
};
using Fractions = std::unordered_set<Fraction, FractionHash>;

struct Reachable {
    Fractions allCards;   // expressions using every number exactly once
    Fractions anySubset;  // expressions over any non-empty subset
};

Reachable ReachableValues(const std::vector<int>& numbers);

}  // namespace reference
