#include "solver/search.h"

#include <bit>
#include <string>

namespace Solver {
namespace {

bool IsJoker(MultisetKey key)
{
    return key == KeyOfValue(JokerValue);
}

// The only value of a one-card multiset that is no joker.
int SingleValue(MultisetKey key)
{
    return std::countr_zero(key) / 4 + MinCardValue;
}

// Every value of key added up, a joker taken as 1: one value that key can
// always make, and never 0.
ExpressionText SumText(MultisetKey key)
{
    ExpressionText sum;
    for (int value = JokerValue; value <= MaxCardValue; ++value)
        for (int i = CountOf(key, value); i > 0; --i) {
            const ExpressionText card = NumberText(value == JokerValue ? MinCardValue : value);
            sum = sum.text.empty() ? card : Combine(sum, '+', card);
        }
    return sum;
}

// Whether value can be made from key at all. Every expression over values v
// has |numerator| + denominator at most the product of (v + 1): it holds for
// one value, and for a+b, a-b, a*b and a/b the new numerator and denominator
// add up to at most (Na + Da)(Nb + Db). A joker counts as 13.
bool WithinReach(MultisetKey key, Rational value)
{
    const std::uint64_t height = static_cast<std::uint64_t>(value.num < 0 ? -value.num : value.num)
                                 + static_cast<std::uint64_t>(value.den);
    std::uint64_t reach = 1;
    // Four bits a slot: values 1..13 in slots 0..12 (factor slot + 2), the joker in slot 13 (factor 14).
    for (std::uint64_t factor = 2; key != 0 && reach < height; key >>= 4, ++factor)
        for (int i = static_cast<int>(key & 0xF); i > 0 && reach < height; --i)
            if (__builtin_mul_overflow(reach, factor == MaxCardValue + 2 ? MaxCardValue + 1 : factor, &reach))
                return true;
    return height <= reach;
}

// The ways x from one side combines with a partner y from the other side to
// make wanted: x+y, x-y, y-x, x*y, x/y, y/x.
enum class Join { Sum, LeftMinus, RightMinus, Product, LeftOver, RightOver };
constexpr Join Joins[] = {Join::Sum, Join::LeftMinus, Join::RightMinus,
                          Join::Product, Join::LeftOver, Join::RightOver};

// The partner y that joined with x makes wanted; none when there is no such y
// or it does not fit. (x = 0 and wanted = 0 under a product takes any y: see
// the callers.)
std::optional<Rational> Partner(Join join, Rational x, Rational wanted)
{
    const bool xZero = x.num == 0;
    switch (join) {
    case Join::Sum: return Subtract(wanted, x);
    case Join::LeftMinus: return Subtract(x, wanted);
    case Join::RightMinus: return Add(wanted, x);
    case Join::Product: return xZero ? std::nullopt : Divide(wanted, x);
    case Join::LeftOver: return xZero || wanted.num == 0 ? std::nullopt : Divide(x, wanted);
    case Join::RightOver: return xZero ? std::nullopt : Multiply(wanted, x);
    }
    return std::nullopt;
}

ExpressionText Joined(Join join, const ExpressionText& x, const ExpressionText& y)
{
    switch (join) {
    case Join::Sum: return Combine(x, '+', y);
    case Join::LeftMinus: return Combine(x, '-', y);
    case Join::RightMinus: return Combine(y, '-', x);
    case Join::Product: return Combine(x, '*', y);
    case Join::LeftOver: return Combine(x, '/', y);
    case Join::RightOver: return Combine(y, '/', x);
    }
    return {};
}

// Calls visit(smaller, larger) once for every split of key into two non-empty
// parts, the part with fewer values first, until visit returns true.
template <typename Visit>
bool ForEachSplit(MultisetKey key, Visit&& visit)
{
    const int size = SizeOf(key);
    return ForEachPart(key, [&](MultisetKey part) {
        const MultisetKey rest = key - part;
        const int partSize = SizeOf(part);
        if (part == 0 || rest == 0)
            return false;
        // Each unordered split once: the smaller part, and of equal sizes the lower key.
        if (2 * partSize > size || (2 * partSize == size && part > rest))
            return false;
        return visit(part, rest);
    });
}

}  // namespace

int SizeOf(MultisetKey key)
{
    int size = 0;
    for (; key != 0; key >>= 4)
        size += static_cast<int>(key & 0xF);
    return size;
}

Search::Search(std::size_t valueBudget) : valueBudget_(valueBudget) {}

void Search::Tick()
{
    if ((++ticks_ & 0x3FF) == 0 && Clock::now() > deadline_)
        throw SearchExpired{};
}

const ValueSet& Search::Values(MultisetKey key)
{
    if (const auto found = memo_.find(key); found != memo_.end())
        return found->second;
    ValueSet values;
    if (IsJoker(key)) {
        for (int value = MinCardValue; value <= MaxCardValue; ++value)
            values.Insert(Integer(value));
    } else if (SizeOf(key) == 1) {
        values.Insert(Integer(SingleValue(key)));
    } else {
        ForEachSplit(key, [&](MultisetKey part, MultisetKey rest) {
            const ValueSet& left = Values(part);
            const ValueSet& right = Values(rest);
            for (const Rational a : left.Values())
                for (const Rational b : right.Values()) {
                    Tick();
                    for (const auto& made : {Add(a, b), Subtract(a, b), Subtract(b, a), Multiply(a, b),
                                             Divide(a, b), Divide(b, a)})
                        if (made)
                            values.Insert(*made);
                }
            return false;
        });
    }
    valuesHeld_ += values.Size();
    if (valuesHeld_ > valueBudget_)
        throw SearchExpired{};
    return memo_.emplace(key, std::move(values)).first->second;
}

bool Search::WorthWorkingOut(MultisetKey key)
{
    if (memo_.contains(key))
        return true;
    const int weight = SizeOf(key) + CountOf(key, JokerValue);
    if (weight <= ForwardLimit)
        return true;
    if (weight > ForwardLimitWhenBusy)
        return false;
    // The full set costs roughly four times more with each unit of weight.
    const int searches = ++searches_[key];
    return searches > BusyThreshold << (2 * (weight - ForwardLimit - 1));
}

std::optional<ExpressionText> Search::Find(MultisetKey key, Rational wanted)
{
    if (!WithinReach(key, wanted))
        return std::nullopt;
    if (WorthWorkingOut(key)) {
        if (!Values(key).Contains(wanted))
            return std::nullopt;
        return Explain(key, wanted);
    }
    std::optional<ExpressionText> found;
    ForEachSplit(key, [&](MultisetKey part, MultisetKey rest) {
        for (const Rational x : Values(part).Values()) {
            if (x.num == 0 && wanted.num == 0) {
                found = Combine(Explain(part, x), '*', SumText(rest));
                return true;
            }
            for (const Join join : Joins) {
                Tick();
                const std::optional<Rational> y = Partner(join, x, wanted);
                if (!y)
                    continue;
                if (std::optional<ExpressionText> other = Find(rest, *y)) {
                    found = Joined(join, Explain(part, x), *other);
                    return true;
                }
            }
        }
        return false;
    });
    return found;
}

ExpressionText Search::Explain(MultisetKey key, Rational value)
{
    if (IsJoker(key))  // value is the one the joker takes
        return NumberText(static_cast<int>(value.num));
    if (SizeOf(key) == 1)
        return NumberText(SingleValue(key));
    // Both parts of every split of key are memoised by now: value came from them.
    std::optional<ExpressionText> found;
    ForEachSplit(key, [&](MultisetKey part, MultisetKey rest) {
        const ValueSet& right = Values(rest);
        for (const Rational x : Values(part).Values()) {
            if (x.num == 0 && value.num == 0) {
                found = Combine(Explain(part, x), '*', SumText(rest));
                return true;
            }
            for (const Join join : Joins) {
                const std::optional<Rational> y = Partner(join, x, value);
                if (y && right.Contains(*y)) {
                    found = Joined(join, Explain(part, x), Explain(rest, *y));
                    return true;
                }
            }
        }
        return false;
    });
    return *found;
}

}  // namespace Solver
