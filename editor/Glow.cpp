#include "editor/Glow.h"

#include <cmath>

namespace torvik::glow {

namespace {
constexpr double kFullScaleMean = 0.007;  // amperes
constexpr int kSteps = 50;
} // namespace

const std::array<float, 50>& table() {
    static const std::array<float, 50> entries = [] {
        std::array<float, 50> t{};
        t[0] = 0.0f;
        for (int i = 1; i < 50; ++i)
            t[i] = static_cast<float>(std::round(std::exp(2.5 * (i / 49.0 - 1.0)) * 1.0e6) / 1.0e6);
        return t;
    }();
    return entries;
}

Level levelOf(const BlockLevels& levels) {
    const double mean = levels.inverseLength * levels.sum;
    return {mean, std::sqrt(std::fabs(levels.inverseLength * levels.sumOfSquares - mean * mean))};
}

namespace {

// k from a level rounded to single precision and the mean, before clamping.
int indexFromLevel(double level, double mean, double deviation) {
    const double headroom = kFullScaleMean - mean;
    if (headroom <= 0.0) return deviation > 0.0 ? kSteps - 1 : 0;
    const float k = static_cast<float>((static_cast<double>(static_cast<float>(level)) - mean) * kSteps / headroom);
    if (std::isnan(k) || k < 0.0f) return 0;
    if (k > static_cast<float>(kSteps - 1)) return kSteps - 1;
    return static_cast<int>(k);
}

} // namespace

int indexFor(const Level& level) {
    return indexFromLevel(4.0 * level.deviation + level.mean, level.mean, level.deviation);
}

int indexFor(const Level& chain0, const Level& chain1, bool stereo) {
    const Level quiet{};
    const Level& second = stereo ? chain1 : quiet;
    const double level0 = 4.0 * chain0.deviation + chain0.mean;
    const double level1 = 4.0 * second.deviation + second.mean;
    return level0 > level1 ? indexFor(chain0) : indexFor(second);
}

float viewValueFor(int index) {
    if (index < 0) index = 0;
    if (index > kSteps - 1) index = kSteps - 1;
    return static_cast<float>(table()[static_cast<std::size_t>(index)] * 24.0);
}

} // namespace torvik::glow
