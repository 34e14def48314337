#include "tools/modelbuilder/NetworkRecords.h"

#include <cfloat>

namespace torvik::builder {
namespace {

template <class Record>
void writeWeights(Record& r, const NetworkWeights& w, unsigned outputs) {
    const int n = w.inputs(), h = w.hidden(), q = w.outputs();
    r.layerCount = 1;
    r.layerSizes = {static_cast<uint32_t>(h)};
    r.weights.clear();
    for (int i = 0; i < h; ++i) {
        for (int j = 0; j < n; ++j) r.weights.push_back(static_cast<float>(w.W1(i, j)));
        r.weights.push_back(static_cast<float>(w.b1[i]));
    }
    for (unsigned o = 0; o < outputs; ++o) {
        for (int i = 0; i < h; ++i) r.weights.push_back(int(o) < q ? static_cast<float>(w.W2(o, i)) : 0.0f);
        r.weights.push_back(int(o) < q ? static_cast<float>(w.b2[o]) : 0.0f);
    }
}

template <class Record>
void writeRanges(Record& r, const InputScale& in, const OutputScale& out, unsigned outputs) {
    r.inMin = in.lo;
    r.inMax = in.hi;
    r.outMin.assign(outputs, 0.0f);
    r.outMax.assign(outputs, 0.0f);
    for (std::size_t o = 0; o < out.outMin.size() && o < outputs; ++o) {
        r.outMin[o] = out.outMin[o];
        r.outMax[o] = out.outMax[o];
    }
}

} // namespace

PCAModelNet pcaNetRecord(const NetworkWeights& w, const InputScale& in, const OutputScale& out,
                         const std::vector<float>& boxLow, const std::vector<float>& boxHigh) {
    PCAModelNet r(static_cast<uint32_t>(w.inputs()), kPcaOutputs);
    r.boxLow = boxLow;
    r.boxHigh = boxHigh;
    writeRanges(r, in, out, kPcaOutputs);
    writeWeights(r, w, kPcaOutputs);
    r.hiddenSteepness.assign(w.hidden(), 1.0f);
    r.outputSteepness.assign(kPcaOutputs, 1.0f);
    return r;
}

ModelNet stdNetRecord(const NetworkWeights& w, const InputScale& in, const OutputScale& out) {
    ModelNet r(static_cast<uint32_t>(w.inputs()), static_cast<uint32_t>(w.outputs()));
    r.boxLow.assign(w.inputs(), -FLT_MAX);
    r.boxHigh.assign(w.inputs(), FLT_MAX);
    writeRanges(r, in, out, static_cast<unsigned>(w.outputs()));
    writeWeights(r, w, static_cast<unsigned>(w.outputs()));
    r.hiddenSteepness = 1.0f;
    r.outputSteepness = 1.0f;
    return r;
}

} // namespace torvik::builder
