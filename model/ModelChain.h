#pragma once

#include "model/BlockTypes.h"
#include "model/FastModelEigen.h"
#include "model/FastModelEigenWithStat.h"
#include "processor/Resampling.h"

#include <loki/HierarchyGenerators.h>
#include <loki/Typelist.h>

namespace torvik {

using FastBlock1 = FastModelEigen<Block1Circuit, Block1Solver, 1, 1, net_node_eigen>;
using FastBlock2 = FastModelEigen<Block2Circuit, Block2Solver, 1, 1, net_node_eigen>;
using FastBlock3 = FastModelEigen<Block3Circuit, Block3Solver, 1, 0, net_node_eigen>;
using FastBlock4 = FastModelEigenWithStat<Block4Circuit, Block4Solver, 0, 1, net_node_eigen>;

template <class T>
struct ModelHandler : public T {};

// One channel's preamp: the four network blocks in series, held as one object.
class ModelChain : public Loki::GenScatterHierarchy<LOKI_TYPELIST_4(FastBlock1, FastBlock2, FastBlock3, FastBlock4),
                                                    ModelHandler> {
public:
    template <class Block>
    Block& block() { return static_cast<ModelHandler<Block>&>(*this); }
    template <class Block>
    const Block& block() const { return static_cast<const ModelHandler<Block>&>(*this); }

    FastBlock1& b1() { return block<FastBlock1>(); }
    FastBlock2& b2() { return block<FastBlock2>(); }
    FastBlock3& b3() { return block<FastBlock3>(); }
    FastBlock4& b4() { return block<FastBlock4>(); }
    const FastBlock4& b4() const { return block<FastBlock4>(); }

    // Every block loaded and positioned: only then does audio pass.
    bool isReady() const {
        return block<FastBlock1>().isReady() && block<FastBlock2>().isReady() && block<FastBlock3>().isReady() &&
               block<FastBlock4>().isReady();
    }

    void setSampleRate(double fs) {
        b1().setSampleRate(fs);
        b2().setSampleRate(fs);
        b3().setSampleRate(fs);
        b4().setSampleRate(fs);
    }

    // One sample through blocks 1 to 4; silence while any block is not ready.
    double processSample(double in) {
        process(&in, 1);
        return in;
    }

    // n samples in place through blocks 1 to 4; the same results as one sample at a time.
    // The blocks are skewed by one sample: in pass t block 4 takes the sample block 3 gave in pass
    // t - 1, block 3 that of block 2, and so on, so the four steps of a pass do not wait on each
    // other and the processor overlaps them.
    void process(double* samples, int n) {
        if (!isReady()) {
            for (int k = 0; k < n; ++k) samples[k] = 0.0;
            return;
        }
        for (int t = 0; t < n + 3; ++t) pass(samples, t, n);
    }

    // Two chains (the two channels) at once: their passes interleave.
    static void processPair(ModelChain& a, double* sa, ModelChain& b, double* sb, int n) {
        if (!a.isReady() || !b.isReady()) {
            a.process(sa, n);
            b.process(sb, n);
            return;
        }
        for (int t = 0; t < n + 3; ++t) {
            a.pass(sa, t, n);
            b.pass(sb, t, n);
        }
    }

    // Resampling filters for running at L times the host rate, one pair per factor. A pair keeps
    // its history while another factor is in use.
    Interpolator<2> interpolator2;
    Interpolator<4> interpolator4;
    Interpolator<8> interpolator8;
    Interpolator<16> interpolator16;
    Decimator<2> decimator2;
    Decimator<4> decimator4;
    Decimator<8> decimator8;
    Decimator<16> decimator16;

    template <int L>
    Interpolator<L>& interpolator() {
        static_assert(L == 2 || L == 4 || L == 8 || L == 16, "oversampling factors are 2, 4, 8 and 16");
        if constexpr (L == 2) return interpolator2;
        else if constexpr (L == 4) return interpolator4;
        else if constexpr (L == 8) return interpolator8;
        else return interpolator16;
    }
    template <int L>
    Decimator<L>& decimator() {
        static_assert(L == 2 || L == 4 || L == 8 || L == 16, "oversampling factors are 2, 4, 8 and 16");
        if constexpr (L == 2) return decimator2;
        else if constexpr (L == 4) return decimator4;
        else if constexpr (L == 8) return decimator8;
        else return decimator16;
    }

private:
    // Pass t: block 4 finishes sample t - 3 (written back), block 1 starts sample t. Later blocks
    // go first, so each reads its predecessor's output of the pass before.
    void pass(double* samples, int t, int n) {
        FastBlock1& s1 = b1();
        FastBlock2& s2 = b2();
        FastBlock3& s3 = b3();
        FastBlock4& s4 = b4();
        if (t >= 3) {
            s4.u[0] = s3.y[0];
            s4.step();
            samples[t - 3] = s4.y[0];
        }
        if (t >= 2 && t - 2 < n) {
            s3.u[0] = s2.y[0];
            s3.step();
        }
        if (t >= 1 && t - 1 < n) {
            s2.u[0] = s1.y[0];
            s2.step();
        }
        if (t < n) {
            s1.u[0] = samples[t];
            s1.step();
        }
    }
};

} // namespace torvik
