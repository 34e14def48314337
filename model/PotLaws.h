#pragma once

#include <cmath>

namespace torvik {

// Audio-taper gain pot of 999 999 ohm over 17 positions.
struct GainPot {
    static constexpr unsigned kPositions = 17;
    static double wiperToGround(unsigned k) { return (std::pow(17.0, k * 0.0625) - 1.0) / 16.0 * 993945.0 + 6054.0; }
    static double topToWiper(unsigned k) { return 999999.0 - wiperToGround(k); }
};

// Tone stack pots: one combined index t = 225·treble + 15·bass + middle, each 0..14.
struct TonePots {
    static constexpr unsigned kSteps = 15;
    static constexpr unsigned kPositions = kSteps * kSteps * kSteps;
    static constexpr double kStep = 0.07142857142857142;  // 1/14

    double trebleUpper, trebleLower, bass, middleUpper, middleLower;

    static unsigned index(unsigned treble, unsigned bass, unsigned middle) { return 225 * treble + 15 * bass + middle; }

    static TonePots fromIndex(unsigned t) {
        const unsigned T = t / 225, Bs = (t / 15) % 15, M = t % 15;
        TonePots pots{};
        pots.trebleLower = (T * kStep) * 219999.0 + 1.0;
        pots.trebleUpper = 220000.0 - pots.trebleLower;
        pots.bass = (std::pow(17.0, Bs * kStep) - 1.0) / 16.0 * 999999.0 + 1.0;
        pots.middleLower = (M * kStep) * 21999.0 + 1.0;
        pots.middleUpper = 22000.0 - pots.middleLower;
        return pots;
    }
};

} // namespace torvik
