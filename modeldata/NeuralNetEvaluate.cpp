#include "modeldata/NeuralNet.h"

#include <cmath>

namespace torvik {

namespace {

// Every sum starts from the bias and adds the rounded products in index order
// (the build disables fused multiply-add), so results are reproducible bit for bit.

// Output neuron o before its clamp.
inline double outputActivation(const NeuralNet& net, unsigned o)
{
    const unsigned h = net.hiddenCount;
    const double* w = net.outWeights + o * h;
    double s = net.outBias[o];
    for (unsigned i = 0; i < h; ++i)
        s = s + net.hiddenOut[i] * w[i];
    return net.outputSlope * s;
}

// Softsign activation a / (|a| + 1) of every hidden neuron into hiddenOut.
inline void hiddenLayer(NeuralNet& net, const double* x)
{
    const unsigned n = net.inputCount;
    for (unsigned i = 0; i < net.hiddenCount; ++i) {
        const double* w = net.hiddenWeights + i * n;
        double s = net.hiddenBias[i];
        for (unsigned j = 0; j < n; ++j)
            s = s + x[j] * w[j];
        const double a = net.hiddenSlope * s;
        net.hiddenOut[i] = a / (std::fabs(a) + 1.0);
    }
}

} // namespace

// The clamps use ordered comparisons so that NaN passes through unchanged.
void evaluateBipolar(NeuralNet& net, const double* x, double* slots)
{
    hiddenLayer(net, x);
    for (unsigned o = 0; o < net.outputCount; ++o) {
        const double v = outputActivation(net, o);
        net.netOut[o] = v < -1.0 ? -1.0 : (v > 1.0 ? 1.0 : v);
    }
    unsigned t = 0;
    for (unsigned slot = 0; slot < net.slotCount && t < net.outputCount; ++slot) {
        if (net.slotMask[slot] == 1) {
            slots[slot] = net.outRange[t] * net.netOut[t] + net.outMin[t];
            t = t + 1;
        }
    }
}

void evaluateUnipolar(NeuralNet& net, const double* x, double* slots)
{
    hiddenLayer(net, x);
    for (unsigned o = 0; o < net.outputCount; ++o) {
        const double v = outputActivation(net, o);
        net.netOut[o] = v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
    }
    for (unsigned slot = 0; slot < net.slotCount && slot < net.outputCount; ++slot)
        slots[slot] = net.outRange[slot] * net.netOut[slot] + net.outMin[slot];
}

} // namespace torvik
