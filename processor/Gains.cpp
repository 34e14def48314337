#include "processor/Gains.h"

#include "model/PotLaws.h"

#include <algorithm>
#include <cmath>

namespace torvik {

namespace {
// Levels and positions are clamped when stored; clamping again here keeps a table index or a
// position in range whatever reaches these functions.
unsigned position(float v, unsigned last) {
    if (!(v > 0.0f)) return 0;
    return std::min(static_cast<unsigned>(std::min(v, static_cast<float>(last))), last);
}
} // namespace

const std::array<float, 50>& outputGainTable() {
    static const std::array<float, 50> table = [] {
        std::array<float, 50> t{};
        for (int i = 0; i < 50; ++i) t[i] = static_cast<float>(std::pow(10.0, (0.46 * i - 6.54) / 20.0));
        return t;
    }();
    return table;
}

double inputGainFor(float inputLevel) {
    const float level = std::clamp(std::isnan(inputLevel) ? 0.0f : inputLevel, 0.0f, 49.0f);
    return 3.0 * static_cast<double>(level / 49.0f);
}

double outputGainFor(float outputLevel) {
    return static_cast<double>(outputGainTable()[position(outputLevel, 49)]) / 345.0;
}

unsigned toneIndexFor(float treble, float middle, float bass) {
    return TonePots::index(position(treble, 14), position(bass, 14), position(middle, 14));
}

} // namespace torvik
