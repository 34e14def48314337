#pragma once

#include "model/TubeFamily.h"

#include <string>
#include <vector>

namespace torvik::builder {

// Rewrites the operating-point tables of a family's files in `folder` with the resting point of
// the network chain itself: for every position and running rate, the state from which one
// network step (the plug-in's own code) changes nothing, with each block's input at the previous
// block's network resting output. The exact resting point is where the networks were anchored,
// but their small error there would otherwise settle out as a thump whenever a block is put at
// rest (a load, a rate change). An entry whose network resting point cannot be found keeps the
// exact one and is counted in `unsettled` (the first of them described in `problem`). Returns
// false, with a message, if a file cannot be read or written.
bool settleOperatingTables(const std::string& folder, TubeFamily family, const std::vector<long>& runningRates,
                           int threads, std::string& problem, int& unsettled);

} // namespace torvik::builder
