#pragma once

#include <cstdint>
#include <vector>

namespace torvik {

// Number of weights and biases of a fully connected network with the given
// input count, hidden layer sizes and output count:
// (s0 + 1)*s1 + (s1 + 1)*s2 + ... + (sL + 1)*q, s0 being the input count.
// Saturates at UINT64_MAX instead of wrapping.
uint64_t weightCount(uint64_t inputs, const std::vector<uint32_t>& layerSizes, uint64_t outputs);

// Sum of the hidden layer sizes.
uint64_t hiddenNeuronCount(const std::vector<uint32_t>& layerSizes);

// The same counts in 32-bit wrapping arithmetic, as the length words use them.
uint32_t weightCount32(uint32_t inputs, const std::vector<uint32_t>& layerSizes, uint32_t outputs);
uint32_t hiddenNeuronCount32(const std::vector<uint32_t>& layerSizes);

} // namespace torvik
