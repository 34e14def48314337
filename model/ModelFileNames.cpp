#include "model/ModelFileNames.h"

namespace torvik {

std::string modelFileName(TubeFamily family, int block, long runningRate) {
    const std::string stem = std::string("torvikpre_") + tubeFamilyTag(family) + "_b" + std::to_string(block);
    if (block == 4) return stem + "_std.dat";
    if (block == 3) return stem + "_pca.dat." + std::to_string(runningRate);
    return stem + "_pca.dat";
}

std::string modelFolderFor(const std::string& binaryPath) { return binaryPath + ".dat"; }

std::string modelFilePath(const std::string& folder, TubeFamily family, int block, long runningRate) {
    return folder + "/" + modelFileName(family, block, runningRate);
}

} // namespace torvik
