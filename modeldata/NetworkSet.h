#pragma once

#include "modeldata/ModelFileF.h"
#include "modeldata/NeuralNet.h"
#include "modeldata/PCAModelFileF.h"

#include <array>
#include <cstdint>
#include <vector>

namespace torvik {

// What a pca block holds for its selected position.
struct PositionData {
    uint8_t inputMask[4]{};   // byte j is 1 when entry j of the position's inputMask is 1
    uint8_t outputMask[4]{};  // likewise for outputMask; the records' slotMask points here
    uint32_t candidateCount = 0, secondWidth = 0, featureCount = 0;
    std::array<double, 16> projection{};  // row-major k x m (k, m <= 4)
    bool usesProjection = false;          // the projection differs from the identity
};

// The records of one position inside the record array of a block.
struct NetworkRun {
    unsigned start = 0, length = 0;
};

// One record per network of group 0, in file order (all networks of position
// 0, then those of position 1, ...). pca records take k inputs and four
// outputs and point at a four-byte outputMask; std records take two inputs and
// two outputs and point at a two-byte outputMask. Returns no records when
// group 0 is missing or holds a network too small for that shape or with a
// hidden layer of 0 or more than 255 neurons.
std::vector<NeuralNet> buildNetworks(const PCAModelFileF& file, const uint8_t* outputMask);
std::vector<NeuralNet> buildNetworks(const ModelFileF& file, const uint8_t* outputMask);

// start = number of networks of the positions before index, length = those of
// position index; an index past the last position gives an empty run.
NetworkRun runOfPosition(const PCAModelFileF& file, unsigned index);
NetworkRun runOfPosition(const ModelFileF& file, unsigned index);

// Takes masks, counts and projection of position index of group 0. An index
// with no position leaves data unchanged.
void selectPosition(PositionData& data, const PCAModelFileF& file, unsigned index);

// Forms the featureCount network inputs from the four candidate values.
// Allocates nothing.
void projectFeatures(const PositionData& data, const double* candidates, double* features);

// Evaluates (bipolar) the first record of the run whose box strictly contains
// z and makes it lastUsed; when no box contains z, evaluates lastUsed again
// (the run's first record if lastUsed is null). Returns the record evaluated.
// Allocates nothing.
NeuralNet& selectNetwork(NeuralNet* run, unsigned runLength, NeuralNet*& lastUsed, const double* z, double* slots);

} // namespace torvik
