#pragma once

#include "modeldata/BaseModelFileF.h"

#include <array>
#include <cstdint>
#include <vector>

namespace torvik {

// "std" variant of the model data file, used by block 4.

struct ModelNet {
    ModelNet() = default;
    // A record as created before it is read: n inputs, q outputs, zero-filled
    // arrays, one hidden layer of size 0.
    ModelNet(uint32_t n, uint32_t q);

    uint32_t length = 0;
    uint32_t reserved = 0;
    std::vector<float> boxLow, boxHigh;  // n each
    std::vector<float> inMin, inMax;     // n each
    std::vector<float> outMin, outMax;   // q each
    float hiddenSteepness = 0.5f;
    float outputSteepness = 0.0f;
    uint32_t layerCount = 1;
    std::vector<uint32_t> layerSizes{0u};
    std::vector<float> weights;          // weightCount(n, layerSizes, q)
    std::array<uint32_t, 4> trailer{};
};

struct ModelPosition {
    uint32_t length = 0;
    uint32_t headerLength = 0;
    uint32_t reserved = 0;
    uint32_t netCount = 0;
    // Group-level values this position was sized from.
    uint32_t inputCount = 0;
    uint32_t outputCount = 0;
    uint32_t tableLength = 0;
    std::vector<double> table;           // tableLength
    std::vector<ModelNet> nets;          // netCount
};

struct ModelGroup {
    uint32_t length = 0;
    uint32_t headerLength = 0;
    uint32_t inputCount = 0;             // n
    uint32_t outputCount = 0;            // q
    uint32_t positionCount = 0;
    uint32_t tableLength = 0;            // T
    std::vector<ModelPosition> positions;
};

// Bit-for-bit equality of every field, length words included.
bool operator==(const ModelNet& a, const ModelNet& b);
bool operator==(const ModelPosition& a, const ModelPosition& b);
bool operator==(const ModelGroup& a, const ModelGroup& b);
inline bool operator!=(const ModelNet& a, const ModelNet& b) { return !(a == b); }
inline bool operator!=(const ModelPosition& a, const ModelPosition& b) { return !(a == b); }
inline bool operator!=(const ModelGroup& a, const ModelGroup& b) { return !(a == b); }

class ModelFileF : public BaseModelFileF {
public:
    std::vector<ModelGroup> groups;

    void allocateGroups(uint32_t count) override;

protected:
    uint32_t readFrom(ByteSource& source, bool& complete) override;
    uint32_t writeTo(ByteSink& sink) override;
    uint32_t groupsHeld() const override { return static_cast<uint32_t>(groups.size()); }
};

} // namespace torvik
