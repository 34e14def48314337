#pragma once

#include "model/TubeFamily.h"
#include "modeldata/PCAModelFileF.h"
#include "tools/modelbuilder/NetworkFit.h"
#include "tools/modelbuilder/TrainingPlan.h"
#include "tools/modelbuilder/Trajectories.h"

#include <vector>

namespace torvik::builder {

// Builds block 3's file for one running rate. Its only varying pre-voltage is the third valve's
// grid port, so the currents are a function of one feature; where one network cannot meet the
// target the feature range is cut into boxes with a network each. `warm` carries the networks of
// the previous rate in and this rate's out.
PCAModelFileF buildFollowerBlock(TubeFamily family, double rate, const BlockTrace<4>& trace,
                                 const std::vector<double>& table, const TrainingPlan& plan,
                                 std::vector<NetworkWeights>& warm, PositionReport& report);

} // namespace torvik::builder
