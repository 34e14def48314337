// Fuzz target: std model files (block 4) from reading to evaluation.

#include "FuzzSupport.h"

#include "modeldata/ModelFileChecks.h"
#include "modeldata/ModelFileF.h"
#include "modeldata/NetworkSet.h"

#include <algorithm>

using namespace torvik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ModelFileF file;
    const uint32_t consumed = file.readFromMemory(data, size);
    if (consumed > size)
        fuzz::fail();
    fuzz::checkRewrite(file, consumed);

    uint8_t outputMask[2] = {1, 1};
    std::vector<NeuralNet> nets = buildNetworks(file, outputMask);
    if (!checkStdModelFile(file, 8).empty())
        return 0;
    if (nets.empty())
        fuzz::fail();

    const auto positions = static_cast<unsigned>(file.groups[0].positions.size());
    for (unsigned p = 0; p < std::min(positions, fuzz::maxPositions); ++p) {
        const NetworkRun run = runOfPosition(file, p);
        if (run.length == 0 || run.start + run.length > nets.size())
            fuzz::fail();
        for (const auto& inputs : fuzz::candidateSets) {
            double slots[2] = {};
            evaluateUnipolar(nets[run.start], inputs, slots);
        }
    }
    return 0;
}
