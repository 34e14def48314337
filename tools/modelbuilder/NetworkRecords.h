#pragma once

#include "modeldata/ModelFileF.h"
#include "modeldata/PCAModelFileF.h"
#include "tools/modelbuilder/NetworkFit.h"
#include "tools/modelbuilder/Scaling.h"

namespace torvik::builder {

// Network records as the files hold them: weights rounded to single precision, unit slopes.
// `boxLow`/`boxHigh` bound the features the record is valid for (block 3 chooses by them).
PCAModelNet pcaNetRecord(const NetworkWeights& w, const InputScale& in, const OutputScale& out,
                         const std::vector<float>& boxLow, const std::vector<float>& boxHigh);
ModelNet stdNetRecord(const NetworkWeights& w, const InputScale& in, const OutputScale& out);

// The networks of a pca position have four outputs; outputs beyond those modelled stay zero.
constexpr unsigned kPcaOutputs = 4;

} // namespace torvik::builder
