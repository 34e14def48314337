#pragma once

#include "model/TubeFamily.h"
#include "modeldata/PCAModelFileF.h"
#include "tools/modelbuilder/TrainingPlan.h"
#include "tools/modelbuilder/Trajectories.h"

#include <vector>

namespace torvik::builder {

// Builds the "pca" file of block 1 or block 2: one position per gain step, each with one network
// trained on the pre-voltages the block visited at that gain (and points around them), solved
// exactly. `tables` holds the operating-point table of each position.
PCAModelFileF buildGainBlock(int block, TubeFamily family, const std::vector<BlockTrace<4>>& tracesPerGain,
                             const std::vector<std::vector<double>>& tables, const TrainingPlan& plan,
                             std::vector<PositionReport>& reports);

} // namespace torvik::builder
