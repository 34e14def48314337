#pragma once

#include <cstdint>
#include <cstring>

namespace torvik {

// Conversions between host values and little-endian byte images. Floating-point
// values travel as their bit patterns, so NaN payloads and signed zeros survive.
namespace le {

inline uint32_t loadU32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline uint64_t loadU64(const uint8_t* p)
{
    return uint64_t(loadU32(p)) | (uint64_t(loadU32(p + 4)) << 32);
}

inline void storeU32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

inline void storeU64(uint8_t* p, uint64_t v)
{
    storeU32(p, uint32_t(v));
    storeU32(p + 4, uint32_t(v >> 32));
}

template <typename T> T load(const uint8_t* p)
{
    static_assert(sizeof(T) == 4 || sizeof(T) == 8, "four- or eight-byte values only");
    T value;
    if constexpr (sizeof(T) == 4) {
        const uint32_t bits = loadU32(p);
        std::memcpy(&value, &bits, 4);
    } else {
        const uint64_t bits = loadU64(p);
        std::memcpy(&value, &bits, 8);
    }
    return value;
}

template <typename T> void store(uint8_t* p, T value)
{
    static_assert(sizeof(T) == 4 || sizeof(T) == 8, "four- or eight-byte values only");
    if constexpr (sizeof(T) == 4) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        storeU32(p, bits);
    } else {
        uint64_t bits;
        std::memcpy(&bits, &value, 8);
        storeU64(p, bits);
    }
}

} // namespace le
} // namespace torvik
