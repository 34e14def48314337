#pragma once

#include <array>
#include <cassert>

namespace torvik {

// A linear circuit as data: resistors (fixed or pot sections), capacitors with a state
// orientation a -> b, ideal voltage sources to ground (the block's inputs) and nonlinear ports.
// Node 0 is ground.
struct NetResistor {
    int a = 0, b = 0;
    double ohms = 0.0;
};

struct NetCapacitor {
    int a = 0, b = 0;
    double farads = 0.0;
};

// Port voltage v = V(plus) - V(minus); the port current leaves the circuit at `from` and
// re-enters it at `to`.
struct NetPort {
    int plus = 0, minus = 0, from = 0, to = 0;
};

struct Netlist {
    static constexpr int kMaxNodes = 16;
    static constexpr int kMaxResistors = 16;
    static constexpr int kMaxCapacitors = 4;
    static constexpr int kMaxSources = 3;
    static constexpr int kMaxPorts = 4;

    int nodeCount = 1;
    int outputNode = 0;
    int resistorCount = 0, capacitorCount = 0, sourceCount = 0, portCount = 0;
    std::array<NetResistor, kMaxResistors> resistors{};
    std::array<NetCapacitor, kMaxCapacitors> capacitors{};
    std::array<int, kMaxSources> sourceNodes{};
    std::array<NetPort, kMaxPorts> ports{};

    int addResistor(int a, int b, double ohms) {
        assert(resistorCount < kMaxResistors);
        resistors[resistorCount] = {a, b, ohms};
        return resistorCount++;
    }
    int addCapacitor(int a, int b, double farads) {
        assert(capacitorCount < kMaxCapacitors);
        capacitors[capacitorCount] = {a, b, farads};
        return capacitorCount++;
    }
    int addSource(int node) {
        assert(sourceCount < kMaxSources);
        sourceNodes[sourceCount] = node;
        return sourceCount++;
    }
    int addPort(int plus, int minus, int from, int to) {
        assert(portCount < kMaxPorts);
        ports[portCount] = {plus, minus, from, to};
        return portCount++;
    }
};

} // namespace torvik
