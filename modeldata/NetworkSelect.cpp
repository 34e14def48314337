#include "modeldata/NetworkSet.h"

namespace torvik {

namespace {

bool boxContains(const NeuralNet& net, const double* z)
{
    for (unsigned j = 0; j < net.inputCount; ++j)
        if (!(z[j] > net.boxLow[j] && net.boxHigh[j] > z[j]))
            return false;
    return true;
}

// Evaluated when there is nothing to choose from: a record without neurons or
// slots, whose evaluation writes nothing.
NeuralNet& emptyRecord()
{
    static NeuralNet empty;
    return empty;
}

} // namespace

NeuralNet& selectNetwork(NeuralNet* run, unsigned runLength, NeuralNet*& lastUsed, const double* z, double* slots)
{
    for (unsigned r = 0; r < runLength; ++r) {
        if (boxContains(run[r], z)) {
            lastUsed = &run[r];
            evaluateBipolar(run[r], z, slots);
            return run[r];
        }
    }
    NeuralNet& fallback = lastUsed != nullptr ? *lastUsed : (runLength > 0 ? run[0] : emptyRecord());
    evaluateBipolar(fallback, z, slots);
    return fallback;
}

} // namespace torvik
