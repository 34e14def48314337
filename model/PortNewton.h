#pragma once

#include <Eigen/LU>

#include <algorithm>
#include <cmath>

namespace torvik {

struct NewtonResult {
    int iterations = 0;
    double relativeResidual = 0.0;  // max |i - f(p + K·i)| over max(|i|, |f|, 1 nA)
    bool converged = false;
};

struct NewtonOptions {
    int maxIterations = 100;
    double tolerance = 1e-14;   // aim
    double acceptable = 1e-12;  // good enough once rounding stops further progress
};

// Solves the port equations i = f(p + K·i) of a block for i by Newton's method, starting from
// the i passed in. f is the block's device law through evaluateDevices / loadCurrents /
// loadJacobian. A step that makes the residual non-finite or much larger is shortened; after
// maxIterations the last iterate is kept and the result says it did not converge. Once rounding
// stops progress below `acceptable`, the solve counts as converged.
template <class Block, class VecP, class MatK, class VecI>
NewtonResult solvePortEquations(Block& block, const VecP& p, const MatK& K, VecI& i, const NewtonOptions& options = {}) {
    constexpr int N = VecI::RowsAtCompileTime;
    using Square = Eigen::Matrix<double, N, N>;

    auto residualAt = [&](const VecI& current, VecI& r) {
        block.v = p + K * current;
        block.evaluateDevices();
        block.loadCurrents();
        r = current - block.deviceCurrents;
        const double scale = std::max({current.cwiseAbs().maxCoeff(), block.deviceCurrents.cwiseAbs().maxCoeff(), 1e-9});
        const double norm = r.cwiseAbs().maxCoeff();
        return std::isfinite(norm) ? norm / scale : INFINITY;
    };

    NewtonResult result;
    VecI r;
    double rel = residualAt(i, r);
    while (true) {
        result.relativeResidual = rel;
        if (rel <= options.tolerance) {
            result.converged = true;
            return result;
        }
        if (result.iterations >= options.maxIterations) return result;
        ++result.iterations;

        // Jacobian of the residual at the present iterate (the device state is that of i).
        block.loadJacobian();
        const Square jr = Square::Identity() - block.J * K;
        const VecI delta = jr.partialPivLu().solve(-r);
        if (!delta.allFinite()) return result;

        double lambda = 1.0;
        VecI candidate, rc;
        double relCandidate = INFINITY;
        for (int halvings = 0; halvings < 40; ++halvings) {
            candidate = i + lambda * delta;
            relCandidate = residualAt(candidate, rc);
            if (relCandidate <= 1e3 * rel + options.tolerance) break;
            lambda *= 0.5;
        }
        if (!std::isfinite(relCandidate) || (relCandidate >= rel && rel <= options.acceptable)) {
            residualAt(i, r);  // restore the device state of the kept iterate
            result.converged = rel <= options.acceptable;
            return result;
        }
        i = candidate;
        r = rc;
        rel = relCandidate;
    }
}

} // namespace torvik
