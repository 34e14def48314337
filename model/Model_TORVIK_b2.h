#pragma once

#include "model/CircuitBlock.h"
#include "model/PotKind.h"
#include "model/PotLaws.h"

#include <cassert>
#include <type_traits>

namespace torvik {

// Block 2: the gain network driven by block 1's output, the second valve as an unbypassed gain
// stage, its coupling capacitor and the 470 k / 470 p / 470 k network, loaded by the third
// valve's grid, cathode and plate circuit. Output: the node after the coupling capacitor.
template <class T1, class T2, class ST, class MT>
class Model_TORVIK_b2 : public CircuitBlock<ST, T1, 2> {
    using Base = CircuitBlock<ST, T1, 2>;

public:
    static_assert(std::is_same<T1, T2>::value, "both valves share one device type");
    static constexpr PotKind kPot = PotKind::Gain;
    static constexpr unsigned kPositions = GainPot::kPositions;
    static constexpr double kSupply1 = 334.0;
    static constexpr double kSupply2 = 345.0;

    // Circuit nodes; 0 is ground.
    struct N {
        enum : int { Gnd, In, BPlus1, BPlus2, Pot, W, K1, P1, Out, G2, K2, P2, NodeCount };
    };

    explicit Model_TORVIK_b2(double fs = 44100.0) : Base(makeNetlist(), {{{0, 1, 1.0}, {2, 3, 1.0}}}, fs) {
        this->u << 0.0, kSupply1, kSupply2;
        setPotSections(16);
        this->rebuildMatrices();
    }

    void setPotSections(unsigned k) {
        this->net_.resistors[upperSection_].ohms = GainPot::topToWiper(k);
        this->net_.resistors[lowerSection_].ohms = GainPot::wiperToGround(k);
    }

private:
    static constexpr int upperSection_ = 1;
    static constexpr int lowerSection_ = 2;

    static Netlist makeNetlist() {
        Netlist n;
        n.nodeCount = N::NodeCount;
        n.outputNode = N::Out;
        n.addSource(N::In);
        n.addSource(N::BPlus1);
        n.addSource(N::BPlus2);
        n.addResistor(N::In, N::Pot, 470e3);
        [[maybe_unused]] const int upper = n.addResistor(N::Pot, N::W, 0.0);  // gain pot, upper section
        [[maybe_unused]] const int lower = n.addResistor(N::W, N::Gnd, 0.0);  // gain pot, lower section
        assert(upper == upperSection_ && lower == lowerSection_);
        n.addResistor(N::K1, N::Gnd, 10e3);
        n.addResistor(N::BPlus1, N::P1, 100e3);
        n.addResistor(N::Out, N::G2, 470e3);
        n.addResistor(N::G2, N::Gnd, 470e3);
        n.addResistor(N::K2, N::Gnd, 820.0);
        n.addResistor(N::BPlus2, N::P2, 100e3);
        n.addResistor(N::P2, N::Gnd, 4e6);
        n.addCapacitor(N::In, N::Pot, 470e-12);
        n.addCapacitor(N::Pot, N::W, 1e-9);      // bright capacitor
        n.addCapacitor(N::Out, N::P1, 22e-9);    // coupling, oriented from the output node to the plate
        n.addCapacitor(N::Out, N::G2, 470e-12);
        n.addPort(N::K1, N::W, N::W, N::K1);
        n.addPort(N::P1, N::K1, N::P1, N::K1);
        n.addPort(N::K2, N::G2, N::G2, N::K2);
        n.addPort(N::P2, N::K2, N::P2, N::K2);
        return n;
    }
};

} // namespace torvik
