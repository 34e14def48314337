#pragma once

#include "model/NodalMatrices.h"

#include <Eigen/Core>

namespace torvik {

// The solver data every block shares: vectors, the concatenated matrices [D E], K, [A B C] and
// [Do Eo Fo], and the three products of the per-sample step.
template <class ST>
class EigenSolver {
public:
    static constexpr int S = ST::S, U = ST::U, V = ST::V, I = ST::I, Y = ST::Y;
    static constexpr int NX = S + U;       // columns of [D E]
    static constexpr int NA = S + U + I;   // columns of [A B C] and of the output row

    using VecP = Eigen::Matrix<double, V, 1>;
    using VecU = Eigen::Matrix<double, U, 1>;
    using VecX = Eigen::Matrix<double, S, 1>;
    using VecI = Eigen::Matrix<double, I, 1>;
    using VecY = Eigen::Matrix<double, Y, 1>;
    using MatDE = Eigen::Matrix<double, V, NX>;
    using MatK = Eigen::Matrix<double, V, I>;
    using MatABC = Eigen::Matrix<double, S, NA>;
    using MatOut = Eigen::Matrix<double, Y, NA>;
    using MatJ = Eigen::Matrix<double, I, V>;

    EigenSolver() {
        p.setZero(); u.setZero(); x.setZero(); i.setZero(); y.setZero();
        DE.setZero(); K.setZero(); ABC.setZero(); Out.setZero();
    }
    virtual ~EigenSolver() = default;

    // Device-side evaluation interface; no per-sample path calls these.
    virtual void evaluateDevices() {}
    virtual void loadJacobian() {}
    virtual void loadCurrents() {}
    virtual void emptyHook() {}

    VecP p;
    VecU u;
    VecX x;
    VecI i;
    VecY y;

    MatDE DE;
    MatK K;
    MatABC ABC;
    MatOut Out;

protected:
    void takeMatrices(const NodalMatrices& m) {
        DE = m.DE;
        K = m.K;
        ABC = m.ABC;
        Out = m.Out;
    }

    // p = D·x + E·u
    void computePreVoltages() {
        p.noalias() = DE.template leftCols<S>() * x;
        p.noalias() += DE.template rightCols<U>() * u;
    }

    // x' = A·x + B·u + C·i from the old state, then y = Do·x' + Eo·u + Fo·i.
    void advanceStateAndOutput() {
        VecX next = ABC.template leftCols<S>() * x;
        next.noalias() += ABC.template middleCols<U>(S) * u;
        next.noalias() += ABC.template rightCols<I>() * i;
        x = next;
        computeOutput();
    }

    // The output row applied to the present state (used after a restore).
    void computeOutput() {
        y.noalias() = Out.template leftCols<S>() * x;
        y.noalias() += Out.template middleCols<U>(S) * u;
        y.noalias() += Out.template rightCols<I>() * i;
    }
};

} // namespace torvik
