#pragma once

#include <array>

namespace torvik {

// One resting state of a block at one running rate: port pre-voltages, port currents, capacitor
// states, and the output voltage they give.
template <int V, int I, int S>
struct OperatingPoint {
    std::array<double, V> p{};
    std::array<double, I> i{};
    std::array<double, S> x{};
    double y = 0.0;

    static constexpr int kTableValues = V + I + S;  // per entry of a model file's table, after the rate
};

} // namespace torvik
