#include "modeldata/NetworkSet.h"

namespace torvik {

namespace {

// The shape a block evaluates, whatever the file's own counts.
struct Shape {
    unsigned inputs;
    unsigned outputs;
    unsigned slots;
};

struct NetSource {
    const std::vector<float>& boxLow;
    const std::vector<float>& boxHigh;
    const std::vector<float>& inMin;
    const std::vector<float>& inMax;
    const std::vector<float>& outMin;
    const std::vector<float>& outMax;
    const std::vector<uint32_t>& layerSizes;
    const std::vector<float>& weights;
    float hiddenSlope;
    float outputSlope;
};

bool buildable(const NetSource& s, const Shape& shape)
{
    if (shape.inputs < 1 || shape.inputs > 255 || s.layerSizes.empty())
        return false;
    const uint64_t h = s.layerSizes[0];
    const uint64_t n = shape.inputs;
    const uint64_t q = shape.outputs;
    return h >= 1 && h <= 255 && s.boxLow.size() >= n && s.boxHigh.size() >= n && s.inMin.size() >= n
        && s.inMax.size() >= n && s.outMin.size() >= q && s.outMax.size() >= q
        && s.weights.size() >= (n + 1) * h + (h + 1) * q;
}

std::vector<double> widened(const std::vector<float>& values, unsigned count)
{
    return std::vector<double>(values.begin(), values.begin() + count);
}

void build(NeuralNet& net, const NetSource& s, const Shape& shape, const uint8_t* outputMask)
{
    const unsigned n = shape.inputs;
    const unsigned q = shape.outputs;
    const unsigned h = s.layerSizes[0];
    initNet(net, n, q, h, s.hiddenSlope, s.outputSlope);

    std::size_t t = 0;
    for (unsigned i = 0; i < h; ++i) {
        for (unsigned j = 0; j < n; ++j)
            net.hiddenWeights[i * n + j] = s.weights[t++];
        net.hiddenBias[i] = s.weights[t++];
    }
    for (unsigned o = 0; o < q; ++o) {
        for (unsigned i = 0; i < h; ++i)
            net.outWeights[o * h + i] = s.weights[t++];
        net.outBias[o] = s.weights[t++];
    }

    const auto boxLow = widened(s.boxLow, n), boxHigh = widened(s.boxHigh, n);
    const auto inMin = widened(s.inMin, n), inMax = widened(s.inMax, n);
    const auto outMin = widened(s.outMin, q), outMax = widened(s.outMax, q);
    foldNormalisation(net, boxLow.data(), boxHigh.data(), inMin.data(), inMax.data(), outMin.data(), outMax.data());

    net.slotCount = static_cast<uint8_t>(shape.slots);
    net.slotMask = outputMask;
}

NetSource sourceOf(const PCAModelNet& net)
{
    return {net.boxLow, net.boxHigh, net.inMin, net.inMax, net.outMin, net.outMax, net.layerSizes,
        net.weights, net.hiddenSteepness.empty() ? 0.0f : net.hiddenSteepness[0],
        net.outputSteepness.empty() ? 0.0f : net.outputSteepness[0]};
}

NetSource sourceOf(const ModelNet& net)
{
    return {net.boxLow, net.boxHigh, net.inMin, net.inMax, net.outMin, net.outMax, net.layerSizes,
        net.weights, net.hiddenSteepness, net.outputSteepness};
}

Shape shapeOf(const PCAModelPosition& position)
{
    return {position.featureCount, 4, 4};
}

Shape shapeOf(const ModelPosition&)
{
    return {2, 2, 2};
}

template <typename File> std::vector<NeuralNet> buildAll(const File& file, const uint8_t* outputMask)
{
    if (file.groups.empty())
        return {};
    std::size_t total = 0;
    for (const auto& position : file.groups[0].positions) {
        for (const auto& net : position.nets)
            if (!buildable(sourceOf(net), shapeOf(position)))
                return {};
        total += position.nets.size();
    }
    std::vector<NeuralNet> records(total);
    std::size_t next = 0;
    for (const auto& position : file.groups[0].positions)
        for (const auto& net : position.nets)
            build(records[next++], sourceOf(net), shapeOf(position), outputMask);
    return records;
}

template <typename File> NetworkRun runOf(const File& file, unsigned index)
{
    NetworkRun run;
    if (file.groups.empty())
        return run;
    const auto& positions = file.groups[0].positions;
    for (unsigned p = 0; p < positions.size(); ++p) {
        const auto count = static_cast<unsigned>(positions[p].nets.size());
        if (p == index) {
            run.length = count;
            break;
        }
        run.start += count;
    }
    return run;
}

} // namespace

std::vector<NeuralNet> buildNetworks(const PCAModelFileF& file, const uint8_t* outputMask)
{
    return buildAll(file, outputMask);
}

std::vector<NeuralNet> buildNetworks(const ModelFileF& file, const uint8_t* outputMask)
{
    return buildAll(file, outputMask);
}

NetworkRun runOfPosition(const PCAModelFileF& file, unsigned index)
{
    return runOf(file, index);
}

NetworkRun runOfPosition(const ModelFileF& file, unsigned index)
{
    return runOf(file, index);
}

} // namespace torvik
