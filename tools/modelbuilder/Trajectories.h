#pragma once

#include "model/TubeFamily.h"

#include <array>
#include <vector>

namespace torvik::builder {

// Port pre-voltages and exact port currents one block visited, sample by sample.
template <int V>
struct BlockTrace {
    std::vector<std::array<double, V>> p, i;

    void append(const BlockTrace& other) {
        p.insert(p.end(), other.p.begin(), other.p.end());
        i.insert(i.end(), other.i.begin(), other.i.end());
    }
    std::size_t size() const { return p.size(); }
};

struct ChainTraces {
    BlockTrace<4> b1, b2, b3;
    BlockTrace<2> b4;
    double restingBlock3Output = 0.0;

    void append(const ChainTraces& other) {
        b1.append(other.b1);
        b2.append(other.b2);
        b3.append(other.b3);
        b4.append(other.b4);
    }
};

// The excitation set: guitar takes from a whisper to three times a full-scale host sample at the
// highest input gain, with some headroom beyond.
std::vector<std::vector<double>> excitationSet(double rate, double seconds);

// Runs the exact chain from rest through every signal and records what each block visited,
// keeping every `keepEvery`-th sample.
ChainTraces traceChain(TubeFamily family, double rate, unsigned gain, unsigned tone,
                       const std::vector<std::vector<double>>& signals, int keepEvery);

} // namespace torvik::builder
