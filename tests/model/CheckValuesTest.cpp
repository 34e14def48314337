// Matrix values of the four blocks against figures worked out by hand from the circuit, each to
// the digits printed: 44100 Hz, gain position 8 (blocks 1, 2), tone 7/7/7 (block 4).
#include "model/BlockTypes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace torvik {
namespace {

// Half a unit in the last printed digit of a decimal text such as "-0.137108" or "5.97539e-06".
double printedTolerance(const std::string& text) {
    const auto e = text.find_first_of("eE");
    const std::string mantissa = text.substr(0, e);
    const int exponent = e == std::string::npos ? 0 : std::stoi(text.substr(e + 1));
    const auto dot = mantissa.find('.');
    const int decimals = dot == std::string::npos ? 0 : static_cast<int>(mantissa.size() - dot - 1);
    return 0.5 * std::pow(10.0, exponent - decimals);
}

std::vector<std::string> split(const std::string& row) {
    std::vector<std::string> out;
    std::stringstream ss(row);
    std::string item;
    while (std::getline(ss, item, ',')) {
        item.erase(0, item.find_first_not_of(' '));
        out.push_back(item);
    }
    return out;
}

struct CheckRow {
    int block;
    const char* matrix;  // "DE", "K", "ABC" or "Out"
    int row;
    int firstColumn;
    const char* values;
};

const CheckRow kCheckRows[] = {
    // Block 1: D | E | K rows, then A | B | C rows, then the output row.
    {1, "DE", 0, 0, "16.571, 0, 0, 0, -1, 0"},
    {1, "DE", 1, 0, "-16.571, 153.973, 6855.39, 3340.07, 0, 0.701231"},
    {1, "DE", 2, 0, "0, 308.048, 13715.3, 6682.34, 0, -0.597736"},
    {1, "DE", 3, 0, "0, 0, 0, 0, 0, 0.97561"},
    {1, "K", 0, 0, "68016.6, 16.571, 0, 0"},
    {1, "K", 1, 0, "-16.571, -70139.6, -59773.6, 0"},
    {1, "K", 2, 0, "0, 59773.6, 90479.4, 10000"},
    {1, "K", 3, 0, "0, 0, -10000, -107561"},
    {1, "ABC", 0, 0, "0.987725, 0, 0, 0, 0, 0, 1.98773, 1.98773, 0, 0"},
    {1, "ABC", 1, 0, "0, 0.996921, -0.137108, -0.0668013, 0, 5.97539e-06, 0, -0.597539, 1.19547, 0"},
    {1, "ABC", 2, 0, "0, -0.00292912, 0.771946, -0.0635401, 0, 5.68367e-06, 0, -0.568367, 1.13711, 0"},
    {1, "ABC", 3, 0, "0, -0.00303642, -0.135192, 0.906181, 0, 5.89188e-06, 0, -0.589188, 1.17877, 0"},
    {1, "Out", 0, 0, "0, -360.591, 6890.72, 3357.28, 0, 0.699691, 0, -69969.1, -60081.7, 0"},
    // Block 2.
    {2, "DE", 0, 0, "19602, 9550.42, 0, 0, -0.854286, 0, 0"},
    {2, "DE", 1, 0, "0, 0, -86.8394, 3866.38, 0, 0.831497, 0"},
    {2, "DE", 2, 0, "0, 0, -408.145, 18172, 0, -0.791965, 0"},
    {2, "DE", 3, 0, "0, 0, 0, 0, 0, 0, 0.97561"},
    {2, "K", 0, 0, "39152.4, 10000, 0, 0"},
    {2, "K", 1, 0, "-10000, -93149.7, -79196.5, 0"},
    {2, "K", 2, 0, "0, 79196.5, 98596.6, 820"},
    {2, "K", 3, 0, "0, 0, -820, -98381"},
    {2, "ABC", 0, 0, "0.715972, -0.0908116, 0, 0, 8.12311e-06, 0, 0, 1.62516, 0, 0, 0"},
    {2, "ABC", 1, 0, "-0.193216, 0.877911, 0, 0, 8.42069e-06, 0, 0, 1.68469, 0, 0, 0"},
    {2, "ABC", 2, 0, "0, 0, 0.998263, 0.0773275, 0, -3.37006e-06, 0, 0, 0.337006, -1.58393, 0"},
    {2, "ABC", 3, 0, "0, 0, 0.001652, 0.828807, 0, 3.20554e-06, 0, 0, -0.320554, 1.5066, 0"},
    {2, "Out", 0, 0, "0, 0, 428.071, 3886.3, 0, 0.830628, 0, 0, -83062.8, -79604.6, 0"},
    // Block 3 (no pot).
    {3, "DE", 0, 0, "21877.4, -0.953452, 0"},
    {3, "DE", 1, 0, "0, 0, 1"},
    {3, "DE", 2, 0, "0, 0, -1"},
    {3, "DE", 3, 0, "0, 0, -1"},
    {3, "ABC", 0, 0, "0.81381, 3.85917e-06, 0, 1.81381, 0, 0, 0"},
    {3, "K", 0, 0, "22697.4, 820, 0, 0"},
    {3, "Out", 0, 0, "0, 0, 1, 0, -100000, -100000, 0"},
    // Block 4, tone index 1687.
    {4, "K", 0, 0, "28872.1, 28872.1"},
    {4, "K", 1, 0, "28872.1, 28872.1"},
    {4, "DE", 0, 0, "-2039.51, 42.5514, -365.543, -1, 0"},
    {4, "DE", 1, 0, "-2039.51, 42.5514, -365.543, 0, -1"},
    {4, "ABC", 0, 0, "0.821377, 0.00380438, -0.000859771, 0, 0, -0.169092, -0.169092"},
    {4, "ABC", 1, 0, "0.178077, 0.991233, 0.00581334, 0, 0, 0.165134, 0.165134"},
    {4, "ABC", 2, 0, "-0.0402446, 0.00581334, 0.987736, 0, 0, -1.4186, -1.4186"},
    {4, "Out", 0, 0, "10104.9, 297.678, -423.2, 0, 0, 17532.6, 17532.6"},
};

template <class Block>
double entry(const Block& b, const std::string& matrix, int r, int c) {
    if (matrix == "DE") return b.DE(r, c);
    if (matrix == "K") return b.K(r, c);
    if (matrix == "ABC") return b.ABC(r, c);
    return b.Out(r, c);
}

struct CheckedBlocks {
    Block1Circuit b1;
    Block2Circuit b2;
    Block3Circuit b3;
    Block4Circuit b4;
    CheckedBlocks() {
        b1.setPotSections(8);
        b1.rebuildMatrices();
        b2.setPotSections(8);
        b2.rebuildMatrices();
        b4.setPotSections(TonePots::index(7, 7, 7));
        b4.rebuildMatrices();
    }
    double get(int block, const std::string& m, int r, int c) const {
        switch (block) {
            case 1: return entry(b1, m, r, c);
            case 2: return entry(b2, m, r, c);
            case 3: return entry(b3, m, r, c);
            default: return entry(b4, m, r, c);
        }
    }
};

TEST(CheckValues, EveryPrintedDigitMatches) {
    const CheckedBlocks blocks;
    for (const CheckRow& row : kCheckRows) {
        const auto values = split(row.values);
        for (size_t k = 0; k < values.size(); ++k) {
            const int col = row.firstColumn + static_cast<int>(k);
            const double expected = std::stod(values[k]);
            const double actual = blocks.get(row.block, row.matrix, row.row, col);
            EXPECT_NEAR(actual, expected, printedTolerance(values[k]))
                << "block " << row.block << " " << row.matrix << "(" << row.row << "," << col << ")";
        }
    }
}

TEST(CheckValues, Block2InputShareFollowsGainPosition) {
    const struct { unsigned position; const char* share; } cases[] = {
        {0, "-0.150562"}, {8, "-0.854286"}, {16, "-0.977569"}};
    for (const auto& c : cases) {
        Block2Circuit b2;
        b2.setPotSections(c.position);
        b2.rebuildMatrices();
        EXPECT_NEAR(b2.DE(0, 4), std::stod(c.share), printedTolerance(c.share)) << "position " << c.position;
    }
}

} // namespace
} // namespace torvik
