#pragma once

#include "model/CircuitBlock.h"
#include "model/PotKind.h"

#include <type_traits>

namespace torvik {

// Block 3: the 470 k / 470 p / 470 k input network, the third valve as an unbypassed gain stage
// and the cathode follower whose grid sits on that valve's plate. Output: the plate voltage.
template <class T1, class T2, class ST, class MT>
class Model_TORVIK_b3 : public CircuitBlock<ST, T1, 2> {
    using Base = CircuitBlock<ST, T1, 2>;

public:
    static_assert(std::is_same<T1, T2>::value, "both valves share one device type");
    static constexpr PotKind kPot = PotKind::None;
    static constexpr unsigned kPositions = 1;
    static constexpr double kSupply = 345.0;

    // Circuit nodes; 0 is ground.
    struct N {
        enum : int { Gnd, In, BPlus, G1, K1, P1, K2, NodeCount };
    };

    explicit Model_TORVIK_b3(double fs = 44100.0) : Base(makeNetlist(), {{{0, 1, 1.0}, {2, 3, -1.0}}}, fs) {
        this->u << 0.0, kSupply;
        this->rebuildMatrices();
    }

    void setPotSections(unsigned) {}

private:
    static Netlist makeNetlist() {
        Netlist n;
        n.nodeCount = N::NodeCount;
        n.outputNode = N::P1;
        n.addSource(N::In);
        n.addSource(N::BPlus);
        n.addResistor(N::In, N::G1, 470e3);
        n.addResistor(N::G1, N::Gnd, 470e3);
        n.addResistor(N::K1, N::Gnd, 820.0);
        n.addResistor(N::BPlus, N::P1, 100e3);
        n.addResistor(N::K2, N::Gnd, 100e3);
        n.addCapacitor(N::In, N::G1, 470e-12);
        n.addPort(N::K1, N::G1, N::G1, N::K1);
        n.addPort(N::P1, N::K1, N::P1, N::K1);
        n.addPort(N::K2, N::P1, N::P1, N::K2);        // cathode follower grid
        n.addPort(N::K2, N::BPlus, N::BPlus, N::K2);  // cathode follower plate
        return n;
    }
};

} // namespace torvik
