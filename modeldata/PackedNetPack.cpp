#include "modeldata/PackedNet.h"

#include <algorithm>
#include <new>
#include <type_traits>

namespace torvik {

namespace {

constexpr std::align_val_t kStorageAlignment{32};
constexpr int kLanes = PackedNet::kLanes;
constexpr int kInputs = PackedNet::kInputs;
constexpr int kOutputs = PackedNet::kOutputs;

// How the four pre-voltages become the network's inputs: inputs = map · pre-voltages.
using InputMap = double[kInputs][kInputs];

void pcaInputMap(const PositionData& data, InputMap map) {
    for (int i = 0; i < kInputs; ++i)
        for (int c = 0; c < kInputs; ++c) map[i][c] = 0.0;
    const uint32_t k = std::min<uint32_t>(data.featureCount, kInputs);
    if (!data.usesProjection) {
        for (uint32_t i = 0; i < k; ++i) map[i][i] = 1.0;
        return;
    }
    std::size_t cursor = 0;
    for (uint32_t i = 0; i < k; ++i)
        for (int c = 0; c < kInputs; ++c)
            if (data.inputMask[c] == 1 && cursor < data.projection.size()) map[i][c] = data.projection[cursor++];
}

void identityInputMap(unsigned n, InputMap map) {
    for (int i = 0; i < kInputs; ++i)
        for (int c = 0; c < kInputs; ++c) map[i][c] = (i == c && unsigned(i) < n) ? 1.0 : 0.0;
}

uint32_t groupsOf(const NeuralNet& r) { return (uint32_t(r.hiddenCount) + kLanes - 1) / kLanes; }

std::size_t doublesOf(const NeuralNet& r) {
    return groupsOf(r) * (PackedNet::kHiddenGroupStride + std::size_t(kOutputs) * kLanes);
}

// Fills one packed network from a record (normalisation already folded) and the slots its
// outputs go to, in order.
void packOne(const NeuralNet& r, const InputMap map, const int* slots, unsigned slotCount, double clampLow,
             double* storage, PackedNet& net) {
    const uint32_t h = r.hiddenCount, n = r.inputCount, q = r.outputCount, groups = groupsOf(r);
    double* hidden = storage;
    double* out = storage + groups * PackedNet::kHiddenGroupStride;
    std::fill(storage, storage + doublesOf(r), 0.0);
    for (uint32_t neuron = 0; neuron < h; ++neuron) {
        double* group = hidden + (neuron / kLanes) * PackedNet::kHiddenGroupStride;
        const uint32_t lane = neuron % kLanes;
        for (int c = 0; c < kInputs; ++c) {
            double w = 0.0;
            for (uint32_t i = 0; i < std::min<uint32_t>(n, kInputs); ++i) w += r.hiddenWeights[neuron * n + i] * map[i][c];
            group[c * kLanes + lane] = r.hiddenSlope * w;
        }
        group[kInputs * kLanes + lane] = r.hiddenSlope * r.hiddenBias[neuron];
    }
    net.outputs = std::min<uint32_t>({q, slotCount, uint32_t(kOutputs)});
    for (uint32_t t = 0; t < net.outputs; ++t) {
        for (uint32_t neuron = 0; neuron < h; ++neuron) out[(t * groups) * kLanes + neuron] = r.outputSlope * r.outWeights[t * h + neuron];
        net.outBias[t] = r.outputSlope * r.outBias[t];
        net.outRange[t] = r.outRange[t];
        net.outMin[t] = r.outMin[t];
        net.slot[t] = slots[t];
    }
    net.hidden = hidden;
    net.out = out;
    net.groups = groups;
    net.clampLow = clampLow;
    net.boxInputs = std::min<uint32_t>(n, kInputs);
    for (uint32_t j = 0; j < net.boxInputs; ++j) {
        net.boxLow[j] = r.boxLow[j];
        net.boxHigh[j] = r.boxHigh[j];
    }
}

} // namespace

void PackedNetworkSet::AlignedFree::operator()(double* p) const { ::operator delete[](p, kStorageAlignment); }

template <class File>
std::shared_ptr<const PackedNetworkSet> PackedNetworkSet::packAll(const File& file, const std::vector<NeuralNet>& records) {
    auto set = std::shared_ptr<PackedNetworkSet>(new PackedNetworkSet());
    if (records.empty() || file.groups.empty()) return set;
    for (const NeuralNet& r : records) set->storageDoubles_ += doublesOf(r);
    set->storage_.reset(static_cast<double*>(::operator new[](set->storageDoubles_ * sizeof(double), kStorageAlignment)));
    set->nets_.resize(records.size());
    double* next = set->storage_.get();
    std::size_t k = 0;
    const auto& positions = file.groups[0].positions;
    for (unsigned p = 0; p < positions.size() && k < records.size(); ++p) {
        InputMap map;
        int slots[kOutputs] = {0, 1, 2, 3};
        unsigned slotCount = 0;
        double clampLow = -1.0;
        if constexpr (std::is_same_v<File, PCAModelFileF>) {
            PositionData data;
            selectPosition(data, file, p);
            pcaInputMap(data, map);
            for (int s = 0; s < kOutputs; ++s)
                if (data.outputMask[s] == 1) slots[slotCount++] = s;
        } else {
            identityInputMap(2, map);
            slotCount = 2;
            clampLow = 0.0;
        }
        for (std::size_t j = 0; j < positions[p].nets.size() && k < records.size(); ++j, ++k) {
            packOne(records[k], map, slots, slotCount, clampLow, next, set->nets_[k]);
            next += doublesOf(records[k]);
        }
    }
    return set;
}

std::shared_ptr<const PackedNetworkSet> PackedNetworkSet::pack(const PCAModelFileF& file, const std::vector<NeuralNet>& records) {
    return packAll(file, records);
}

std::shared_ptr<const PackedNetworkSet> PackedNetworkSet::pack(const ModelFileF& file, const std::vector<NeuralNet>& records) {
    return packAll(file, records);
}

void fillCurrentShiftWeights(const PackedNet& net, const double* shift, double* shiftWeights) {
    for (uint32_t g = 0; g < net.groups; ++g) {
        const double* w = net.hidden + g * PackedNet::kHiddenGroupStride;
        double* m = shiftWeights + g * kOutputs * kLanes;
        for (int t = 0; t < kOutputs; ++t)
            for (int lane = 0; lane < kLanes; ++lane) {
                double s = 0.0;
                if (uint32_t(t) < net.outputs)
                    for (int r = 0; r < kInputs; ++r) s += w[r * kLanes + lane] * shift[r * kOutputs + net.slot[t]];
                m[t * kLanes + lane] = s;
            }
    }
}

} // namespace torvik
