#pragma once

#include "processor/PrototypeFilters.h"

#include <array>

namespace torvik {

// The last N samples, oldest first, as one contiguous window: every sample is written twice, N
// apart, so no index arithmetic is needed in a dot product.
template <int N>
class SampleWindow {
public:
    void push(double x) {
        buffer_[next_] = x;
        buffer_[next_ + N] = x;
        next_ = next_ + 1 == N ? 0 : next_ + 1;
    }
    const double* oldestFirst() const { return &buffer_[next_]; }

private:
    std::array<double, 2 * N> buffer_{};
    int next_ = 0;
};

// Sum of a[k] * b[k] over n (a multiple of four) terms, in four interleaved partial sums.
inline double dotProduct(const double* a, const double* b, int n) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (int k = 0; k < n; k += 4) {
        s0 += a[k] * b[k];
        s1 += a[k + 1] * b[k + 1];
        s2 += a[k + 2] * b[k + 2];
        s3 += a[k + 3] * b[k + 3];
    }
    return (s0 + s1) + (s2 + s3);
}

// Polyphase interpolation by L with the prototype P scaled by L: after push(x[n]), the L calls of
// nextPhase() give y[nL + i] = L · sum_j P[i + L·j] · x[n − j], i = 0 … L − 1.
template <int L>
class Interpolator {
public:
    static constexpr int kTaps = 16 * L;

    Interpolator() {
        const auto& p = prototypeFilter(L);
        for (int i = 0; i < L; ++i)
            for (int m = 0; m < 16; ++m) rows_[i][m] = L * p[i + L * (15 - m)];
    }

    void push(double x) {
        history_.push(x);
        phase_ = 0;
    }

    double nextPhase() {
        const double y = dotProduct(rows_[phase_].data(), history_.oldestFirst(), 16);
        phase_ = phase_ + 1 == L ? 0 : phase_ + 1;
        return y;
    }

private:
    SampleWindow<16> history_;
    std::array<std::array<double, 16>, L> rows_{};
    int phase_ = 0;
};

// FIR low-pass with the prototype P, evaluated only for the samples kept (one in L):
// output() = sum_k P[k] · y[n − k] for the last sample pushed.
template <int L>
class Decimator {
public:
    static constexpr int kTaps = 16 * L;

    Decimator() {
        const auto& p = prototypeFilter(L);
        for (int m = 0; m < kTaps; ++m) taps_[m] = p[kTaps - 1 - m];
    }

    void push(double y) { history_.push(y); }
    double output() const { return dotProduct(taps_.data(), history_.oldestFirst(), kTaps); }

private:
    SampleWindow<kTaps> history_;
    std::array<double, kTaps> taps_{};
};

} // namespace torvik
