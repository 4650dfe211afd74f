#include "reference_values.h"

#include <numeric>

namespace reference {
namespace {

constexpr std::size_t MaxNumbers = 5;

Fraction MakeFraction(long long num, long long den)
{
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const long long g = std::gcd(num, den);
    return {num / g, den / g};
}

// Every value made along the way is an expression over a subset; what is left
// once one value remains used every number. values[0..count) are the values
// still to combine.
void Reach(const Fraction* values, std::size_t count, Reachable& out)
{
    if (count == 1) {
        out.allCards.insert(values[0]);
        return;
    }
    Fraction rest[MaxNumbers];
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t j = i + 1; j < count; ++j) {
            std::size_t kept = 0;
            for (std::size_t k = 0; k < count; ++k)
                if (k != i && k != j)
                    rest[kept++] = values[k];
            const auto [a, b] = values[i];
            const auto [c, d] = values[j];
            Fraction made[6] = {MakeFraction(a * d + c * b, b * d), MakeFraction(a * d - c * b, b * d),
                                MakeFraction(c * b - a * d, b * d), MakeFraction(a * c, b * d)};
            std::size_t madeCount = 4;
            if (c != 0)
                made[madeCount++] = MakeFraction(a * d, b * c);
            if (a != 0)
                made[madeCount++] = MakeFraction(c * b, d * a);
            for (std::size_t m = 0; m < madeCount; ++m) {
                out.anySubset.insert(made[m]);
                rest[kept] = made[m];
                Reach(rest, kept + 1, out);
            }
        }
}

}  // namespace

Reachable ReachableValues(const std::vector<int>& numbers)
{
    Fraction values[MaxNumbers];
    Reachable out;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        values[i] = {numbers[i], 1};
        out.anySubset.insert(values[i]);
    }
    Reach(values, numbers.size(), out);
    return out;
}

}  // namespace reference
