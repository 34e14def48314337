#pragma once

#include "modeldata/NetworkSet.h"
#include "modeldata/NeuralNet.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace torvik {

// A network laid out for evaluation four hidden neurons at a time. Everything that is linear
// before the hidden layer (input normalisation, the position's projection and input mask, the
// hidden slope) is folded into the hidden weights, which take the block's four pre-voltages
// directly; the output slope is folded into the output weights. Hidden neurons are padded to a
// multiple of four with zero weights (a zero neuron adds nothing), unused inputs and outputs
// likewise, so every evaluation has the same shape.
struct PackedNet {
    static constexpr int kLanes = 4;
    static constexpr int kInputs = 4;
    static constexpr int kOutputs = 4;
    static constexpr std::size_t kHiddenGroupStride = (kInputs + 1) * kLanes;  // weights, then bias

    const double* hidden = nullptr;  // groups x [kInputs x kLanes weights, kLanes biases]
    const double* out = nullptr;     // kOutputs x groups x kLanes
    uint32_t groups = 0;
    uint32_t outputs = 0;            // slots the network produces
    uint32_t boxInputs = 0;          // features the input box is tested on
    int32_t slot[kOutputs] = {};     // slot of output t
    double outBias[kOutputs] = {};
    double outRange[kOutputs] = {};
    double outMin[kOutputs] = {};
    double clampLow = -1.0;          // -1 for the bipolar networks, 0 for the unipolar
    double boxLow[kInputs] = {};     // the network's input box, in feature units
    double boxHigh[kInputs] = {};

    // Strictly inside the input box on every feature (NaN is outside).
    bool boxContains(const double* features) const {
        for (uint32_t j = 0; j < boxInputs; ++j)
            if (!(features[j] > boxLow[j] && boxHigh[j] > features[j])) return false;
        return true;
    }
};

// Every network of a model file, packed, in file order; read-only once built, so several chains
// can share one set.
class PackedNetworkSet {
public:
    PackedNetworkSet() = default;
    PackedNetworkSet(const PackedNetworkSet&) = delete;
    PackedNetworkSet& operator=(const PackedNetworkSet&) = delete;

    // Packs the records of buildNetworks; the pca variant takes each position's masks and
    // projection from the file. Empty when the records are empty.
    static std::shared_ptr<const PackedNetworkSet> pack(const PCAModelFileF& file, const std::vector<NeuralNet>& records);
    static std::shared_ptr<const PackedNetworkSet> pack(const ModelFileF& file, const std::vector<NeuralNet>& records);

    std::size_t size() const { return nets_.size(); }
    bool empty() const { return nets_.empty(); }
    const PackedNet& operator[](std::size_t k) const { return nets_[k]; }

private:
    struct AlignedFree {
        void operator()(double* p) const;
    };
    std::unique_ptr<double[], AlignedFree> storage_;
    std::size_t storageDoubles_ = 0;
    std::vector<PackedNet> nets_;

    template <class File>
    static std::shared_ptr<const PackedNetworkSet> packAll(const File& file, const std::vector<NeuralNet>& records);
};

// Per-network weights of the hidden layer against a change of the currents the network produces:
// groups x [kOutputs x kLanes], m[g][t][lane] = sum_r W[neuron][r] * shift(r, slot of output t),
// with shift the row-major 4 x 4 change of port impedances. Room for 64 groups suffices for any
// network a file can hold.
void fillCurrentShiftWeights(const PackedNet& net, const double* portShiftRowMajor4x4, double* shiftWeights);

// The evaluation routines, one set per instruction set.
struct PackedNetKernel {
    const char* name;
    // Writes the produced slots; the others keep their values.
    void (*evaluate)(const PackedNet& net, const double* x, double* slots);
    // The same, and the derivatives of the produced outputs with respect to the produced currents
    // through the shift weights: jk[4 t + u] = d output t / d current of output u; the row of an
    // output held at its clamp is zero.
    void (*evaluateWithCurrentJacobian)(const PackedNet& net, const double* x, double* slots,
                                        const double* shiftWeights, double* jk);
};

// Plain 64-bit x86 (SSE2) or any other processor.
const PackedNetKernel& genericPackedNetKernel();
// AVX2 with fused multiply-add, or null when this processor lacks either or the build has none.
const PackedNetKernel* avx2PackedNetKernel();
// The fastest kernel this processor runs, chosen once.
const PackedNetKernel& activePackedNetKernel();

} // namespace torvik
