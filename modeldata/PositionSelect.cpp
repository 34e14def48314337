#include "modeldata/NetworkSet.h"

#include <algorithm>
#include <cmath>

namespace torvik {

namespace {

// Projection elements closer than this to the identity count as identity.
constexpr double identityTolerance = 0x1p-22;

bool flagged(const std::vector<int32_t>& mask, std::size_t j)
{
    return j < mask.size() && mask[j] == 1;
}

bool departsFromIdentity(double value, bool diagonal)
{
    const float e = static_cast<float>(value);
    if (diagonal)
        return std::fabs(static_cast<double>(e) - 1.0) > identityTolerance;
    return std::fabs(e) > static_cast<float>(identityTolerance);
}

} // namespace

void selectPosition(PositionData& data, const PCAModelFileF& file, unsigned index)
{
    if (file.groups.empty() || index >= file.groups[0].positions.size())
        return;
    const PCAModelPosition& position = file.groups[0].positions[index];

    for (std::size_t j = 0; j < 4; ++j) {
        data.inputMask[j] = flagged(position.inputMask, j) ? 1 : 0;
        data.outputMask[j] = flagged(position.outputMask, j) ? 1 : 0;
    }
    data.candidateCount = position.candidateCount;
    data.secondWidth = position.secondWidth;
    data.featureCount = position.featureCount;

    // The file stores the projection column-major (element (i, j) at j*k + i);
    // the block keeps it row-major. Counts beyond what the array can hold only
    // come from files the checks refuse; they are cut short here.
    const uint64_t k = position.featureCount;
    const uint64_t m = position.candidateCount;
    const uint64_t rows = std::min<uint64_t>(k, data.projection.size());
    const uint64_t columns = std::min<uint64_t>(m, data.projection.size());
    data.projection.fill(0.0);
    data.usesProjection = false;
    for (uint64_t i = 0; i < rows; ++i) {
        for (uint64_t j = 0; j < columns; ++j) {
            const uint64_t from = j * k + i;
            const uint64_t to = i * m + j;
            if (from >= position.projection.size() || to >= data.projection.size())
                continue;
            const double value = position.projection[from];
            data.projection[to] = value;
            if (!data.usesProjection && departsFromIdentity(value, i == j))
                data.usesProjection = true;
        }
    }
}

void projectFeatures(const PositionData& data, const double* candidates, double* features)
{
    const uint32_t k = std::min<uint32_t>(data.featureCount, 4);
    if (!data.usesProjection) {
        for (uint32_t i = 0; i < k; ++i)
            features[i] = candidates[i];
        return;
    }
    // One row per feature, walked with a single cursor: each row holds one
    // element per set input-mask byte.
    std::size_t cursor = 0;
    for (uint32_t i = 0; i < k; ++i) {
        features[i] = 0.0;
        for (std::size_t j = 0; j < 4; ++j) {
            if (data.inputMask[j] == 1) {
                features[i] = candidates[j] * data.projection[cursor] + features[i];
                ++cursor;
            }
        }
    }
}

} // namespace torvik
