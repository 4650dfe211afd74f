#pragma once

#include <algorithm>
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

template <typename Result, typename Figure>
double MedianOf(const std::vector<Result>& results, Figure figure)
{
    std::vector<double> values;
    for (const Result& result : results)
        values.push_back(figure(result));
    return MedianOf(std::move(values));
}

}  // namespace load
