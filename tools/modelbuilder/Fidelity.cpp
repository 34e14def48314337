#include "tools/modelbuilder/Fidelity.h"

#include "model/ExactChain.h"
#include "model/ModelChain.h"
#include "model/ModelFileNames.h"
#include "tools/common/GuitarSignal.h"

#include <cmath>
#include <memory>

namespace torvik::builder {

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
    const double rest = exact->rest().b4.y;

    GuitarSignalOptions o;
    o.sampleRate = c.rate;
    o.seconds = c.seconds;
    o.peak = c.peak;
    o.seed = 99;
    const std::vector<double> input = makeGuitarSignal(o);
    double error = 0.0, signal = 0.0;
    for (double v : input) {
        const double e = exact->processSample(v);
        const double n = net->processSample(v);
        error += (n - e) * (n - e);
        signal += (e - rest) * (e - rest);
    }
    result.errorToSignalDb = 10.0 * std::log10(error / std::max(signal, 1e-300));
    return result;
}

} // namespace torvik::builder
