#include "modeldata/ModelFileF.h"
#include "modeldata/PCAModelFileF.h"

#include <cstring>

namespace torvik {

namespace {

template <typename T> bool sameBits(const std::vector<T>& a, const std::vector<T>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

template <typename T> bool sameRecords(const std::vector<T>& a, const std::vector<T>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i]))
            return false;
    return true;
}

} // namespace

bool operator==(const ModelNet& a, const ModelNet& b)
{
    return a.length == b.length && a.reserved == b.reserved && sameBits(a.boxLow, b.boxLow)
        && sameBits(a.boxHigh, b.boxHigh) && sameBits(a.inMin, b.inMin) && sameBits(a.inMax, b.inMax)
        && sameBits(a.outMin, b.outMin) && sameBits(a.outMax, b.outMax)
        && sameBits(a.hiddenSteepness, b.hiddenSteepness) && sameBits(a.outputSteepness, b.outputSteepness)
        && a.layerCount == b.layerCount && a.layerSizes == b.layerSizes && sameBits(a.weights, b.weights)
        && a.trailer == b.trailer;
}

bool operator==(const ModelPosition& a, const ModelPosition& b)
{
    return a.length == b.length && a.headerLength == b.headerLength && a.reserved == b.reserved
        && a.netCount == b.netCount && a.inputCount == b.inputCount && a.outputCount == b.outputCount
        && a.tableLength == b.tableLength && sameBits(a.table, b.table) && sameRecords(a.nets, b.nets);
}

bool operator==(const ModelGroup& a, const ModelGroup& b)
{
    return a.length == b.length && a.headerLength == b.headerLength && a.inputCount == b.inputCount
        && a.outputCount == b.outputCount && a.positionCount == b.positionCount
        && a.tableLength == b.tableLength && sameRecords(a.positions, b.positions);
}

bool operator==(const PCAModelNet& a, const PCAModelNet& b)
{
    return a.length == b.length && a.reserved == b.reserved && sameBits(a.boxLow, b.boxLow)
        && sameBits(a.boxHigh, b.boxHigh) && sameBits(a.inMin, b.inMin) && sameBits(a.inMax, b.inMax)
        && sameBits(a.outMin, b.outMin) && sameBits(a.outMax, b.outMax) && a.layerCount == b.layerCount
        && a.layerSizes == b.layerSizes && sameBits(a.hiddenSteepness, b.hiddenSteepness)
        && sameBits(a.outputSteepness, b.outputSteepness) && sameBits(a.weights, b.weights)
        && a.trailer == b.trailer;
}

bool operator==(const PCAModelPosition& a, const PCAModelPosition& b)
{
    return a.length == b.length && a.headerLength == b.headerLength && a.reserved == b.reserved
        && a.netCount == b.netCount && a.inputMaskLength == b.inputMaskLength
        && a.outputMaskLength == b.outputMaskLength && a.candidateCount == b.candidateCount
        && a.secondWidth == b.secondWidth && a.featureCount == b.featureCount
        && a.netOutputCount == b.netOutputCount && a.tableLength == b.tableLength
        && a.inputMask == b.inputMask && a.outputMask == b.outputMask && sameBits(a.projection, b.projection)
        && sameBits(a.secondMatrix, b.secondMatrix) && sameBits(a.table, b.table) && sameRecords(a.nets, b.nets);
}

bool operator==(const PCAModelGroup& a, const PCAModelGroup& b)
{
    return a.length == b.length && a.headerLength == b.headerLength && a.positionCount == b.positionCount
        && a.tableLength == b.tableLength && sameRecords(a.positions, b.positions);
}

} // namespace torvik
