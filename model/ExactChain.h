#pragma once

#include "model/BlockTypes.h"
#include "model/ExactBlock.h"

namespace torvik {

// The resting point of a whole chain: each block at rest with its input at the previous
// block's resting output (block 1's input at 0 V).
struct ChainRestingPoint {
    ExactBlock<Block1Circuit>::Point b1;
    ExactBlock<Block2Circuit>::Point b2;
    ExactBlock<Block3Circuit>::Point b3;
    ExactBlock<Block4Circuit>::Point b4;
    bool converged = true;
};

// One channel of the preamp with every block solved exactly. Needs no model data.
class ExactChain {
public:
    ExactBlock<Block1Circuit> b1;
    ExactBlock<Block2Circuit> b2;
    ExactBlock<Block3Circuit> b3;
    ExactBlock<Block4Circuit> b4;

    void setTubeFamily(TubeFamily family);
    void setSampleRate(double fs);
    void setGainPosition(unsigned k);   // clamped to 0..16
    void setTonePosition(unsigned t);   // clamped to 0..3374

    // Solves the DC point of the chain at the present rate and positions without moving any state.
    ChainRestingPoint solveRestingPoint();
    // Solves it and puts every block there.
    ChainRestingPoint rest();

    double processSample(double in);
    NewtonStats stats() const;
};

} // namespace torvik
