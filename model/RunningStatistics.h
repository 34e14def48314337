#pragma once

#include <cstdint>
#include <vector>

namespace torvik {

// Running sum and sum of squares of the last 20480 values pushed. The sums are updated
// incrementally and never recomputed from the window.
struct RunningStatistics {
    static constexpr std::int32_t kLength = 20480;

    std::int32_t length = kLength;
    std::vector<double> window = std::vector<double>(kLength, 0.0);
    double inverseLength = 1.0 / kLength;
    std::int32_t position = kLength - 1;  // the slot written last
    double sum = 0.0;
    double sumOfSquares = 0.0;

    void push(double value) {
        position = position + 1 == length ? 0 : position + 1;
        const double old = window[position];
        sum += value - old;
        sumOfSquares += value * value - old * old;
        window[position] = value;
    }
};

} // namespace torvik
