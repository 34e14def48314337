#pragma once

#include "modeldata/ByteSource.h"
#include "modeldata/LittleEndian.h"

#include <array>
#include <cstdint>
#include <vector>

namespace torvik {

// Reads little-endian fields from a ByteSource. The first shortfall stops the
// reader for good: every later call returns false and changes nothing.
// Arrays are only allocated once the bytes to fill them are known to exist.
class FieldReader {
public:
    explicit FieldReader(ByteSource& source) : source_(source) {}

    bool ok() const { return ok_; }
    // Values delivered so far; an array of n values counts n.
    uint32_t elements() const { return elements_; }

    // True when count records of at least minBytes bytes each can still follow.
    // Otherwise the reader stops.
    bool fits(uint64_t count, uint64_t minBytes);

    template <typename T> bool value(T& out)
    {
        uint8_t bytes[sizeof(T)];
        if (!ok_ || !source_.read(bytes, sizeof(T)))
            return stop();
        out = le::load<T>(bytes);
        elements_ += 1;
        return true;
    }

    // Replaces out by count values read from the source. On a shortfall out is left as it was.
    template <typename T> bool array(std::vector<T>& out, uint64_t count)
    {
        if (!fits(count, sizeof(T)))
            return false;
        std::vector<T> fresh(static_cast<std::size_t>(count));
        auto* bytes = reinterpret_cast<uint8_t*>(fresh.data());
        if (!source_.read(bytes, fresh.size() * sizeof(T)))
            return stop();
        for (std::size_t i = 0; i < fresh.size(); ++i)
            fresh[i] = le::load<T>(bytes + i * sizeof(T));
        out.swap(fresh);
        elements_ += static_cast<uint32_t>(count);
        return true;
    }

    template <typename T, std::size_t N> bool fixed(std::array<T, N>& out)
    {
        for (auto& v : out)
            if (!value(v))
                return false;
        return true;
    }

private:
    bool stop()
    {
        ok_ = false;
        return false;
    }

    ByteSource& source_;
    bool ok_ = true;
    uint32_t elements_ = 0;
};

} // namespace torvik
