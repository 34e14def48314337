#pragma once

#include "model/TubeFamily.h"

#include <string>

namespace torvik {

// The files of blocks 1, 2 and 4 serve every running rate. Their networks hold the port
// equations at this rate; at any other rate the block corrects their input for the change of
// its port impedances (block 3 has a file for each rate and needs no correction).
constexpr double kSharedFileRate = 44100.0;

// File names of the model data set. Block 3's file exists once per running rate, whose integer
// value is appended after a dot ("torvikpre_eh_b3_pca.dat.176400").
std::string modelFileName(TubeFamily family, int block, long runningRate = 0);

// The model folder beside a binary: its full path with ".dat" appended.
std::string modelFolderFor(const std::string& binaryPath);

// Full path of a block's file in a model folder.
std::string modelFilePath(const std::string& folder, TubeFamily family, int block, long runningRate = 0);

} // namespace torvik
