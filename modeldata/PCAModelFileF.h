#pragma once

#include "modeldata/BaseModelFileF.h"

#include <array>
#include <cstdint>
#include <vector>

namespace torvik {

// "pca" variant of the model data file, used by blocks 1 to 3.

struct PCAModelNet {
    PCAModelNet() = default;
    // A record as created before it is read: k inputs, q outputs, zero-filled
    // arrays, one hidden layer of size 0.
    PCAModelNet(uint32_t k, uint32_t q);

    uint32_t length = 0;
    uint32_t reserved = 0;
    std::vector<float> boxLow, boxHigh;  // k each
    std::vector<float> inMin, inMax;     // k each
    std::vector<float> outMin, outMax;   // q each
    uint32_t layerCount = 1;
    std::vector<uint32_t> layerSizes{0u};
    std::vector<float> hiddenSteepness;  // one per hidden neuron
    std::vector<float> outputSteepness;  // q
    std::vector<float> weights;          // weightCount(k, layerSizes, q)
    std::array<uint32_t, 4> trailer{};
};

struct PCAModelPosition {
    uint32_t length = 0;
    uint32_t headerLength = 0;
    uint32_t reserved = 0;
    uint32_t netCount = 0;
    uint32_t inputMaskLength = 0;        // A
    uint32_t outputMaskLength = 0;       // B
    uint32_t candidateCount = 0;         // m
    uint32_t secondWidth = 0;            // p
    uint32_t featureCount = 0;           // k
    uint32_t netOutputCount = 0;         // q
    uint32_t tableLength = 0;            // T of the group this position was sized from
    std::vector<int32_t> inputMask;      // A
    std::vector<int32_t> outputMask;     // B
    std::vector<double> projection;      // k*m; element (row i, column j) at j*k + i
    std::vector<double> secondMatrix;    // q*p
    std::vector<double> table;           // T
    std::vector<PCAModelNet> nets;       // netCount
};

struct PCAModelGroup {
    uint32_t length = 0;
    uint32_t headerLength = 0;
    uint32_t positionCount = 0;
    uint32_t tableLength = 0;            // T
    std::vector<PCAModelPosition> positions;
};

// Bit-for-bit equality of every field, length words included.
bool operator==(const PCAModelNet& a, const PCAModelNet& b);
bool operator==(const PCAModelPosition& a, const PCAModelPosition& b);
bool operator==(const PCAModelGroup& a, const PCAModelGroup& b);
inline bool operator!=(const PCAModelNet& a, const PCAModelNet& b) { return !(a == b); }
inline bool operator!=(const PCAModelPosition& a, const PCAModelPosition& b) { return !(a == b); }
inline bool operator!=(const PCAModelGroup& a, const PCAModelGroup& b) { return !(a == b); }

class PCAModelFileF : public BaseModelFileF {
public:
    std::vector<PCAModelGroup> groups;

    void allocateGroups(uint32_t count) override;

protected:
    uint32_t readFrom(ByteSource& source, bool& complete) override;
    uint32_t writeTo(ByteSink& sink) override;
    uint32_t groupsHeld() const override { return static_cast<uint32_t>(groups.size()); }
};

} // namespace torvik
