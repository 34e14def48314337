#pragma once

#include "modeldata/ByteSink.h"
#include "modeldata/LittleEndian.h"

#include <array>
#include <cstdint>
#include <vector>

namespace torvik {

// Writes little-endian fields to a ByteSink and counts the values written.
class FieldWriter {
public:
    explicit FieldWriter(ByteSink& sink) : sink_(sink) {}

    uint32_t elements() const { return elements_; }
    bool ok() const { return sink_.ok(); }

    template <typename T> void value(T v)
    {
        uint8_t bytes[sizeof(T)];
        le::store<T>(bytes, v);
        sink_.write(bytes, sizeof(T));
        elements_ += 1;
    }

    template <typename T> void array(const std::vector<T>& values)
    {
        constexpr std::size_t chunk = 512;
        uint8_t bytes[chunk * sizeof(T)];
        std::size_t done = 0;
        while (done < values.size() && sink_.ok()) {
            const std::size_t n = values.size() - done < chunk ? values.size() - done : chunk;
            for (std::size_t i = 0; i < n; ++i)
                le::store<T>(bytes + i * sizeof(T), values[done + i]);
            sink_.write(bytes, n * sizeof(T));
            done += n;
        }
        elements_ += static_cast<uint32_t>(values.size());
    }

    template <typename T, std::size_t N> void fixed(const std::array<T, N>& values)
    {
        for (const auto& v : values)
            value(v);
    }

private:
    ByteSink& sink_;
    uint32_t elements_ = 0;
};

} // namespace torvik
