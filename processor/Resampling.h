#pragma once

#include "processor/PrototypeFilters.h"

#include <array>
#include <cstdint>
#include <vector>

namespace torvik {

// Polyphase interpolation by L with the prototype scaled by L. Each push is followed by exactly L
// calls of nextPhase(). The history ring is never rotated: every (ring position, phase) pair has its
// own pre-rotated coefficient row, so a phase is one plain 16-term dot product.
template <int L>
class Interpolator {
public:
    static constexpr int kTaps = 16 * L;

    Interpolator() : coefficients_(static_cast<std::size_t>(kTaps) * 16) {
        const std::vector<double>& p = prototypeFilter(L);
        for (int i = 0; i < L; ++i)
            for (int j = 0; j < 16; ++j)
                for (int m = 0; m < 16; ++m)
                    coefficients_[(i + L * j) * 16 + (15 - m)] = L * p[i + L * ((j + m) % 16)];
    }

    void push(double x) {
        history_[writeIndex_] = x;
        writeIndex_ = static_cast<std::uint16_t>((writeIndex_ + 1) & 15);
    }

    double nextPhase() {
        phaseRow_ = static_cast<std::uint16_t>((phaseRow_ + 1) % kTaps);
        const double* row = &coefficients_[static_cast<std::size_t>(phaseRow_) * 16];
        double sum = 0.0;
        for (int k = 0; k < 16; ++k) sum += row[k] * history_[k];
        return sum;
    }

private:
    std::uint16_t writeIndex_ = 15;
    std::uint16_t phaseRow_ = kTaps - 1;
    std::array<double, 16> history_{};
    std::vector<double> coefficients_;
};

// FIR low-pass with the prototype, evaluated only for the samples kept (one in L). As above, one
// pre-rotated row per ring position replaces any index arithmetic in the dot product.
template <int L>
class Decimator {
public:
    static constexpr int kTaps = 16 * L;

    Decimator() : history_(kTaps, 0.0), coefficients_(static_cast<std::size_t>(kTaps) * kTaps) {
        const std::vector<double>& p = prototypeFilter(L);
        for (int i = 0; i < kTaps; ++i)
            for (int m = 0; m < kTaps; ++m)
                coefficients_[static_cast<std::size_t>(i) * kTaps + (kTaps - 1 - m)] = p[(i + m) % kTaps];
    }

    void push(double y) {
        history_[writeIndex_] = y;
        writeIndex_ = static_cast<std::uint16_t>((writeIndex_ + 1) % kTaps);
        readRow_ = static_cast<std::uint16_t>((readRow_ + 1) % kTaps);
    }

    double output() const {
        const double* row = &coefficients_[static_cast<std::size_t>(readRow_) * kTaps];
        const double* h = history_.data();
        double sum = 0.0;
        for (int k = 0; k < kTaps; ++k) sum += row[k] * h[k];
        return sum;
    }

private:
    std::uint16_t writeIndex_ = kTaps - 1;
    std::uint16_t readRow_ = kTaps - 1;
    std::vector<double> history_;
    std::vector<double> coefficients_;
};

} // namespace torvik
