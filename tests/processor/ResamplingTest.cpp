// The oversampling filters: the prototypes' taps and responses, and the polyphase interpolator
// and decimator built from them.
#include "processor/Resampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace torvik {
namespace {

const int kFactors[] = {2, 4, 8, 16};

// Gain relative to DC, in dB, at a frequency given as a fraction of the host rate.
double responseDb(const std::vector<double>& taps, int factor, double fractionOfHostRate) {
    const double w = 2.0 * M_PI * fractionOfHostRate / factor;
    std::complex<double> h = 0.0;
    double dc = 0.0;
    for (std::size_t k = 0; k < taps.size(); ++k) {
        h += taps[k] * std::polar(1.0, -w * static_cast<double>(k));
        dc += taps[k];
    }
    return 20.0 * std::log10(std::abs(h) / std::abs(dc));
}

TEST(PrototypeFilter, KaiserDesignReproducesTheGivenTapsExactly) {
    const double p4FirstHalf[32] = {
        0.000556544459, 0.00113876944, 0.00133133749, 0.000781989424, -0.000532473787, -0.00215225248,
        -0.00323369214, -0.00292382878, -0.000869607844, 0.00240190746, 0.00549547048, 0.00666035339,
        0.00465570902, -0.000417023781, -0.00678129727, -0.011463617, -0.0115350662, -0.00565419439,
        0.00481415913, 0.0157760475, 0.0217501819, 0.0182282105, 0.00414747698, -0.0166549142,
        -0.0358697847, -0.0431822538, -0.0300572533, 0.00654522283, 0.0620561242, 0.124816008,
        0.179280013, 0.210891739};
    const std::vector<double>& p4 = prototypeFilter(4);
    for (int k = 0; k < 32; ++k) {
        EXPECT_EQ(p4[k], static_cast<double>(static_cast<float>(p4FirstHalf[k]))) << k;
        EXPECT_EQ(p4[63 - k], p4[k]) << k;
    }

    struct Row { int factor; int index; double value; };
    const Row rows[] = {
        {8, 0, 1.43592988e-05},   {8, 1, 3.203385495e-05},  {8, 2, 5.441731264e-05},  {8, 3, 7.768100477e-05},
        {8, 4, 9.603303624e-05},  {8, 5, 0.0001023457517},  {8, 59, 0.06951334327},   {8, 60, 0.08341382444},
        {8, 61, 0.09483870119},   {8, 62, 0.1029592827},    {8, 63, 0.1071766019},
        {16, 0, 6.030235909e-06}, {16, 1, 9.950049389e-06}, {16, 2, 1.467495713e-05}, {16, 3, 2.008762385e-05},
        {16, 4, 2.600311018e-05}, {16, 5, 3.216767072e-05}, {16, 123, 0.0486043319},  {16, 124, 0.0506386124},
        {16, 125, 0.0521985367},  {16, 126, 0.0532550104},  {16, 127, 0.0537882522},
    };
    for (const Row& r : rows) {
        const std::vector<double>& p = prototypeFilter(r.factor);
        EXPECT_EQ(p[r.index], static_cast<double>(static_cast<float>(r.value))) << "P_" << r.factor << "[" << r.index << "]";
        EXPECT_EQ(p[p.size() - 1 - r.index], p[r.index]);
    }
}

TEST(PrototypeFilter, LengthSymmetryAndDcGain) {
    for (int factor : kFactors) {
        const std::vector<double>& p = prototypeFilter(factor);
        ASSERT_EQ(p.size(), static_cast<std::size_t>(16 * factor));
        double sum = 0.0;
        for (std::size_t k = 0; k < p.size(); ++k) {
            EXPECT_EQ(p[k], p[p.size() - 1 - k]) << factor << " " << k;
            EXPECT_EQ(p[k], static_cast<double>(static_cast<float>(p[k]))) << "taps are single-precision values";
            sum += p[k];
        }
        EXPECT_NEAR(sum, factor == 2 ? 1.00058 : 1.0, factor == 2 ? 5e-6 : 1e-6) << factor;
    }
    EXPECT_TRUE(prototypeFilter(3).empty());
}

TEST(PrototypeFilter, ResponsesMatchTheTable) {
    const double frequencies[] = {0.1, 0.25, 0.3, 0.35, 0.4, 0.45, 0.5, 0.55};
    const double table[4][8] = {
        {0.14, 0.86, 0.35, -2.66, -9.97, -24.0, -52.1, -86.95},  // L = 2's taps as they stand: -86.95 dB
        {-0.01, -0.01, -0.03, -0.08, -2.24, -9.86, -30.1, -52.5},
        {0.00, 0.00, -0.02, -0.53, -2.89, -8.84, -20.6, -44.4},
        {0.00, 0.00, -0.01, -0.52, -2.88, -8.86, -20.7, -44.8},
    };
    for (int f = 0; f < 4; ++f)
        for (int k = 0; k < 8; ++k)
            EXPECT_NEAR(responseDb(prototypeFilter(kFactors[f]), kFactors[f], frequencies[k]), table[f][k], 0.05)
                << "P_" << kFactors[f] << " at " << frequencies[k] << " fs";
}

TEST(PrototypeFilter, StopBandStaysBelowItsFloor) {
    // Up to half the high rate. L = 8 crosses −70 dB just above 0.57 fs (−68.8 dB at 0.570 fs).
    struct Floor { int factor; double from; double belowDb; };
    const Floor floors[] = {{2, 0.52, -80.0}, {4, 0.76, -60.0}, {8, 0.575, -70.0}, {16, 0.57, -70.0}};
    for (const Floor& f : floors) {
        double worst = -1000.0;
        for (double x = f.from; x <= f.factor / 2.0; x += 0.0005)
            worst = std::max(worst, responseDb(prototypeFilter(f.factor), f.factor, x));
        EXPECT_LT(worst, f.belowDb) << "P_" << f.factor;
    }
}

// Reference forms: zero-stuffing then filtering with L·P, and plain FIR filtering.
std::vector<double> upsampleDirect(const std::vector<double>& x, int factor) {
    const std::vector<double>& p = prototypeFilter(factor);
    std::vector<double> y(x.size() * factor, 0.0);
    for (std::size_t n = 0; n < y.size(); ++n)
        for (std::size_t k = 0; k < p.size() && k <= n; ++k)
            if ((n - k) % factor == 0) y[n] += factor * p[k] * x[(n - k) / factor];
    return y;
}

std::vector<double> noise(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    std::vector<double> v(n);
    for (double& s : v) s = d(rng);
    return v;
}

template <int L>
void checkPolyphaseForms() {
    const std::vector<double> x = noise(300, L);
    const std::vector<double> expectedUp = upsampleDirect(x, L);
    Interpolator<L> up;
    std::vector<double> high;
    for (double s : x) {
        up.push(s);
        for (int i = 0; i < L; ++i) high.push_back(up.nextPhase());
    }
    for (std::size_t n = 0; n < high.size(); ++n) ASSERT_NEAR(high[n], expectedUp[n], 1e-12) << "L=" << L << " n=" << n;

    const std::vector<double>& p = prototypeFilter(L);
    const std::vector<double> y = noise(300 * L, 100 + L);
    Decimator<L> down;
    for (std::size_t n = 0; n < y.size(); ++n) {
        down.push(y[n]);
        if ((n + 1) % L != 0) continue;
        double expected = 0.0;
        for (std::size_t k = 0; k < p.size() && k <= n; ++k) expected += p[k] * y[n - k];
        ASSERT_NEAR(down.output(), expected, 1e-12) << "L=" << L << " n=" << n;
    }
}

TEST(Resampling, PolyphaseFormsEqualDirectFiltering) {
    checkPolyphaseForms<2>();
    checkPolyphaseForms<4>();
    checkPolyphaseForms<8>();
    checkPolyphaseForms<16>();
}

// Host-rate response of interpolator and decimator with nothing between them.
template <int L>
std::vector<double> throughIdentity(const std::vector<double>& x) {
    Interpolator<L> up;
    Decimator<L> down;
    std::vector<double> y;
    for (double s : x) {
        up.push(s);
        for (int i = 0; i < L; ++i) down.push(up.nextPhase());
        y.push_back(down.output());
    }
    return y;
}

template <int L>
void checkImpulseAndDc(double centre, double dc) {
    std::vector<double> impulse(40, 0.0);
    impulse[0] = 1.0;
    const std::vector<double> y = throughIdentity<L>(impulse);
    EXPECT_NEAR(y[15], centre, 5e-7) << "L=" << L;
    for (int d = 1; d <= 15; ++d) {
        EXPECT_LT(std::abs(y[15 + d]), y[15]) << "L=" << L;
        EXPECT_NEAR(y[15 + d], y[15 - d], 1e-12) << "L=" << L << " d=" << d;
    }
    for (std::size_t n = 31; n < y.size(); ++n) EXPECT_EQ(y[n], 0.0) << "L=" << L;

    const std::vector<double> ones = throughIdentity<L>(std::vector<double>(64, 1.0));
    EXPECT_NEAR(ones.back(), dc, L == 2 ? 5e-6 : 1e-6) << "L=" << L;
    EXPECT_LT(std::abs(ones[0]), 0.01) << "starts from empty histories";
}

TEST(Resampling, ImpulseCentredFifteenHostSamplesLaterAndDcGain) {
    checkImpulseAndDc<2>(0.771641, 1.00115);
    checkImpulseAndDc<4>(0.815916, 1.0);
    checkImpulseAndDc<8>(0.803580, 1.0);
    checkImpulseAndDc<16>(0.803793, 1.0);
}

TEST(Resampling, PassBandToneKeepsItsLevel) {
    // 1 kHz at 44.1 kHz through interpolation and decimation at 16x.
    std::vector<double> x(2000);
    for (std::size_t n = 0; n < x.size(); ++n) x[n] = std::sin(2.0 * M_PI * 1000.0 * n / 44100.0);
    const std::vector<double> y = throughIdentity<16>(x);
    for (std::size_t n = 100; n < y.size(); ++n) ASSERT_NEAR(y[n], x[n - 15], 1e-3) << n;
}

} // namespace
} // namespace torvik
