#include "modeldata/NeuralNet.h"

#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

namespace torvik {

namespace {

constexpr std::align_val_t storageAlignment{16};

// Each array starts on a 16-byte boundary: its length is rounded up to an even
// number of doubles when the allocation is laid out.
std::size_t padded(std::size_t count)
{
    return (count + 1) & ~std::size_t(1);
}

} // namespace

NeuralNet::NeuralNet(NeuralNet&& other) noexcept
{
    swap(other);
}

NeuralNet& NeuralNet::operator=(NeuralNet&& other) noexcept
{
    if (this != &other) {
        release();
        swap(other);
    }
    return *this;
}

NeuralNet::~NeuralNet()
{
    release();
}

void NeuralNet::swap(NeuralNet& o) noexcept
{
    std::swap(outWeights, o.outWeights);
    std::swap(hiddenWeights, o.hiddenWeights);
    std::swap(hiddenCount, o.hiddenCount);
    std::swap(inputCount, o.inputCount);
    std::swap(outputCount, o.outputCount);
    std::swap(slotCount, o.slotCount);
    std::swap(hiddenSlope, o.hiddenSlope);
    std::swap(outputSlope, o.outputSlope);
    std::swap(slotMask, o.slotMask);
    std::swap(hiddenBias, o.hiddenBias);
    std::swap(hiddenOut, o.hiddenOut);
    std::swap(outBias, o.outBias);
    std::swap(netOut, o.netOut);
    std::swap(boxHigh, o.boxHigh);
    std::swap(boxLow, o.boxLow);
    std::swap(outMax, o.outMax);
    std::swap(outMin, o.outMin);
    std::swap(outRange, o.outRange);
    std::swap(storage_, o.storage_);
}

void NeuralNet::release() noexcept
{
    if (storage_ != nullptr)
        ::operator delete(storage_, storageAlignment);
    storage_ = nullptr;
    outWeights = hiddenWeights = hiddenBias = hiddenOut = outBias = netOut = nullptr;
    boxHigh = boxLow = outMax = outMin = outRange = nullptr;
    hiddenCount = inputCount = outputCount = slotCount = 0;
    hiddenSlope = outputSlope = 0.0;
    slotMask = nullptr;
}

void initNet(NeuralNet& net, unsigned n, unsigned q, unsigned h, double hiddenSlope, double outputSlope)
{
    NeuralNet fresh;
    fresh.hiddenCount = static_cast<uint8_t>(h);
    fresh.inputCount = static_cast<uint8_t>(n);
    fresh.outputCount = static_cast<uint8_t>(q);
    fresh.slotCount = 0;
    fresh.hiddenSlope = hiddenSlope;
    fresh.outputSlope = outputSlope;

    const std::size_t hh = fresh.hiddenCount;
    const std::size_t nn = fresh.inputCount;
    const std::size_t qq = fresh.outputCount;
    double* NeuralNet::*const layout[] = {&NeuralNet::outWeights, &NeuralNet::hiddenWeights,
        &NeuralNet::hiddenBias, &NeuralNet::hiddenOut, &NeuralNet::outBias, &NeuralNet::netOut,
        &NeuralNet::boxHigh, &NeuralNet::boxLow, &NeuralNet::outMax, &NeuralNet::outMin, &NeuralNet::outRange};
    const std::size_t lengths[] = {qq * hh, hh * nn, hh, hh, qq, qq, nn, nn, qq, qq, qq};

    std::size_t total = 0;
    for (std::size_t length : lengths)
        total += padded(length);
    if (total > 0) {
        fresh.storage_ = ::operator new(total * sizeof(double), storageAlignment);
        std::memset(fresh.storage_, 0, total * sizeof(double));
        double* cursor = static_cast<double*>(fresh.storage_);
        for (std::size_t a = 0; a < std::size(lengths); ++a) {
            fresh.*layout[a] = cursor;
            cursor += padded(lengths[a]);
        }
    }
    net = std::move(fresh);
}

void foldNormalisation(NeuralNet& net, const double* boxLow, const double* boxHigh, const double* inMin,
    const double* inMax, const double* outMin, const double* outMax)
{
    const unsigned n = net.inputCount;
    const unsigned q = net.outputCount;
    const unsigned h = net.hiddenCount;
    for (unsigned j = 0; j < n; ++j) {
        net.boxHigh[j] = boxHigh[j];
        net.boxLow[j] = boxLow[j];
    }
    for (unsigned o = 0; o < q; ++o) {
        net.outMax[o] = outMax[o];
        net.outMin[o] = outMin[o];
        const double d = outMax[o] - outMin[o];
        net.outRange[o] = (outMax[o] > outMin[o] && d < minimumOutputRange) ? minimumOutputRange : d;
    }
    for (unsigned i = 0; i < h; ++i) {
        for (unsigned j = 0; j < n; ++j) {
            const double lo = inMin[j];
            const double hi = inMax[j];
            const double w = net.hiddenWeights[i * n + j];
            if (hi == lo) {
                net.hiddenBias[i] = net.hiddenBias[i] - w;
                net.hiddenWeights[i * n + j] = 0.0;
            } else {
                net.hiddenBias[i] = (net.hiddenBias[i] - ((w * 2.0) * lo) / (hi - lo)) - w;
                net.hiddenWeights[i * n + j] = (w * 2.0) / (hi - lo);
            }
        }
    }
}

} // namespace torvik
