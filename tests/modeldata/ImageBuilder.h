#pragma once

#include "modeldata/LittleEndian.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace torvik::test {

// Builds a little-endian byte image field by field, independently of the
// model file writers.
class ImageBuilder {
public:
    ImageBuilder& u32(uint32_t v) { return put(v); }
    ImageBuilder& i32(int32_t v) { return put(v); }
    ImageBuilder& f32(float v) { return put(v); }
    ImageBuilder& f64(double v) { return put(v); }

    ImageBuilder& u32s(std::initializer_list<uint32_t> vs) { return putAll(vs); }
    ImageBuilder& i32s(std::initializer_list<int32_t> vs) { return putAll(vs); }
    ImageBuilder& f32s(std::initializer_list<float> vs) { return putAll(vs); }
    ImageBuilder& f64s(std::initializer_list<double> vs) { return putAll(vs); }
    ImageBuilder& f32Run(std::size_t count, float first, float step)
    {
        for (std::size_t i = 0; i < count; ++i)
            put(first + step * static_cast<float>(i));
        return *this;
    }

    // Offset of the next field; remember it to patch or inspect a field later.
    std::size_t here() const { return bytes.size(); }

    std::vector<uint8_t> bytes;

private:
    template <typename T> ImageBuilder& put(T v)
    {
        uint8_t raw[sizeof(T)];
        le::store<T>(raw, v);
        bytes.insert(bytes.end(), raw, raw + sizeof(T));
        return *this;
    }
    template <typename T> ImageBuilder& putAll(std::initializer_list<T> vs)
    {
        for (T v : vs)
            put(v);
        return *this;
    }
};

inline void patchU32(std::vector<uint8_t>& image, std::size_t offset, uint32_t value)
{
    le::storeU32(image.data() + offset, value);
}

inline uint32_t u32At(const std::vector<uint8_t>& image, std::size_t offset)
{
    return le::loadU32(image.data() + offset);
}

} // namespace torvik::test
