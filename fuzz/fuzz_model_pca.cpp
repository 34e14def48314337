// Fuzz target: pca model files (blocks 1 to 3) from reading to evaluation.

#include "FuzzSupport.h"

#include "modeldata/ModelFileChecks.h"
#include "modeldata/NetworkSet.h"
#include "modeldata/PCAModelFileF.h"

#include <algorithm>

using namespace torvik;

namespace {

void runBlock(const PCAModelFileF& file, std::vector<NeuralNet>& nets, PositionData& data)
{
    const auto positions = static_cast<unsigned>(file.groups[0].positions.size());
    for (unsigned p = 0; p < std::min(positions, fuzz::maxPositions); ++p) {
        selectPosition(data, file, p);
        const NetworkRun run = runOfPosition(file, p);
        if (run.length == 0 || run.start + run.length > nets.size())
            fuzz::fail();
        NeuralNet* lastUsed = &nets[run.start];
        for (const auto& candidates : fuzz::candidateSets) {
            double features[4] = {};
            double slots[4] = {};
            projectFeatures(data, candidates, features);
            evaluateBipolar(nets[run.start], features, slots);
            selectNetwork(&nets[run.start], run.length, lastUsed, features, slots);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PCAModelFileF file;
    const uint32_t consumed = file.readFromMemory(data, size);
    if (consumed > size)
        fuzz::fail();
    fuzz::checkRewrite(file, consumed);

    PositionData position;
    std::vector<NeuralNet> nets = buildNetworks(file, position.outputMask);
    if (!file.groups.empty()) {
        selectPosition(position, file, 0);
        double features[4];
        projectFeatures(position, fuzz::candidateSets[1], features);
    }

    for (unsigned entryLength : {13u, 10u}) {
        if (checkPcaModelFile(file, entryLength).empty()) {
            if (nets.empty())
                fuzz::fail();
            runBlock(file, nets, position);
            break;
        }
    }
    return 0;
}
