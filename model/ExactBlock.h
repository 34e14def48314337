#pragma once

#include "model/CircuitBlock.h"
#include "model/OperatingPoint.h"
#include "model/PortNewton.h"

#include <Eigen/LU>

#include <algorithm>
#include <cmath>

namespace torvik {

// Running figures of a block's Newton solves.
struct NewtonStats {
    long solves = 0;
    long iterations = 0;
    int worstIterations = 0;
    double worstResidual = 0.0;
    long failures = 0;

    void add(const NewtonResult& r) {
        ++solves;
        iterations += r.iterations;
        worstIterations = std::max(worstIterations, r.iterations);
        worstResidual = std::max(worstResidual, r.relativeResidual);
        if (!r.converged) ++failures;
    }
    void merge(const NewtonStats& o) {
        solves += o.solves;
        iterations += o.iterations;
        worstIterations = std::max(worstIterations, o.worstIterations);
        worstResidual = std::max(worstResidual, o.worstResidual);
        failures += o.failures;
    }
};

// A block whose port currents come from an exact (Newton) solve of its port equations instead
// of a network: the reference the networks are trained and measured against. The per-sample
// step has the same structure as the network step, so the two engines differ only there.
template <class Circuit>
class ExactBlock : public Circuit {
public:
    using Point = OperatingPoint<Circuit::V, Circuit::I, Circuit::S>;

    ExactBlock() { this->law = DeviceLaw::Careful; }

    NewtonStats stats;
    NewtonOptions options;

    void setPosition(unsigned k) {
        this->setPotSections(k);
        this->rebuildMatrices();
    }

    // One sample: u₀ written by the caller, y read after. Warm-started from the last currents.
    NewtonResult step() {
        if (!std::isfinite(this->u[0])) this->u[0] = 0.0;
        this->computePreVoltages();
        const NewtonResult r = solvePortEquations(*this, this->p, this->K, this->i, options);
        stats.add(r);
        this->advanceStateAndOutput();
        return r;
    }

    // The DC operating point for signal input u0 at the present rate and position: capacitor
    // states at their fixed point x = A·x + B·u + C·i, so one step from it changes nothing.
    // The block's own state is not touched.
    Point solveOperatingPoint(double u0, NewtonResult* report = nullptr) {
        constexpr int S = Circuit::S, U = Circuit::U, I = Circuit::I;
        typename Circuit::VecU u = this->u;
        u[0] = u0;
        const auto A = this->ABC.template leftCols<S>();
        const auto B = this->ABC.template middleCols<U>(S);
        const auto C = this->ABC.template rightCols<I>();
        const auto D = this->DE.template leftCols<S>();
        const auto E = this->DE.template rightCols<U>();
        const Eigen::Matrix<double, S, S> M =
            (Eigen::Matrix<double, S, S>::Identity() - A).partialPivLu().inverse();
        const typename Circuit::VecP p0 = (D * M * B + E) * u;
        const typename Circuit::MatK Kdc = this->K + D * M * C;

        typename Circuit::VecI i = Circuit::VecI::Zero();
        const NewtonResult r = solvePortEquations(*this, p0, Kdc, i, options);
        if (report) *report = r;
        stats.add(r);

        const typename Circuit::VecX x = M * (B * u + C * i);
        const typename Circuit::VecP p = D * x + E * u;
        Point op;
        for (int k = 0; k < Circuit::V; ++k) op.p[k] = p[k];
        for (int k = 0; k < I; ++k) op.i[k] = i[k];
        for (int k = 0; k < S; ++k) op.x[k] = x[k];
        Eigen::Matrix<double, Circuit::NA, 1> z;
        z << x, u, i;
        op.y = (this->Out * z)(0, 0);
        return op;
    }

    // Puts the block at an operating point with its signal input at u0.
    void rest(const Point& op, double u0) {
        this->u[0] = u0;
        for (int k = 0; k < Circuit::V; ++k) this->p[k] = op.p[k];
        for (int k = 0; k < Circuit::I; ++k) this->i[k] = op.i[k];
        for (int k = 0; k < Circuit::S; ++k) this->x[k] = op.x[k];
        this->y[0] = op.y;
    }
};

} // namespace torvik
