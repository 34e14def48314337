#pragma once

#include "model/Netlist.h"

#include <Eigen/Core>

namespace torvik {

// The discretised solver matrices of a netlist, columns ordered states, inputs, currents:
//   p  = D·x + E·u            (pre-voltages: DE, ports x (S+U))
//   v  = p + K·i              (K, ports x I)
//   x' = A·x + B·u + C·i      (ABC, states x (S+U+I))
//   y  = Do·x + Eo·u + Fo·i   (Out, 1 x (S+U+I))
// Storage is fixed-capacity, so building never touches the heap.
struct NodalMatrices {
    static constexpr int kMaxCols = Netlist::kMaxCapacitors + Netlist::kMaxSources + Netlist::kMaxPorts;
    template <int MaxRows, int MaxCols>
    using Capped = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::ColMajor, MaxRows, MaxCols>;

    Capped<Netlist::kMaxPorts, kMaxCols> DE;
    Capped<Netlist::kMaxPorts, Netlist::kMaxPorts> K;
    Capped<Netlist::kMaxCapacitors, kMaxCols> ABC;
    Eigen::Matrix<double, 1, Eigen::Dynamic, Eigen::RowMajor, 1, kMaxCols> Out;
};

// Nodal analysis with the trapezoidal companion model at running rate fs. A capacitor k becomes
// a conductance G = 2·fs·C in parallel with a current source x_k into node a, and advances as
// x_k' = 2·G·v_k - x_k. Resistors of exactly 0 ohm merge their nodes. Allocation-free.
void buildNodalMatrices(const Netlist& net, double fs, NodalMatrices& out);

} // namespace torvik
