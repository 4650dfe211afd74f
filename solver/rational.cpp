#include "solver/rational.h"

#include <limits>
#include <numeric>

namespace Solver {
namespace {

using Wide = __int128;
constexpr std::int64_t Largest = std::numeric_limits<std::int64_t>::max();

Wide WideGcd(Wide a, Wide b)
{
    if (a < 0)
        a = -a;
    if (b < 0)
        b = -b;
    while (b != 0) {
        const Wide r = a % b;
        a = b;
        b = r;
    }
    return a;
}

bool FitsIn64(Wide n)
{
    return n <= Largest && n >= -Largest;
}

// num/den reduced; none when den is 0 or a term does not fit in 64 bits
// (the numerator kept within -Largest..Largest so that it can be negated).
std::optional<Rational> Reduce(Wide num, Wide den)
{
    if (den == 0)
        return std::nullopt;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    if (FitsIn64(num) && den <= Largest) {
        // The common case, in 64-bit arithmetic: 128-bit division is slow.
        auto n = static_cast<std::int64_t>(num);
        auto d = static_cast<std::int64_t>(den);
        if (d != 1) {
            const std::int64_t g = std::gcd(n, d);
            n /= g;
            d /= g;
        }
        return Rational{n, d};
    }
    const Wide g = WideGcd(num, den);
    num /= g;
    den /= g;
    if (!FitsIn64(num) || den > Largest)
        return std::nullopt;
    return Rational{static_cast<std::int64_t>(num), static_cast<std::int64_t>(den)};
}

}  // namespace

std::string RationalText(Rational r)
{
    std::string text = std::to_string(r.num);
    if (r.den != 1) {
        text += '/';
        text += std::to_string(r.den);
    }
    return text;
}

bool operator==(Rational a, Rational b)
{
    return a.num == b.num && a.den == b.den;
}

std::optional<Rational> MakeRational(std::int64_t num, std::int64_t den)
{
    return Reduce(num, den);
}

std::optional<Rational> Add(Rational a, Rational b)
{
    if (a.den == 1 && b.den == 1) {
        std::int64_t sum = 0;
        if (__builtin_add_overflow(a.num, b.num, &sum) || sum == -Largest - 1)
            return std::nullopt;
        return Integer(sum);
    }
    return Reduce(Wide{a.num} * b.den + Wide{b.num} * a.den, Wide{a.den} * b.den);
}

std::optional<Rational> Subtract(Rational a, Rational b)
{
    return Add(a, Rational{-b.num, b.den});
}

std::optional<Rational> Multiply(Rational a, Rational b)
{
    if (a.den == 1 && b.den == 1) {
        std::int64_t product = 0;
        if (__builtin_mul_overflow(a.num, b.num, &product) || product == -Largest - 1)
            return std::nullopt;
        return Integer(product);
    }
    return Reduce(Wide{a.num} * b.num, Wide{a.den} * b.den);
}

std::optional<Rational> Divide(Rational a, Rational b)
{
    return Reduce(Wide{a.num} * b.den, Wide{a.den} * b.num);
}

std::uint64_t Hash(Rational r)
{
    std::uint64_t h = static_cast<std::uint64_t>(r.num) * 0x9E3779B97F4A7C15ull
                      ^ static_cast<std::uint64_t>(r.den) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 32);
}

}  // namespace Solver
