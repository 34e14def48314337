#include "modeldata/PCAModelFileF.h"

#include "modeldata/FieldReader.h"
#include "modeldata/FieldWriter.h"
#include "modeldata/WeightCount.h"

namespace torvik {

namespace {

// Smallest number of bytes each record can occupy in a file, used to bound
// counts before anything is allocated.
constexpr uint64_t minGroupBytes = 16;

uint64_t minPositionBytes(uint64_t tableLength)
{
    return 40 + 8 * tableLength;
}

uint64_t minNetBytes(uint64_t k, uint64_t q)
{
    // Fixed fields, the six range arrays, q output slopes and at least q output weights.
    return 28 + 16 * k + 16 * q;
}

bool readNet(FieldReader& in, PCAModelNet& net, uint32_t k, uint32_t q)
{
    return in.value(net.length) && in.value(net.reserved) && in.array(net.boxLow, k)
        && in.array(net.boxHigh, k) && in.array(net.inMin, k) && in.array(net.inMax, k)
        && in.array(net.outMin, q) && in.array(net.outMax, q) && in.value(net.layerCount)
        && in.array(net.layerSizes, net.layerCount)
        && in.array(net.hiddenSteepness, hiddenNeuronCount(net.layerSizes))
        && in.array(net.outputSteepness, q) && in.array(net.weights, weightCount(k, net.layerSizes, q))
        && in.fixed(net.trailer);
}

bool readPosition(FieldReader& in, PCAModelPosition& p)
{
    if (!(in.value(p.length) && in.value(p.headerLength) && in.value(p.reserved) && in.value(p.netCount)
            && in.value(p.inputMaskLength) && in.value(p.outputMaskLength) && in.value(p.candidateCount)
            && in.value(p.secondWidth) && in.value(p.featureCount) && in.value(p.netOutputCount)))
        return false;
    const uint64_t k = p.featureCount;
    const uint64_t q = p.netOutputCount;
    if (!(in.array(p.inputMask, p.inputMaskLength) && in.array(p.outputMask, p.outputMaskLength)
            && in.array(p.projection, k * p.candidateCount) && in.array(p.secondMatrix, q * p.secondWidth)))
        return false;
    if (p.tableLength > 0 && !in.array(p.table, p.tableLength))
        return false;
    if (!in.fits(p.netCount, minNetBytes(k, q)))
        return false;
    if (p.netCount > 0)
        p.nets.assign(p.netCount, PCAModelNet(p.featureCount, p.netOutputCount));
    for (PCAModelNet& net : p.nets)
        if (!readNet(in, net, p.featureCount, p.netOutputCount))
            return false;
    return true;
}

bool readGroup(FieldReader& in, PCAModelGroup& group)
{
    if (!(in.value(group.length) && in.value(group.headerLength) && in.value(group.positionCount)
            && in.value(group.tableLength)))
        return false;
    if (!in.fits(group.positionCount, minPositionBytes(group.tableLength)))
        return false;
    if (group.positionCount == 0)
        return true;
    PCAModelPosition created;
    created.tableLength = group.tableLength;
    created.table.assign(group.tableLength, 0.0);
    group.positions.assign(group.positionCount, created);
    for (PCAModelPosition& position : group.positions)
        if (!readPosition(in, position))
            return false;
    return true;
}

bool consistent(const PCAModelNet& net, uint64_t k, uint64_t q)
{
    return net.boxLow.size() == k && net.boxHigh.size() == k && net.inMin.size() == k
        && net.inMax.size() == k && net.outMin.size() == q && net.outMax.size() == q
        && net.hiddenSteepness.size() == hiddenNeuronCount(net.layerSizes)
        && net.outputSteepness.size() == q && net.weights.size() == weightCount(k, net.layerSizes, q);
}

bool consistent(const PCAModelGroup& group)
{
    for (const PCAModelPosition& p : group.positions) {
        const uint64_t k = p.featureCount;
        const uint64_t q = p.netOutputCount;
        if (p.table.size() != group.tableLength || p.projection.size() != k * p.candidateCount
            || p.secondMatrix.size() != q * p.secondWidth)
            return false;
        for (const PCAModelNet& net : p.nets)
            if (!consistent(net, k, q))
                return false;
    }
    return true;
}

void fillLengths(PCAModelGroup& group)
{
    const uint32_t t = group.tableLength;
    group.positionCount = static_cast<uint32_t>(group.positions.size());
    group.headerLength = 16;
    group.length = group.headerLength;
    for (PCAModelPosition& p : group.positions) {
        const uint32_t k = p.featureCount;
        const uint32_t q = p.netOutputCount;
        p.tableLength = t;
        p.netCount = static_cast<uint32_t>(p.nets.size());
        p.inputMaskLength = static_cast<uint32_t>(p.inputMask.size());
        p.outputMaskLength = static_cast<uint32_t>(p.outputMask.size());
        p.headerLength = 4 * (10 + p.inputMaskLength + p.outputMaskLength
                                 + 2 * (k * p.candidateCount + q * p.secondWidth + t));
        p.length = p.headerLength;
        for (PCAModelNet& net : p.nets) {
            net.layerCount = static_cast<uint32_t>(net.layerSizes.size());
            const uint32_t h = hiddenNeuronCount32(net.layerSizes);
            const uint32_t w = weightCount32(k, net.layerSizes, q);
            net.length = 36 + 4 * (4 * k + 3 * q + net.layerCount + h + w);
            p.length += net.length;
        }
        group.length += p.length;
    }
}

void writeNet(FieldWriter& out, const PCAModelNet& net)
{
    out.value(net.length);
    out.value(net.reserved);
    out.array(net.boxLow);
    out.array(net.boxHigh);
    out.array(net.inMin);
    out.array(net.inMax);
    out.array(net.outMin);
    out.array(net.outMax);
    out.value(net.layerCount);
    out.array(net.layerSizes);
    out.array(net.hiddenSteepness);
    out.array(net.outputSteepness);
    out.array(net.weights);
    out.fixed(net.trailer);
}

void writeGroup(FieldWriter& out, const PCAModelGroup& group)
{
    out.value(group.length);
    out.value(group.headerLength);
    out.value(group.positionCount);
    out.value(group.tableLength);
    for (const PCAModelPosition& p : group.positions) {
        for (uint32_t word : {p.length, p.headerLength, p.reserved, p.netCount, p.inputMaskLength,
                 p.outputMaskLength, p.candidateCount, p.secondWidth, p.featureCount, p.netOutputCount})
            out.value(word);
        out.array(p.inputMask);
        out.array(p.outputMask);
        out.array(p.projection);
        out.array(p.secondMatrix);
        out.array(p.table);
        for (const PCAModelNet& net : p.nets)
            writeNet(out, net);
    }
}

} // namespace

PCAModelNet::PCAModelNet(uint32_t k, uint32_t q)
    : boxLow(k), boxHigh(k), inMin(k), inMax(k), outMin(q), outMax(q), outputSteepness(q),
      weights(static_cast<std::size_t>(weightCount(k, layerSizes, q)))
{
}

void PCAModelFileF::allocateGroups(uint32_t count)
{
    groups.clear();
    groups.resize(count);
}

uint32_t PCAModelFileF::readFrom(ByteSource& source, bool& complete)
{
    groups.clear();
    FieldReader in(source);
    uint32_t count = 0;
    if (in.value(count) && in.fits(count, minGroupBytes)) {
        allocateGroups(count);
        for (PCAModelGroup& group : groups)
            if (!readGroup(in, group))
                break;
    }
    complete = in.ok();
    return in.elements();
}

uint32_t PCAModelFileF::writeTo(ByteSink& sink)
{
    for (const PCAModelGroup& group : groups)
        if (!consistent(group))
            return 0;
    for (PCAModelGroup& group : groups)
        fillLengths(group);
    FieldWriter out(sink);
    out.value(static_cast<uint32_t>(groups.size()));
    for (const PCAModelGroup& group : groups)
        writeGroup(out, group);
    return out.elements();
}

} // namespace torvik
