#include "model/ExactChain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace torvik {
namespace {

// The Jacobian the device interface loads is the derivative of the port currents with respect
// to the port voltages, signs included (checked by central differences of the careful law).
template <class Block>
void expectJacobianIsDerivative(Block& b, const typename Block::VecP& v0) {
    b.v = v0;
    b.evaluateDevices();
    b.loadJacobian();
    const typename Block::MatJ J = b.J;
    for (int c = 0; c < Block::V; ++c) {
        const double h = 1e-6;
        b.v = v0;
        b.v[c] += h;
        b.evaluateDevices();
        b.loadCurrents();
        const typename Block::VecI up = b.deviceCurrents;
        b.v[c] -= 2 * h;
        b.evaluateDevices();
        b.loadCurrents();
        const typename Block::VecI slope = (up - b.deviceCurrents) / (2 * h);
        for (int r = 0; r < Block::I; ++r) {
            const bool sameTriode = r / 2 == c / 2;
            const double expected = sameTriode ? slope[r] : 0.0;
            EXPECT_NEAR(J(r, c), expected, 1e-6 * std::abs(expected) + 1e-12) << r << "," << c;
            if (!sameTriode) EXPECT_EQ(slope[r], 0.0);
        }
    }
}

TEST(ExactEngine, LoadedJacobianIsTheDerivativeOfTheCurrents) {
    ExactBlock<Block1Circuit> b1;
    ExactBlock<Block3Circuit> b3;
    ExactBlock<Block4Circuit> b4;
    Eigen::Vector4d v1(1.2, 150.0, 0.9, 180.0);
    Eigen::Vector4d v3(1.5, 120.0, 1.1, -150.0);
    Eigen::Vector2d v4(0.8, -140.0);
    expectJacobianIsDerivative(b1, v1);
    expectJacobianIsDerivative(b3, v3);
    expectJacobianIsDerivative(b4, v4);
}

// Newton from i = 0 at pre-voltages spread around each block's resting point.
template <class Block>
void expectNewtonConverges(Block& b, const typename Block::VecP& rest, const typename Block::VecP& spread,
                           std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int trial = 0; trial < 200; ++trial) {
        typename Block::VecP p = rest;
        for (int k = 0; k < Block::V; ++k) p[k] += spread[k] * unit(rng);
        typename Block::VecI i = Block::VecI::Zero();
        const NewtonResult r = solvePortEquations(b, p, b.K, i);
        ASSERT_TRUE(r.converged) << "trial " << trial << " residual " << r.relativeResidual;
        EXPECT_LE(r.relativeResidual, 1e-12);
        EXPECT_LE(r.iterations, 20);
        // Independent check of the residual with the device law itself.
        b.v = p + b.K * i;
        b.evaluateDevices();
        b.loadCurrents();
        const double scale = std::max(i.cwiseAbs().maxCoeff(), 1e-9);
        EXPECT_LE((i - b.deviceCurrents).cwiseAbs().maxCoeff() / scale, 1e-12);
    }
}

TEST(ExactEngine, NewtonMeetsTheResidualAtRandomPoints) {
    std::mt19937 rng(7);
    for (double fs : {44100.0, 705600.0}) {
        ExactChain chain;
        chain.setSampleRate(fs);
        chain.setGainPosition(8);
        chain.setTonePosition(1687);
        const ChainRestingPoint rp = chain.solveRestingPoint();
        ASSERT_TRUE(rp.converged);
        auto toVec4 = [](const std::array<double, 4>& a) { return Eigen::Vector4d(a[0], a[1], a[2], a[3]); };
        expectNewtonConverges(chain.b1, toVec4(rp.b1.p), Eigen::Vector4d(60, 60, 60, 5), rng);
        expectNewtonConverges(chain.b2, toVec4(rp.b2.p), Eigen::Vector4d(150, 100, 100, 5), rng);
        expectNewtonConverges(chain.b3, toVec4(rp.b3.p), Eigen::Vector4d(150, 5, 5, 5), rng);
        expectNewtonConverges(chain.b4, Eigen::Vector2d(rp.b4.p[0], rp.b4.p[1]), Eigen::Vector2d(150, 150), rng);
    }
}

TEST(ExactEngine, NonConvergenceIsReportedNotHung) {
    ExactBlock<Block1Circuit> b;
    Eigen::Vector4d p(-50.0, 200.0, 40.0, 320.0);
    Eigen::Vector4d i = Eigen::Vector4d::Zero();
    NewtonOptions tight;
    tight.maxIterations = 1;
    const NewtonResult r = solvePortEquations(b, p, b.K, i, tight);
    EXPECT_FALSE(r.converged);
    EXPECT_EQ(r.iterations, 1);
}

// One exact step from a solved resting point changes nothing beyond rounding.
template <class Block>
void expectRestIsSteady(Block& b, double u0) {
    const auto op = b.solveOperatingPoint(u0);
    b.rest(op, u0);
    b.step();
    double xScale = 0.0;
    for (double v : op.x) xScale = std::max(xScale, std::abs(v));
    for (int k = 0; k < Block::S; ++k) EXPECT_NEAR(b.x[k], op.x[k], 1e-11 * xScale + 1e-15) << k;
    for (int k = 0; k < Block::I; ++k) EXPECT_NEAR(b.i[k], op.i[k], 1e-10 * std::abs(op.i[k]) + 1e-20) << k;
    for (int k = 0; k < Block::V; ++k) EXPECT_NEAR(b.p[k], op.p[k], 1e-11 * std::abs(op.p[k]) + 1e-12) << k;
    EXPECT_NEAR(b.y[0], op.y, 1e-9 * std::abs(op.y) + 1e-9);
}

TEST(ExactEngine, RestingPointIsASteadyState) {
    const struct { double fs; unsigned gain, tone; } cases[] = {
        {44100.0, 8, 1687}, {44100.0, 0, 0}, {44100.0, 16, 3374}, {192000.0, 3, 2000}, {705600.0, 12, 500}};
    for (const auto& c : cases) {
        ExactChain chain;
        chain.setSampleRate(c.fs);
        chain.setGainPosition(c.gain);
        chain.setTonePosition(c.tone);
        const ChainRestingPoint rp = chain.solveRestingPoint();
        ASSERT_TRUE(rp.converged);
        expectRestIsSteady(chain.b1, 0.0);
        expectRestIsSteady(chain.b2, rp.b1.y);
        expectRestIsSteady(chain.b3, rp.b2.y);
        expectRestIsSteady(chain.b4, rp.b3.y);
    }
}

TEST(ExactEngine, ChainRestsWithTheFollowerGridNear197Volts) {
    ExactChain chain;
    const ChainRestingPoint rp = chain.rest();
    EXPECT_NEAR(rp.b3.y, 197.4, 0.05);
    EXPECT_NEAR(rp.b1.y, 0.0, 1e-6);   // coupling capacitors block DC
    EXPECT_NEAR(rp.b4.y, 0.0, 1e-6);
    // A silent input keeps the chain at rest.
    for (int n = 0; n < 100; ++n) EXPECT_NEAR(chain.processSample(0.0), rp.b4.y, 1e-9);
}

TEST(ExactEngine, SineIsAmplifiedAndClipped) {
    double peaks[3] = {};
    const unsigned gains[3] = {0, 8, 16};
    for (int g = 0; g < 3; ++g) {
        ExactChain chain;
        chain.setGainPosition(gains[g]);
        chain.setTonePosition(1687);
        chain.rest();
        double hi = -1e9, lo = 1e9;
        for (int n = 0; n < 4410; ++n) {
            const double y = chain.processSample(0.5 * std::sin(2 * M_PI * 110.0 * n / 44100.0));
            if (n > 882) { hi = std::max(hi, y); lo = std::min(lo, y); }
        }
        peaks[g] = std::max(hi, -lo);
        EXPECT_EQ(chain.stats().failures, 0);
    }
    EXPECT_GT(peaks[0], 2.0);        // amplified beyond the 0.5 V input
    EXPECT_GT(peaks[1], peaks[0]);
    EXPECT_LT(peaks[2], 1.5 * peaks[1]);  // saturation: the last half of the pot adds little
}

TEST(ExactEngine, NonFiniteInputIsTreatedAsSilence) {
    ExactChain a, b;
    a.rest();
    b.rest();
    for (double bad : {NAN, INFINITY, -INFINITY}) {
        EXPECT_EQ(a.processSample(bad), b.processSample(0.0));
    }
    EXPECT_EQ(a.processSample(0.1), b.processSample(0.1));
}

TEST(ExactEngine, AgedTubesGiveLessGain) {
    ExactChain fresh, aged;
    aged.setTubeFamily(TubeFamily::Aged);
    fresh.rest();
    aged.rest();
    double f = 0, a = 0;
    for (int n = 0; n < 2000; ++n) {
        const double v = 0.01 * std::sin(2 * M_PI * 440.0 * n / 44100.0);
        f = std::max(f, std::abs(fresh.processSample(v)));
        a = std::max(a, std::abs(aged.processSample(v)));
    }
    EXPECT_LT(a, f);
}

} // namespace
} // namespace torvik
