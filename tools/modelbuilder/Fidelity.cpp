#include "tools/modelbuilder/Fidelity.h"

#include "model/ExactChain.h"
#include "model/ModelChain.h"
#include "model/ModelFileNames.h"
#include "tools/common/GuitarSignal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace torvik::builder {
namespace {

template <class NetworkBlock, class ExactBlockType>
double stepEither(bool network, NetworkBlock& n, ExactBlockType& e, double in) {
    if (network) {
        n.u[0] = in;
        n.step();
        return n.y[0];
    }
    e.u[0] = in;
    e.step();
    return e.y[0];
}

// One sample through blocks 1 to 4, each by its network or exactly; every block's output.
std::array<double, 4> mixedSample(ModelChain& net, ExactChain& exact, unsigned mask, double in) {
    std::array<double, 4> y;
    y[0] = stepEither(mask & 1u, net.b1(), exact.b1, in);
    y[1] = stepEither(mask & 2u, net.b2(), exact.b2, y[0]);
    y[2] = stepEither(mask & 4u, net.b3(), exact.b3, y[1]);
    y[3] = stepEither(mask & 8u, net.b4(), exact.b4, y[2]);
    return y;
}

} // namespace

FidelityResult measureFidelity(const std::string& folder, TubeFamily family, const FidelityCase& c) {
    FidelityResult result;
    result.settings = c;
    const unsigned tone = TonePots::index(c.treble, c.bass, c.middle);

    auto net = std::make_unique<ModelChain>();
    LoadResult r = net->b1().loadModel(modelFilePath(folder, family, 1));
    if (r) r = net->b2().loadModel(modelFilePath(folder, family, 2));
    if (r) r = net->b3().loadModel(modelFilePath(folder, family, 3, long(c.rate)));
    if (r) r = net->b4().loadModel(modelFilePath(folder, family, 4));
    if (!r) {
        result.errorToSignalDb = INFINITY;
        result.problem = r.message;
        return result;
    }
    net->setSampleRate(c.rate);
    net->b1().setGainPosition(c.gain);
    net->b2().setGainPosition(c.gain);
    net->b3().applyPosition();
    net->b4().setTonePosition(tone);

    auto exact = std::make_unique<ExactChain>();
    exact->setTubeFamily(family);
    exact->setSampleRate(c.rate);
    exact->setGainPosition(c.gain);
    exact->setTonePosition(tone);
    const ChainRestingPoint restingPoint = exact->rest();
    const int after = std::clamp(c.compareAfterBlock, 1, 4) - 1;
    const double rest = std::array<double, 4>{restingPoint.b1.y, restingPoint.b2.y, restingPoint.b3.y, restingPoint.b4.y}[after];
    auto mixed = std::make_unique<ExactChain>(*exact);

    GuitarSignalOptions o;
    o.sampleRate = c.rate;
    o.seconds = c.seconds;
    o.peak = c.peak;
    o.seed = 99;
    const std::vector<double> input = makeGuitarSignal(o);
    double error = 0.0, signal = 0.0;
    for (double v : input) {
        const double e = mixedSample(*net, *exact, 0u, v)[after];
        const double n = mixedSample(*net, *mixed, c.networkBlocks, v)[after];
        error += (n - e) * (n - e);
        signal += (e - rest) * (e - rest);
    }
    result.errorToSignalDb = 10.0 * std::log10(error / std::max(signal, 1e-300));
    return result;
}

} // namespace torvik::builder
