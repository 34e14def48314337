#pragma once

#include "modeldata/BaseModelFileF.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace torvik::fuzz {

// Inputs handed to the networks: ordinary, large, tiny and non-finite values.
constexpr double candidateSets[][4] = {
    {0.0, 0.0, 0.0, 0.0},
    {0.5, -1.25, 3.0, -0.001},
    {1e6, -1e6, 1e-300, 2.0},
    {std::numeric_limits<double>::quiet_NaN(), 1.0, -std::numeric_limits<double>::infinity(), 0.25},
};

// Positions visited per input, so that one input stays fast.
constexpr unsigned maxPositions = 256;

[[noreturn]] inline void fail()
{
    std::abort();
}

// A completely read file writes an image of the bytes it consumed, and that
// image reads back into content that writes the very same image.
template <typename File> void checkRewrite(File& file, uint32_t consumed)
{
    if (!file.lastReadComplete())
        return;
    const std::vector<uint8_t> image = file.toBytes();
    if (image.size() != consumed)
        fail();
    File again;
    if (again.readFromMemory(image.data(), image.size()) != image.size() || !again.lastReadComplete())
        fail();
    if (!(again.groups == file.groups) || again.toBytes() != image)
        fail();
}

} // namespace torvik::fuzz
