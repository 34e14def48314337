#pragma once

#include "modeldata/ModelFileF.h"
#include "modeldata/PCAModelFileF.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Small, valid model files built in memory, for tests of the model data
// subsystem and of the blocks that use it.
//
// Unless weights are requested, every network has all weights and biases zero,
// so its hidden activations and raw outputs are 0 and output o evaluates to
// outMin[o] exactly for any finite inputs: network j of position p yields
// constantOutput(p, j, o). Input boxes are unbounded, input ranges -1..1,
// hidden slope 0.5, output slope 1.
namespace torvik::fixtures {

float constantOutput(unsigned position, unsigned net, unsigned output);

// An operating-point table: the entry count, then the entries one after another.
std::vector<double> opTable(const std::vector<std::vector<double>>& entries);

// Weights in -1..1 from a fixed pseudo-random sequence; seed 0 gives zeros.
void fillWeights(std::vector<float>& weights, uint32_t seed);

struct PcaFileOptions {
    unsigned positions = 1;
    unsigned netsPerPosition = 1;
    unsigned featureCount = 2;  // k: the first k input-mask entries are set, m = k, identity projection
    unsigned outputCount = 4;   // q
    unsigned hidden = 3;
    std::array<int32_t, 4> outputMask{1, 1, 1, 1};
    // Position p takes tables[p % tables.size()]; all are zero-padded to the
    // longest, which sets T. No tables: T = 0.
    std::vector<std::vector<double>> tables;
    uint32_t weightSeed = 0;    // non-zero: pseudo-random weights, output range constant -1 .. constant +1
};

struct StdFileOptions {
    unsigned positions = 1;
    unsigned netsPerPosition = 1;
    unsigned inputCount = 2;    // n
    unsigned outputCount = 2;   // q
    unsigned hidden = 3;
    std::vector<std::vector<double>> tables;  // as for PcaFileOptions
    uint32_t weightSeed = 0;
};

PCAModelFileF makePcaFile(const PcaFileOptions& options);
PCAModelFileF makePcaFile(unsigned positions, unsigned netsPerPosition, unsigned k, unsigned hidden,
    const std::vector<std::vector<double>>& opTablePerPosition = {});

ModelFileF makeStdFile(const StdFileOptions& options);
ModelFileF makeStdFile(unsigned positions, unsigned netsPerPosition, unsigned hidden,
    const std::vector<std::vector<double>>& opTablePerPosition = {});

// One network whose outputs are the given constants (q = constants.size()).
PCAModelNet makePcaNet(unsigned k, unsigned hidden, const std::vector<float>& constants);
ModelNet makeStdNet(unsigned n, unsigned hidden, const std::vector<float>& constants);

// Replaces the projection of a position by a row-major k x m matrix and sets m.
void setProjection(PCAModelPosition& position, const std::vector<std::vector<double>>& rows);

// Writes the files' images and parses images back.
std::vector<uint8_t> imageOf(BaseModelFileF& file);
PCAModelFileF parsePca(const std::vector<uint8_t>& image);
ModelFileF parseStd(const std::vector<uint8_t>& image);

// Writes example inputs for the model file fuzzers to dir/std and dir/pca
// (created if missing). Returns the number of files written.
unsigned writeSeedCorpus(const std::string& dir);

} // namespace torvik::fixtures
