#pragma once

#include <algorithm>
#include <vector>

// The middle of the figures of several runs: one slow run on a shared machine does not move it.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}
