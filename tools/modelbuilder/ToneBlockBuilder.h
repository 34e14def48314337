#pragma once

#include "model/TubeFamily.h"
#include "modeldata/ModelFileF.h"
#include "tools/modelbuilder/TrainingPlan.h"
#include "tools/modelbuilder/Trajectories.h"

#include <functional>
#include <vector>

namespace torvik::builder {

// Builds block 4's "std" file: one position per tone index, each with one unipolar network from
// the two pre-voltages to the follower's grid and plate currents. The tone setting changes only
// the impedance the follower's cathode sees, so every position trains on the same cloud of
// visited pre-voltages (`trace`) with its own exact targets, warm-started from its neighbour.
ModelFileF buildToneBlock(TubeFamily family, const BlockTrace<2>& trace, const std::vector<std::vector<double>>& tables,
                          unsigned positions, const TrainingPlan& plan, int threads,
                          std::vector<PositionReport>& reports, const std::function<void()>& tick);

} // namespace torvik::builder
