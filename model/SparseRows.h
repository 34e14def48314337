#pragma once

#include <array>
#include <cstdint>

namespace torvik {

// A matrix kept as the list of its non-zero entries, row by row. The blocks' matrices are mostly
// structural zeros (parts of a circuit that a source or an open port separates), and an entry that
// is exactly zero contributes nothing to a product, so the per-sample products skip them.
template <int Rows, int Cols>
class SparseRows {
public:
    template <class Dense>
    void assign(const Dense& m) {
        int n = 0;
        for (int r = 0; r < Rows; ++r) {
            rowStart_[r] = static_cast<std::uint8_t>(n);
            for (int c = 0; c < Cols; ++c) {
                const double v = m(r, c);
                if (v != 0.0) {
                    cols_[n] = static_cast<std::uint8_t>(c);
                    values_[n] = v;
                    ++n;
                }
            }
        }
        rowStart_[Rows] = static_cast<std::uint8_t>(n);
    }

    double rowTimes(int r, const double* z) const {
        double s = 0.0;
        for (int e = rowStart_[r]; e < rowStart_[r + 1]; ++e) s += values_[e] * z[cols_[e]];
        return s;
    }

    int nonZeros() const { return rowStart_[Rows]; }

private:
    std::array<std::uint8_t, Rows + 1> rowStart_{};
    std::array<std::uint8_t, Rows * Cols> cols_{};
    std::array<double, Rows * Cols> values_{};
};

} // namespace torvik
