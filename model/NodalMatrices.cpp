#include "model/NodalMatrices.h"

#include <Eigen/LU>

#include <numeric>

namespace torvik {
namespace {

// Classes of nodes after merging 0-ohm sections: ground, a source (known voltage), or an unknown.
struct NodeClasses {
    enum Kind { Ground, Source, Unknown };
    std::array<int, Netlist::kMaxNodes> root{};
    std::array<Kind, Netlist::kMaxNodes> kind{};
    std::array<int, Netlist::kMaxNodes> index{};  // source number or unknown number, by root
    int unknownCount = 0;

    int find(int n) const {
        while (root[n] != n) n = root[n];
        return n;
    }

    explicit NodeClasses(const Netlist& net) {
        std::iota(root.begin(), root.begin() + net.nodeCount, 0);
        for (int r = 0; r < net.resistorCount; ++r) {
            const NetResistor& e = net.resistors[r];
            if (e.ohms != 0.0) continue;
            const int ra = find(e.a), rb = find(e.b);
            if (ra == rb) continue;
            // Keep ground, then sources, as the representative so known voltages win.
            const int lowA = rank(net, ra), lowB = rank(net, rb);
            if (lowA <= lowB) root[rb] = ra; else root[ra] = rb;
        }
        for (int n = 0; n < net.nodeCount; ++n) kind[n] = Unknown;
        kind[find(0)] = Ground;
        for (int s = 0; s < net.sourceCount; ++s) {
            const int r = find(net.sourceNodes[s]);
            if (kind[r] == Unknown) { kind[r] = Source; index[r] = s; }
        }
        for (int n = 0; n < net.nodeCount; ++n)
            if (find(n) == n && kind[n] == Unknown) index[n] = unknownCount++;
    }

    static int rank(const Netlist& net, int node) {
        if (node == 0) return 0;
        for (int s = 0; s < net.sourceCount; ++s)
            if (net.sourceNodes[s] == node) return 1;
        return 2;
    }
};

using Conductance = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::ColMajor,
                                  Netlist::kMaxNodes, Netlist::kMaxNodes>;
using Excitation = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::ColMajor,
                                 Netlist::kMaxNodes, NodalMatrices::kMaxCols>;
using NodeRow = Eigen::Matrix<double, 1, Eigen::Dynamic, Eigen::RowMajor, 1, NodalMatrices::kMaxCols>;

} // namespace

void buildNodalMatrices(const Netlist& net, double fs, NodalMatrices& out) {
    const int S = net.capacitorCount, U = net.sourceCount, I = net.portCount;
    const int cols = S + U + I;
    const NodeClasses nc(net);
    const int n = nc.unknownCount;

    Conductance G = Conductance::Zero(n, n);
    Excitation rhs = Excitation::Zero(n, cols);

    auto stampHalf = [&](int from, int to, double g) {
        if (nc.kind[from] != NodeClasses::Unknown) return;
        const int row = nc.index[from];
        G(row, row) += g;
        if (nc.kind[to] == NodeClasses::Unknown) G(row, nc.index[to]) -= g;
        else if (nc.kind[to] == NodeClasses::Source) rhs(row, S + nc.index[to]) += g;
    };
    auto stamp = [&](int a, int b, double g) {
        const int ra = nc.find(a), rb = nc.find(b);
        if (ra == rb) return;
        stampHalf(ra, rb, g);
        stampHalf(rb, ra, g);
    };
    auto inject = [&](int node, int col, double amount) {
        const int r = nc.find(node);
        if (nc.kind[r] == NodeClasses::Unknown) rhs(nc.index[r], col) += amount;
    };

    for (int r = 0; r < net.resistorCount; ++r)
        if (net.resistors[r].ohms != 0.0)
            stamp(net.resistors[r].a, net.resistors[r].b, 1.0 / net.resistors[r].ohms);
    for (int k = 0; k < S; ++k) {
        const NetCapacitor& c = net.capacitors[k];
        stamp(c.a, c.b, 2.0 * fs * c.farads);
        if (nc.find(c.a) != nc.find(c.b)) {
            inject(c.a, k, 1.0);
            inject(c.b, k, -1.0);
        }
    }
    for (int j = 0; j < I; ++j) {
        inject(net.ports[j].from, S + U + j, -1.0);
        inject(net.ports[j].to, S + U + j, 1.0);
    }

    Excitation solved(n, cols);
    if (n > 0) solved.noalias() = G.partialPivLu().solve(rhs);

    // Sensitivity of one node's voltage to every state, input and current.
    auto nodeRow = [&](int node) {
        NodeRow row = NodeRow::Zero(1, cols);
        const int r = nc.find(node);
        if (nc.kind[r] == NodeClasses::Source) row(0, S + nc.index[r]) = 1.0;
        else if (nc.kind[r] == NodeClasses::Unknown) row = solved.row(nc.index[r]);
        return row;
    };

    out.DE.resize(I, S + U);
    out.K.resize(I, I);
    for (int j = 0; j < I; ++j) {
        const NodeRow v = nodeRow(net.ports[j].plus) - nodeRow(net.ports[j].minus);
        out.DE.row(j) = v.leftCols(S + U);
        out.K.row(j) = v.rightCols(I);
    }
    out.ABC.resize(S, cols);
    for (int k = 0; k < S; ++k) {
        const NetCapacitor& c = net.capacitors[k];
        const double G2 = 2.0 * (2.0 * fs * c.farads);
        NodeRow row = NodeRow::Zero(1, cols);
        if (nc.find(c.a) != nc.find(c.b)) row = G2 * (nodeRow(c.a) - nodeRow(c.b));
        row(0, k) -= 1.0;
        out.ABC.row(k) = row;
    }
    out.Out = nodeRow(net.outputNode);
}

} // namespace torvik
