#pragma once

namespace torvik {

// Dimensions of a block's solver: capacitor states, inputs (signal first, then supplies),
// port voltages, port currents and outputs.
template <int S_, int U_, int V_, int I_, int Y_>
struct SolverTraits {
    static constexpr int S = S_;
    static constexpr int U = U_;
    static constexpr int V = V_;
    static constexpr int I = I_;
    static constexpr int Y = Y_;
};

// Dimensions of a block's model: positions per pot (0 when the block has no pot), signal inputs,
// supply inputs, and a fourth value the type carries for identification only.
template <int P_, int Ns_, int Nb_, int Q_>
struct ModelTraits {
    static constexpr int P = P_;
    static constexpr int Ns = Ns_;
    static constexpr int Nb = Nb_;
    static constexpr int Q = Q_;
};

// Tag selecting the Eigen-based fast model.
struct net_node_eigen {};

} // namespace torvik
