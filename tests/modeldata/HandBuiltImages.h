#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace torvik::test {

struct NamedOffset {
    std::string name;
    std::size_t offset;
};

// A model file image built field by field, independently of the writers, with the
// offsets of its count fields and length words.
struct HandBuiltImage {
    std::vector<uint8_t> bytes;
    std::vector<NamedOffset> counts;
    std::vector<NamedOffset> lengthWords;
};

// std: one group (n = 2, q = 2, T = 3) of two positions; position 0 has no
// networks, position 1 one network with a hidden layer of 2 (W = 12).
// Length words: group 236 / 20, positions 40 / 40 and 176 / 40, network 136.
HandBuiltImage handBuiltStdImage();

// pca: one group (T = 2) of one position with A = 4, B = 5, m = 2, p = 1,
// k = 3, q = 4 and one network with a hidden layer of 8: 8 hidden slopes,
// 4 output slopes, W = 68. Length words: group 628 / 16, position 612 / 172,
// network 440.
HandBuiltImage handBuiltPcaImage();

} // namespace torvik::test
