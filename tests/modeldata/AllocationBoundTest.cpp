// Reading allocates memory in proportion to the bytes it is given, whatever
// the counts in those bytes claim. This executable replaces the global
// allocation functions to add up every request made while a file is parsed.

#include "HandBuiltImages.h"
#include "ImageBuilder.h"

#include "modeldata/ModelFileF.h"
#include "modeldata/PCAModelFileF.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> counting{false};
std::atomic<std::size_t> requested{0};
} // namespace

void* operator new(std::size_t size)
{
    if (counting.load(std::memory_order_relaxed))
        requested.fetch_add(size, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace torvik::test {
namespace {

template <typename File> std::size_t bytesRequestedToParse(const std::vector<uint8_t>& image)
{
    File file;
    requested = 0;
    counting = true;
    file.readFromMemory(image.data(), image.size());
    counting = false;
    return requested;
}

// Generous for the per-record bookkeeping, tiny against what a hostile count asks for.
std::size_t allowance(const std::vector<uint8_t>& image)
{
    return 64 * image.size() + 64 * 1024;
}

template <typename File> void expectBoundedForEveryHugeCount(const HandBuiltImage& image)
{
    for (const NamedOffset& count : image.counts) {
        for (uint32_t value : {0xFFFFFFFFu, 0x40000000u, 0x00100000u}) {
            SCOPED_TRACE(count.name + " = " + std::to_string(value));
            std::vector<uint8_t> hostile = image.bytes;
            patchU32(hostile, count.offset, value);
            EXPECT_LE(bytesRequestedToParse<File>(hostile), allowance(hostile));
        }
    }
}

TEST(AllocationBound, HugeCountsInStdFiles)
{
    expectBoundedForEveryHugeCount<ModelFileF>(handBuiltStdImage());
}

TEST(AllocationBound, HugeCountsInPcaFiles)
{
    expectBoundedForEveryHugeCount<PCAModelFileF>(handBuiltPcaImage());
}

// Counts that the bytes can just hold, made of the smallest records there are.
TEST(AllocationBound, ManySmallestRecords)
{
    constexpr uint32_t records = 4000;
    struct Case {
        const char* name;
        bool pca;
        std::vector<uint8_t> image;
    };
    std::vector<Case> cases;
    {
        ImageBuilder b;  // groups of 16 bytes
        b.u32(records);
        for (uint32_t g = 0; g < records; ++g)
            b.u32s({0, 0, 0, 0});
        cases.push_back({"pca groups", true, b.bytes});
    }
    {
        ImageBuilder b;  // std groups of 24 bytes
        b.u32(records);
        for (uint32_t g = 0; g < records; ++g)
            b.u32s({0, 0, 0, 0, 0, 0});
        cases.push_back({"std groups", false, b.bytes});
    }
    {
        ImageBuilder b;  // pca positions of 40 bytes
        b.u32(1).u32s({0, 0, records, 0});
        for (uint32_t p = 0; p < records; ++p)
            b.u32s({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        cases.push_back({"pca positions", true, b.bytes});
    }
    {
        ImageBuilder b;  // pca networks of 28 bytes (k = q = 0, no hidden layer)
        b.u32(1).u32s({0, 0, 1, 0}).u32s({0, 0, 0, records, 0, 0, 0, 0, 0, 0});
        for (uint32_t n = 0; n < records; ++n)
            b.u32s({0, 0, 0, 0, 0, 0, 0});
        cases.push_back({"pca networks", true, b.bytes});
    }
    {
        ImageBuilder b;  // std networks of 36 bytes (n = q = 0, no hidden layer)
        b.u32(1).u32s({0, 0, 0, 0, 1, 0}).u32s({0, 0, 0, records});
        for (uint32_t n = 0; n < records; ++n)
            b.u32s({0, 0}).f32(0.5f).f32(1.0f).u32s({0, 0, 0, 0, 0});
        cases.push_back({"std networks", false, b.bytes});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelFileF s;
        PCAModelFileF p;
        BaseModelFileF& file = c.pca ? static_cast<BaseModelFileF&>(p) : s;
        file.readFromMemory(c.image.data(), c.image.size());
        EXPECT_TRUE(file.lastReadComplete()) << "the image is a valid file";
        const std::size_t used = c.pca ? bytesRequestedToParse<PCAModelFileF>(c.image)
                                       : bytesRequestedToParse<ModelFileF>(c.image);
        EXPECT_LE(used, allowance(c.image));
    }
}

} // namespace
} // namespace torvik::test
