#include "modeldata/WeightCount.h"

#include <limits>

namespace torvik {

namespace {

constexpr uint64_t saturated = std::numeric_limits<uint64_t>::max();

uint64_t addSaturating(uint64_t a, uint64_t b)
{
    return b > saturated - a ? saturated : a + b;
}

uint64_t connections(uint64_t from, uint64_t to)
{
    if (from == saturated)
        return to == 0 ? 0 : saturated;
    const uint64_t withBias = from + 1;
    if (to != 0 && withBias > saturated / to)
        return saturated;
    return withBias * to;
}

} // namespace

uint64_t weightCount(uint64_t inputs, const std::vector<uint32_t>& layerSizes, uint64_t outputs)
{
    uint64_t total = 0;
    uint64_t previous = inputs;
    for (uint32_t size : layerSizes) {
        total = addSaturating(total, connections(previous, size));
        previous = size;
    }
    return addSaturating(total, connections(previous, outputs));
}

uint64_t hiddenNeuronCount(const std::vector<uint32_t>& layerSizes)
{
    uint64_t total = 0;
    for (uint32_t size : layerSizes)
        total += size;
    return total;
}

uint32_t weightCount32(uint32_t inputs, const std::vector<uint32_t>& layerSizes, uint32_t outputs)
{
    uint32_t total = 0;
    uint32_t previous = inputs;
    for (uint32_t size : layerSizes) {
        total += (previous + 1u) * size;
        previous = size;
    }
    return total + (previous + 1u) * outputs;
}

uint32_t hiddenNeuronCount32(const std::vector<uint32_t>& layerSizes)
{
    uint32_t total = 0;
    for (uint32_t size : layerSizes)
        total += size;
    return total;
}

} // namespace torvik
