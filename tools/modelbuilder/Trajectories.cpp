#include "tools/modelbuilder/Trajectories.h"

#include "model/ExactChain.h"
#include "tools/common/GuitarSignal.h"

#include <memory>

namespace torvik::builder {

std::vector<std::vector<double>> excitationSet(double rate, double seconds) {
    std::vector<std::vector<double>> set;
    // Denser at the levels guitars mostly play at, so the networks are most exact there.
    const double peaks[] = {0.05, 0.15, 0.3, 0.6, 1.0, 1.5, 3.0, 4.5};
    std::uint32_t seed = 11;
    for (double peak : peaks) {
        GuitarSignalOptions o;
        o.sampleRate = rate;
        o.seconds = seconds;
        o.peak = peak;
        o.seed = seed++;
        set.push_back(makeGuitarSignal(o));
    }
    return set;
}

ChainTraces traceChain(TubeFamily family, double rate, unsigned gain, unsigned tone,
                       const std::vector<std::vector<double>>& signals, int keepEvery) {
    ChainTraces traces;
    auto chain = std::make_unique<ExactChain>();
    chain->setTubeFamily(family);
    chain->setSampleRate(rate);
    chain->setGainPosition(gain);
    chain->setTonePosition(tone);
    for (const auto& signal : signals) {
        const ChainRestingPoint rest = chain->rest();
        traces.restingBlock3Output = rest.b3.y;
        for (std::size_t n = 0; n < signal.size(); ++n) {
            chain->processSample(signal[n]);
            if (n % keepEvery) continue;
            auto record = [](auto& trace, const auto& block) {
                typename std::decay_t<decltype(trace.p)>::value_type p{}, i{};
                for (std::size_t k = 0; k < p.size(); ++k) {
                    p[k] = block.p[k];
                    i[k] = block.i[k];
                }
                trace.p.push_back(p);
                trace.i.push_back(i);
            };
            record(traces.b1, chain->b1);
            record(traces.b2, chain->b2);
            record(traces.b3, chain->b3);
            record(traces.b4, chain->b4);
        }
    }
    return traces;
}

} // namespace torvik::builder
