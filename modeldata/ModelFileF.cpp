#include "modeldata/ModelFileF.h"

#include "modeldata/FieldReader.h"
#include "modeldata/FieldWriter.h"
#include "modeldata/WeightCount.h"

namespace torvik {

namespace {

// Smallest number of bytes each record can occupy in a file, used to bound
// counts before anything is allocated.
constexpr uint64_t minGroupBytes = 24;

uint64_t minPositionBytes(uint64_t tableLength)
{
    return 16 + 8 * tableLength;
}

uint64_t minNetBytes(uint64_t n, uint64_t q)
{
    // Fixed fields, the six range arrays, and at least q output weights.
    return 36 + 16 * n + 12 * q;
}

bool readNet(FieldReader& in, ModelNet& net, uint32_t n, uint32_t q)
{
    return in.value(net.length) && in.value(net.reserved) && in.array(net.boxLow, n)
        && in.array(net.boxHigh, n) && in.array(net.inMin, n) && in.array(net.inMax, n)
        && in.array(net.outMin, q) && in.array(net.outMax, q) && in.value(net.hiddenSteepness)
        && in.value(net.outputSteepness) && in.value(net.layerCount)
        && in.array(net.layerSizes, net.layerCount)
        && in.array(net.weights, weightCount(n, net.layerSizes, q)) && in.fixed(net.trailer);
}

bool readPosition(FieldReader& in, ModelPosition& position)
{
    if (!(in.value(position.length) && in.value(position.headerLength) && in.value(position.reserved)
            && in.value(position.netCount)))
        return false;
    if (position.tableLength > 0 && !in.array(position.table, position.tableLength))
        return false;
    const uint32_t n = position.inputCount;
    const uint32_t q = position.outputCount;
    if (!in.fits(position.netCount, minNetBytes(n, q)))
        return false;
    if (position.netCount > 0)
        position.nets.assign(position.netCount, ModelNet(n, q));
    for (ModelNet& net : position.nets)
        if (!readNet(in, net, n, q))
            return false;
    return true;
}

bool readGroup(FieldReader& in, ModelGroup& group)
{
    if (!(in.value(group.length) && in.value(group.headerLength) && in.value(group.inputCount)
            && in.value(group.outputCount) && in.value(group.positionCount) && in.value(group.tableLength)))
        return false;
    if (!in.fits(group.positionCount, minPositionBytes(group.tableLength)))
        return false;
    if (group.positionCount == 0)
        return true;
    ModelPosition created;
    created.inputCount = group.inputCount;
    created.outputCount = group.outputCount;
    created.tableLength = group.tableLength;
    created.table.assign(group.tableLength, 0.0);
    group.positions.assign(group.positionCount, created);
    for (ModelPosition& position : group.positions)
        if (!readPosition(in, position))
            return false;
    return true;
}

bool consistent(const ModelNet& net, uint32_t n, uint32_t q)
{
    return net.boxLow.size() == n && net.boxHigh.size() == n && net.inMin.size() == n
        && net.inMax.size() == n && net.outMin.size() == q && net.outMax.size() == q
        && net.weights.size() == weightCount(n, net.layerSizes, q);
}

bool consistent(const ModelGroup& group)
{
    for (const ModelPosition& position : group.positions) {
        if (position.table.size() != group.tableLength)
            return false;
        for (const ModelNet& net : position.nets)
            if (!consistent(net, group.inputCount, group.outputCount))
                return false;
    }
    return true;
}

void fillLengths(ModelGroup& group)
{
    const uint32_t n = group.inputCount;
    const uint32_t q = group.outputCount;
    group.positionCount = static_cast<uint32_t>(group.positions.size());
    group.headerLength = 20;
    group.length = group.headerLength;
    for (ModelPosition& position : group.positions) {
        position.inputCount = n;
        position.outputCount = q;
        position.tableLength = group.tableLength;
        position.netCount = static_cast<uint32_t>(position.nets.size());
        position.headerLength = 40;
        position.length = position.headerLength;
        for (ModelNet& net : position.nets) {
            net.layerCount = static_cast<uint32_t>(net.layerSizes.size());
            const uint32_t w = weightCount32(n, net.layerSizes, q);
            net.length = 36 + 4 * (4 * n + 2 * q + net.layerCount + w);
            position.length += net.length;
        }
        group.length += position.length;
    }
}

void writeGroup(FieldWriter& out, const ModelGroup& group)
{
    out.value(group.length);
    out.value(group.headerLength);
    out.value(group.inputCount);
    out.value(group.outputCount);
    out.value(group.positionCount);
    out.value(group.tableLength);
    for (const ModelPosition& position : group.positions) {
        out.value(position.length);
        out.value(position.headerLength);
        out.value(position.reserved);
        out.value(position.netCount);
        out.array(position.table);
        for (const ModelNet& net : position.nets) {
            out.value(net.length);
            out.value(net.reserved);
            out.array(net.boxLow);
            out.array(net.boxHigh);
            out.array(net.inMin);
            out.array(net.inMax);
            out.array(net.outMin);
            out.array(net.outMax);
            out.value(net.hiddenSteepness);
            out.value(net.outputSteepness);
            out.value(net.layerCount);
            out.array(net.layerSizes);
            out.array(net.weights);
            out.fixed(net.trailer);
        }
    }
}

} // namespace

ModelNet::ModelNet(uint32_t n, uint32_t q)
    : boxLow(n), boxHigh(n), inMin(n), inMax(n), outMin(q), outMax(q),
      weights(static_cast<std::size_t>(weightCount(n, layerSizes, q)))
{
}

void ModelFileF::allocateGroups(uint32_t count)
{
    groups.clear();
    groups.resize(count);
}

uint32_t ModelFileF::readFrom(ByteSource& source, bool& complete)
{
    groups.clear();
    FieldReader in(source);
    uint32_t count = 0;
    if (in.value(count) && in.fits(count, minGroupBytes)) {
        allocateGroups(count);
        for (ModelGroup& group : groups)
            if (!readGroup(in, group))
                break;
    }
    complete = in.ok();
    return in.elements();
}

uint32_t ModelFileF::writeTo(ByteSink& sink)
{
    for (const ModelGroup& group : groups)
        if (!consistent(group))
            return 0;
    for (ModelGroup& group : groups)
        fillLengths(group);
    FieldWriter out(sink);
    out.value(static_cast<uint32_t>(groups.size()));
    for (const ModelGroup& group : groups)
        writeGroup(out, group);
    return out.elements();
}

} // namespace torvik
