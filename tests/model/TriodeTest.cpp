#include "model/Triode.h"

#include <gtest/gtest.h>

#include <cmath>

namespace torvik {
namespace {

using Tube = Triode<1, 0>;

TEST(Triode, GridCurrentAtZeroBiasIsTheSoftplusOffset) {
    Tube t;
    t.evaluate(0.0, 100.0);
    EXPECT_NEAR(t.Ig, 6.177e-4 * std::pow(std::log(2.0) / 9.901, 1.314), 1e-18);
    EXPECT_NEAR(t.Ig, 1.876e-5, 0.0005e-5);
}

TEST(Triode, CutOffCurrentIsTinyButPositive) {
    Tube t;
    t.evaluate(-2.0, 0.0);
    EXPECT_GT(t.Ik, 0.0);
    EXPECT_LT(t.Ik, 1e-6);
}

TEST(Triode, PlateDerivativeIsGridDerivativeOverMu) {
    Tube t;
    t.evaluate(-1.0, 200.0);
    EXPECT_NEAR(t.dIkp, t.dIkg / t.mu, 1e-3 * t.dIkg / t.mu);
}

TEST(Triode, CarefulFormAgreesWithTheLiteralLawWhereBothAreAccurate) {
    const struct { double vgk, vpk; } points[] = {{0.0, 100.0}, {-1.5, 250.0}, {-0.3, 150.0}, {0.5, 50.0}, {-3.0, 300.0}};
    for (const auto& pt : points) {
        Tube literal, careful;
        literal.evaluate(pt.vgk, pt.vpk);
        careful.evaluateCareful(pt.vgk, pt.vpk);
        // ln(1 + exp(z)) keeps only about 16 - |z|/2.3 digits for negative z.
        EXPECT_NEAR(careful.Ig, literal.Ig, 1e-3 * literal.Ig) << pt.vgk;
        EXPECT_NEAR(careful.Ik, literal.Ik, 1e-12 * literal.Ik + 1e-300) << pt.vgk;
        // Backward differences over 0.5 mV against the analytic slope.
        EXPECT_NEAR(careful.dIkg, literal.dIkg, 2e-2 * careful.dIkg) << pt.vgk;
        EXPECT_NEAR(careful.dIg, literal.dIg, 2e-2 * careful.dIg + 1e-15) << pt.vgk;
    }
}

TEST(Triode, CarefulFormNeitherUnderflowsToZeroNorOverflows) {
    Tube literal, careful;
    literal.evaluate(-12.0, 0.0);  // C·t = -40.8: 1 + exp(z) rounds to 1
    careful.evaluateCareful(-12.0, 0.0);
    EXPECT_EQ(literal.Ik, 0.0);
    EXPECT_GT(careful.Ik, 0.0);
    EXPECT_GT(careful.dIkg, 0.0);

    literal.evaluate(0.0, 25000.0);  // C·t above 709: exp overflows
    careful.evaluateCareful(0.0, 25000.0);
    EXPECT_TRUE(std::isinf(literal.Ik));
    EXPECT_TRUE(std::isfinite(careful.Ik));
    EXPECT_TRUE(std::isfinite(careful.dIkg));
}

TEST(Triode, CarefulDerivativesAreTheSlopesOfTheLaw) {
    Tube t;
    const double vgk = -0.8, vpk = 180.0, h = 1e-6;
    t.evaluateCareful(vgk + h, vpk);
    const double igUp = t.Ig, ikUp = t.Ik;
    t.evaluateCareful(vgk - h, vpk);
    const double igDown = t.Ig, ikDown = t.Ik;
    t.evaluateCareful(vgk, vpk + h);
    const double ikPlateUp = t.Ik;
    t.evaluateCareful(vgk, vpk - h);
    const double ikPlateDown = t.Ik;
    t.evaluateCareful(vgk, vpk);
    EXPECT_NEAR(t.dIg, (igUp - igDown) / (2 * h), 1e-6 * t.dIg);
    EXPECT_NEAR(t.dIkg, (ikUp - ikDown) / (2 * h), 1e-6 * t.dIkg);
    EXPECT_NEAR(t.dIkp, (ikPlateUp - ikPlateDown) / (2 * h), 1e-5 * t.dIkp);
}

TEST(Triode, AgedTubesConductLessAndSwitchBack) {
    Tube t;
    t.setFamily(TubeFamily::Aged);
    t.evaluate(-1.0, 200.0);
    const double aged = t.Ik;
    t.setFamily(TubeFamily::Fresh);
    t.evaluate(-1.0, 200.0);
    EXPECT_LT(aged, 0.8 * t.Ik);
    EXPECT_EQ(t.mu, 103.2);
    EXPECT_EQ(t.muInv, 1.0 / 103.2);
}

} // namespace
} // namespace torvik
