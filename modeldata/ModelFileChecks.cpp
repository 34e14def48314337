#include "modeldata/ModelFileChecks.h"

#include "modeldata/WeightCount.h"

#include <cmath>

namespace torvik {

namespace {

template <typename T> bool allFinite(const std::vector<T>& values)
{
    for (T v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

bool noNaN(const std::vector<float>& values)
{
    for (float v : values)
        if (std::isnan(v))
            return false;
    return true;
}

std::string at(std::size_t position)
{
    return "position " + std::to_string(position) + ": ";
}

std::string at(std::size_t position, std::size_t net)
{
    return "position " + std::to_string(position) + " network " + std::to_string(net) + ": ";
}

std::string checkTable(const std::vector<double>& table, uint32_t tableLength, unsigned entryLength)
{
    if (table.size() != tableLength)
        return "operating-point table has " + std::to_string(table.size()) + " values, expected "
            + std::to_string(tableLength);
    if (tableLength == 0)
        return "";
    const double count = table[0];
    if (!std::isfinite(count) || count < 0.0 || count != std::floor(count))
        return "operating-point entry count is not a non-negative integer";
    if (count > tableLength)
        return "operating-point table too short for its entry count";
    const uint64_t entries = static_cast<uint64_t>(count);
    if (1 + entries * entryLength > tableLength)
        return "operating-point table too short for " + std::to_string(entries) + " entries";
    const std::size_t used = static_cast<std::size_t>(1 + entries * entryLength);
    for (std::size_t i = 1; i < used; ++i)
        if (!std::isfinite(table[i]))
            return "operating-point table holds a non-finite value";
    return "";
}

// The parts shared by both network records.
struct NetView {
    const std::vector<float>& boxLow;
    const std::vector<float>& boxHigh;
    const std::vector<float>& inMin;
    const std::vector<float>& inMax;
    const std::vector<float>& outMin;
    const std::vector<float>& outMax;
    uint32_t layerCount;
    const std::vector<uint32_t>& layerSizes;
    const std::vector<float>& weights;
};

std::string checkNet(const NetView& net, uint32_t inputs, uint32_t outputs)
{
    if (net.layerCount != 1 || net.layerSizes.size() != 1)
        return "needs exactly one hidden layer, has " + std::to_string(net.layerCount);
    const uint32_t hidden = net.layerSizes[0];
    if (hidden < 1 || hidden > 255)
        return "hidden layer has " + std::to_string(hidden) + " neurons, allowed 1 to 255";
    if (net.boxLow.size() != inputs || net.boxHigh.size() != inputs || net.inMin.size() != inputs
        || net.inMax.size() != inputs || net.outMin.size() != outputs || net.outMax.size() != outputs)
        return "range arrays do not match the input and output counts";
    if (net.weights.size() != weightCount(inputs, net.layerSizes, outputs))
        return "weight count does not match the layer sizes";
    if (!allFinite(net.weights))
        return "non-finite weight";
    if (!allFinite(net.inMin) || !allFinite(net.inMax) || !allFinite(net.outMin) || !allFinite(net.outMax))
        return "non-finite input or output range";
    if (!noNaN(net.boxLow) || !noNaN(net.boxHigh))
        return "NaN in the input box";
    return "";
}

NetView viewOf(const PCAModelNet& n)
{
    return {n.boxLow, n.boxHigh, n.inMin, n.inMax, n.outMin, n.outMax, n.layerCount, n.layerSizes, n.weights};
}

NetView viewOf(const ModelNet& n)
{
    return {n.boxLow, n.boxHigh, n.inMin, n.inMax, n.outMin, n.outMax, n.layerCount, n.layerSizes, n.weights};
}

std::string checkPcaNet(const PCAModelNet& net, uint32_t k, uint32_t q)
{
    std::string problem = checkNet(viewOf(net), k, q);
    if (!problem.empty())
        return problem;
    if (net.hiddenSteepness.size() != net.layerSizes[0] || net.outputSteepness.size() != q)
        return "steepness arrays do not match the layer sizes";
    if (!allFinite(net.hiddenSteepness) || !allFinite(net.outputSteepness))
        return "non-finite steepness";
    return "";
}

std::string checkStdNet(const ModelNet& net, uint32_t n, uint32_t q)
{
    std::string problem = checkNet(viewOf(net), n, q);
    if (!problem.empty())
        return problem;
    if (!std::isfinite(net.hiddenSteepness) || !std::isfinite(net.outputSteepness))
        return "non-finite steepness";
    return "";
}

std::string checkMasks(const PCAModelPosition& p)
{
    if (p.inputMask.size() < 4 || p.outputMask.size() < 4)
        return "masks need at least 4 entries";
    uint32_t set = 0;
    for (std::size_t j = 0; j < p.inputMask.size(); ++j) {
        if (p.inputMask[j] != 1)
            continue;
        if (j > 3)
            return "input mask entry " + std::to_string(j) + " is set; only entries 0 to 3 may be";
        ++set;
    }
    if (set != p.candidateCount)
        return "candidate count " + std::to_string(p.candidateCount) + " differs from the "
            + std::to_string(set) + " set input mask entries";
    return "";
}

std::string checkPcaPosition(const PCAModelPosition& p, uint32_t tableLength, unsigned entryLength)
{
    const uint32_t k = p.featureCount;
    const uint32_t q = p.netOutputCount;
    if (k < 1 || k > 4)
        return "feature count " + std::to_string(k) + " outside 1 to 4";
    if (q < 4)
        return "network output count " + std::to_string(q) + " below 4";
    std::string problem = checkMasks(p);
    if (problem.empty() && p.projection.size() != uint64_t(k) * p.candidateCount)
        problem = "projection size does not match k x m";
    if (problem.empty() && !allFinite(p.projection))
        problem = "non-finite projection value";
    if (problem.empty())
        problem = checkTable(p.table, tableLength, entryLength);
    if (problem.empty() && p.nets.empty())
        problem = "no networks";
    return problem;
}

std::string checkStdPosition(const ModelPosition& p, uint32_t tableLength, unsigned entryLength)
{
    std::string problem = checkTable(p.table, tableLength, entryLength);
    if (problem.empty() && p.nets.empty())
        problem = "no networks";
    return problem;
}

template <typename File> std::string checkGroupZeroExists(const File& file)
{
    if (!file.lastReadComplete())
        return "file incomplete or holds a count larger than its size allows";
    if (file.groups.empty())
        return "no group";
    if (file.groups[0].positions.empty())
        return "group 0 has no positions";
    return "";
}

} // namespace

std::string checkPcaModelFile(const PCAModelFileF& file, unsigned tableEntryLength)
{
    std::string problem = checkGroupZeroExists(file);
    if (!problem.empty())
        return problem;
    const PCAModelGroup& group = file.groups[0];
    for (std::size_t p = 0; p < group.positions.size(); ++p) {
        const PCAModelPosition& position = group.positions[p];
        problem = checkPcaPosition(position, group.tableLength, tableEntryLength);
        if (!problem.empty())
            return at(p) + problem;
        for (std::size_t j = 0; j < position.nets.size(); ++j) {
            problem = checkPcaNet(position.nets[j], position.featureCount, position.netOutputCount);
            if (!problem.empty())
                return at(p, j) + problem;
        }
    }
    return "";
}

std::string checkStdModelFile(const ModelFileF& file, unsigned tableEntryLength)
{
    std::string problem = checkGroupZeroExists(file);
    if (!problem.empty())
        return problem;
    const ModelGroup& group = file.groups[0];
    if (group.inputCount != 2)
        return "input count " + std::to_string(group.inputCount) + ", expected 2";
    if (group.outputCount < 2)
        return "output count " + std::to_string(group.outputCount) + " below 2";
    for (std::size_t p = 0; p < group.positions.size(); ++p) {
        const ModelPosition& position = group.positions[p];
        problem = checkStdPosition(position, group.tableLength, tableEntryLength);
        if (!problem.empty())
            return at(p) + problem;
        for (std::size_t j = 0; j < position.nets.size(); ++j) {
            problem = checkStdNet(position.nets[j], group.inputCount, group.outputCount);
            if (!problem.empty())
                return at(p, j) + problem;
        }
    }
    return "";
}

} // namespace torvik
