#include "solver/value_set.h"

namespace Solver {
namespace {

constexpr Rational Empty{0, 0};
constexpr std::size_t InitialSlots = 16;

}  // namespace

ValueSet::ValueSet() : slots_(InitialSlots, Empty) {}

std::size_t ValueSet::SlotOf(Rational value) const
{
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = Hash(value) & mask;
    while (slots_[slot].den != 0 && !(slots_[slot] == value))
        slot = (slot + 1) & mask;
    return slot;
}

bool ValueSet::Contains(Rational value) const
{
    return slots_[SlotOf(value)].den != 0;
}

bool ValueSet::Insert(Rational value)
{
    const std::size_t slot = SlotOf(value);
    if (slots_[slot].den != 0)
        return false;
    slots_[slot] = value;
    values_.push_back(value);
    // At most half full, so that probes stay short.
    if (values_.size() * 2 > slots_.size())
        Grow();
    return true;
}

void ValueSet::Grow()
{
    slots_.assign(slots_.size() * 2, Empty);
    for (const Rational value : values_)
        slots_[SlotOf(value)] = value;
}

}  // namespace Solver
