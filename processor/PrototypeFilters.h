#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace torvik {

// The symmetric low-pass FIR each oversampling factor L resamples with: 16·L taps, unit gain at DC
// (1.00058 for L = 2), pass band to 19 kHz at 44.1 kHz.

// L = 2: an equiripple design, first half of its 32 taps.
inline constexpr std::array<double, 16> kPrototype2FirstHalf = {
    -0.000324488879, -0.000595402031, 0.000547701551, 0.00316008064, 0.00315068499, -0.00381859206,
    -0.0122818742,   -0.00681193871,  0.017125072,    0.0334667675,  0.00589994015, -0.0568418205,
    -0.0791969225,   0.0162936635,    0.209751964,    0.370763004};

// Kaiser-windowed sinc of 16·L taps, cut-off (19000/44100)/L cycles per high-rate sample:
//   h[n] = 2fc·sinc(2fc(n − (N−1)/2)) · I0(β·√(1 − (2n/(N−1) − 1)²)) / I0(β),
// divided by the sum of the taps, each tap rounded to single precision. β = 4 gives L = 4's filter,
// β = 7 those of L = 8 and 16.
inline double besselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 500; ++k) {
        term *= 0.5 * x / k;
        const double t2 = term * term;
        sum += t2;
        if (t2 < sum * 1e-20) break;
    }
    return sum;
}

inline std::vector<double> kaiserPrototype(int factor, double beta) {
    const int n = 16 * factor;
    const double fc = (19000.0 / 44100.0) / factor;
    const double centre = (n - 1) / 2.0;
    const double windowScale = besselI0(beta);
    std::vector<double> taps(static_cast<std::size_t>(n));
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        const double x = 2.0 * fc * (k - centre);
        const double sinc = x == 0.0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
        const double r = 2.0 * k / (n - 1) - 1.0;
        const double window = besselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / windowScale;
        taps[k] = 2.0 * fc * sinc * window;
        sum += taps[k];
    }
    for (double& t : taps) t = static_cast<double>(static_cast<float>(t / sum));
    return taps;
}

// The prototype for factor 2, 4, 8 or 16 (any other factor gets an empty table). Built once.
inline const std::vector<double>& prototypeFilter(int factor) {
    static const std::vector<double> p2 = [] {
        std::vector<double> taps(32);
        for (std::size_t k = 0; k < 16; ++k)
            taps[k] = taps[31 - k] = static_cast<double>(static_cast<float>(kPrototype2FirstHalf[k]));
        return taps;
    }();
    static const std::vector<double> p4 = kaiserPrototype(4, 4.0);
    static const std::vector<double> p8 = kaiserPrototype(8, 7.0);
    static const std::vector<double> p16 = kaiserPrototype(16, 7.0);
    static const std::vector<double> none;
    switch (factor) {
    case 2: return p2;
    case 4: return p4;
    case 8: return p8;
    case 16: return p16;
    default: return none;
    }
}

} // namespace torvik
