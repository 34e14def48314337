#pragma once

#include "model/CircuitBlock.h"
#include "model/PotKind.h"
#include "model/PotLaws.h"

#include <cassert>
#include <type_traits>

namespace torvik {

// Block 1: grid-stopped, cathode-bypassed first gain stage, its coupling capacitor, the
// 470 k / 470 p network and the gain pot with its bright capacitor, loaded by the grid, cathode
// and plate circuit of the second valve. Output: the node after the coupling capacitor.
template <class T1, class T2, class ST, class MT>
class Model_TORVIK_b1 : public CircuitBlock<ST, T1, 2> {
    using Base = CircuitBlock<ST, T1, 2>;

public:
    static_assert(std::is_same<T1, T2>::value, "both valves share one device type");
    static constexpr PotKind kPot = PotKind::Gain;
    static constexpr unsigned kPositions = GainPot::kPositions;
    static constexpr double kSupply = 334.0;

    // Circuit nodes; 0 is ground.
    struct N {
        enum : int { Gnd, In, BPlus, G1, K1, P1, Out, Pot, W, K2, P2, NodeCount };
    };

    explicit Model_TORVIK_b1(double fs = 44100.0) : Base(makeNetlist(), {{{0, 1, 1.0}, {2, 3, 1.0}}}, fs) {
        this->u << 0.0, kSupply;
        setPotSections(16);
        this->rebuildMatrices();
    }

    void setPotSections(unsigned k) {
        this->net_.resistors[upperSection_].ohms = GainPot::topToWiper(k);
        this->net_.resistors[lowerSection_].ohms = GainPot::wiperToGround(k);
    }

private:
    static constexpr int upperSection_ = 4;
    static constexpr int lowerSection_ = 5;

    static Netlist makeNetlist() {
        Netlist n;
        n.nodeCount = N::NodeCount;
        n.outputNode = N::Out;
        n.addSource(N::In);
        n.addSource(N::BPlus);
        n.addResistor(N::In, N::G1, 68e3);       // grid stopper
        n.addResistor(N::K1, N::Gnd, 2.7e3);     // cathode resistor
        n.addResistor(N::BPlus, N::P1, 100e3);   // plate load
        n.addResistor(N::Out, N::Pot, 470e3);
        [[maybe_unused]] const int upper = n.addResistor(N::Pot, N::W, 0.0);  // gain pot, upper section
        [[maybe_unused]] const int lower = n.addResistor(N::W, N::Gnd, 0.0);  // gain pot, lower section
        assert(upper == upperSection_ && lower == lowerSection_);
        n.addResistor(N::K2, N::Gnd, 10e3);
        n.addResistor(N::BPlus, N::P2, 100e3);
        n.addResistor(N::P2, N::Gnd, 4e6);
        n.addCapacitor(N::K1, N::Gnd, 0.68e-6);  // cathode bypass
        n.addCapacitor(N::P1, N::Out, 22e-9);    // coupling
        n.addCapacitor(N::Out, N::Pot, 470e-12);
        n.addCapacitor(N::Pot, N::W, 1e-9);      // bright capacitor
        n.addPort(N::K1, N::G1, N::G1, N::K1);
        n.addPort(N::P1, N::K1, N::P1, N::K1);
        n.addPort(N::K2, N::W, N::W, N::K2);
        n.addPort(N::P2, N::K2, N::P2, N::K2);
        return n;
    }
};

} // namespace torvik
