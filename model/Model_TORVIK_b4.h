#pragma once

#include "model/CircuitBlock.h"
#include "model/PotKind.h"
#include "model/PotLaws.h"

#include <cassert>

namespace torvik {

// Block 4: the cathode follower driven by block 3's output and the treble / bass / middle tone
// stack on its cathode. Output: the treble pot's wiper.
template <class T1, class ST, class MT>
class Model_TORVIK_b4 : public CircuitBlock<ST, T1, 1> {
    using Base = CircuitBlock<ST, T1, 1>;

public:
    static constexpr PotKind kPot = PotKind::Tone;
    static constexpr unsigned kPositions = TonePots::kPositions;
    static constexpr double kSupply = 345.0;

    // Circuit nodes; 0 is ground.
    struct N {
        enum : int { Gnd, In, BPlus, K, Sl, T, Wt, X, Yb, Wm, NodeCount };
    };

    explicit Model_TORVIK_b4(double fs = 44100.0) : Base(makeNetlist(), {{{0, 1, -1.0}}}, fs) {
        this->u << 0.0, kSupply;
        // Mid-travel values that no tone index produces; they hold until the first tone position.
        setPots({110e3, 110e3, 500e3, 11e3, 11e3});
        this->rebuildMatrices();
    }

    void setPotSections(unsigned t) { setPots(TonePots::fromIndex(t)); }

private:
    enum Section { TrebleUpper = 1, TrebleLower, Bass, MiddleUpper, MiddleLower };

    void setPots(const TonePots& pots) {
        auto& r = this->net_.resistors;
        r[TrebleUpper].ohms = pots.trebleUpper;
        r[TrebleLower].ohms = pots.trebleLower;
        r[Bass].ohms = pots.bass;
        r[MiddleUpper].ohms = pots.middleUpper;
        r[MiddleLower].ohms = pots.middleLower;
    }

    static Netlist makeNetlist() {
        Netlist n;
        n.nodeCount = N::NodeCount;
        n.outputNode = N::Wt;
        n.addSource(N::In);
        n.addSource(N::BPlus);
        n.addResistor(N::K, N::Gnd, 100e3);
        [[maybe_unused]] const int first = n.addResistor(N::T, N::Wt, 0.0);
        n.addResistor(N::Wt, N::X, 0.0);
        n.addResistor(N::X, N::Yb, 0.0);
        n.addResistor(N::Yb, N::Wm, 0.0);
        [[maybe_unused]] const int last = n.addResistor(N::Wm, N::Gnd, 0.0);
        assert(first == TrebleUpper && last == MiddleLower);
        n.addResistor(N::K, N::Sl, 33e3);
        n.addCapacitor(N::T, N::K, 470e-12);
        n.addCapacitor(N::X, N::Sl, 22e-9);
        n.addCapacitor(N::Wm, N::Sl, 22e-9);
        n.addPort(N::K, N::In, N::In, N::K);
        n.addPort(N::K, N::BPlus, N::BPlus, N::K);
        return n;
    }
};

} // namespace torvik
