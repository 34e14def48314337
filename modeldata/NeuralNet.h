#pragma once

#include <cstdint>

namespace torvik {

// One network with one hidden layer, in double precision, ready for per-sample
// evaluation. Every array lives in a single 16-byte aligned allocation owned by
// the record. Weight matrices are row-major: hiddenWeights[i * n + j] is the
// weight of input j into hidden neuron i, outWeights[o * h + i] that of hidden
// neuron i into output o.
struct NeuralNet {
    double* outWeights = nullptr;     // q x h
    double* hiddenWeights = nullptr;  // h x n, input normalisation folded in
    uint8_t hiddenCount = 0;          // h
    uint8_t inputCount = 0;           // n
    uint8_t outputCount = 0;          // q
    uint8_t slotCount = 0;            // M
    double hiddenSlope = 0.0;
    double outputSlope = 0.0;
    const uint8_t* slotMask = nullptr; // M bytes owned by the block; 1 = slot produced
    double* hiddenBias = nullptr;     // h, input normalisation folded in
    double* hiddenOut = nullptr;      // h, scratch
    double* outBias = nullptr;        // q
    double* netOut = nullptr;         // q, scratch
    double* boxHigh = nullptr;        // n
    double* boxLow = nullptr;         // n
    double* outMax = nullptr;         // q
    double* outMin = nullptr;         // q
    double* outRange = nullptr;       // q

    NeuralNet() = default;
    NeuralNet(NeuralNet&& other) noexcept;
    NeuralNet& operator=(NeuralNet&& other) noexcept;
    NeuralNet(const NeuralNet&) = delete;
    NeuralNet& operator=(const NeuralNet&) = delete;
    ~NeuralNet();

private:
    friend void initNet(NeuralNet&, unsigned, unsigned, unsigned, double, double);
    void swap(NeuralNet& other) noexcept;
    void release() noexcept;

    void* storage_ = nullptr;
};

// Smallest output range kept for a network whose outMax lies just above outMin:
// the single-precision value nearest 1e-8.
constexpr double minimumOutputRange = static_cast<double>(1e-8f);

// Stores counts and slopes, clears slotCount and slotMask and allocates every
// array (zero-filled). Counts are kept in 8 bits; they must lie in 1..255.
void initNet(NeuralNet& net, unsigned n, unsigned q, unsigned h, double hiddenSlope, double outputSlope);

// Stores the input box and output range and folds the input normalisation
// x' = 2 (x - lo) / (hi - lo) - 1 into the hidden weights and biases, so that
// evaluation takes raw inputs. An input with hi == lo counts as x' = -1.
void foldNormalisation(NeuralNet& net, const double* boxLow, const double* boxHigh, const double* inMin,
    const double* inMax, const double* outMin, const double* outMax);

// Evaluates the network on x (n values) with outputs clamped to -1..1 and
// writes them, scaled to the output range, to the slots whose mask byte is 1,
// in order. Other slots keep their values. Allocates nothing.
void evaluateBipolar(NeuralNet& net, const double* x, double* slots);

// The same with outputs clamped to 0..1, written to every slot without a mask.
void evaluateUnipolar(NeuralNet& net, const double* x, double* slots);

} // namespace torvik
