#pragma once

// A set of rationals: an open-addressing hash table for membership, beside
// the values in insertion order for iteration.

#include <cstdint>
#include <vector>

#include "solver/rational.h"

namespace Solver {

class ValueSet {
public:
    ValueSet();

    // True when value was not in the set yet.
    bool Insert(Rational value);
    bool Contains(Rational value) const;
    const std::vector<Rational>& Values() const { return values_; }
    std::size_t Size() const { return values_.size(); }

private:
    std::size_t SlotOf(Rational value) const;
    void Grow();

    // A slot with denominator 0 is empty.
    std::vector<Rational> slots_;
    std::vector<Rational> values_;
};

}  // namespace Solver
