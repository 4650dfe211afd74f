#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace load {

// The median of some figures (the upper one of an even count), and the median
// of one figure over several results.
inline double MedianOf(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// The q-quantile (0 to 1) of latencies in ns, in microseconds; 0 for none.
inline double PercentileMicroseconds(std::vector<std::int64_t>& values, double q)
{
    if (values.empty())
        return 0;
    const auto at = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return static_cast<double>(values[at]) / 1000.0;
}

template <typename Result, typename Figure>
double MedianOf(const std::vector<Result>& results, Figure figure)
{
    std::vector<double> values;
    for (const Result& result : results)
        values.push_back(figure(result));
    return MedianOf(std::move(values));
}

}  // namespace load
