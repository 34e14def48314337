#pragma once

#include "modeldata/ModelFileF.h"
#include "modeldata/PCAModelFileF.h"

#include <string>

namespace torvik {

// Whether a model file can drive a block: "" when usable, otherwise a short
// one-line reason. tableEntryLength is the number of f64 values of one
// operating-point entry (its rate included): 13 for blocks 1 and 2, 10 for
// block 3, 8 for block 4.
//
// Only group 0 is examined. It must hold at least one position, every position
// at least one network, every network exactly one hidden layer of 1 to 255
// neurons with the weight count that implies. pca positions need 1 <= k <= 4,
// q >= 4, A >= 4, B >= 4, and m equal to the number of inputMask entries equal
// to 1, all of them among entries 0 to 3. The std group needs n == 2, q >= 2.
// An operating-point table, when present, starts with a non-negative integer
// entry count whose entries fit in the table. Values the block reads must be
// finite; input boxes may be infinite but not NaN.
std::string checkPcaModelFile(const PCAModelFileF& file, unsigned tableEntryLength);
std::string checkStdModelFile(const ModelFileF& file, unsigned tableEntryLength);

} // namespace torvik
