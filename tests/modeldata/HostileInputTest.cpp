// Truncated, corrupted and oversized input: refused or read partially, never a crash.

#include "HandBuiltImages.h"
#include "ImageBuilder.h"
#include "support/ModelFixtures.h"

#include "modeldata/ModelFileChecks.h"
#include "modeldata/ModelFileF.h"
#include "modeldata/NetworkSet.h"
#include "modeldata/PCAModelFileF.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <type_traits>
#include <unistd.h>

namespace torvik::test {
namespace {

using namespace torvik::fixtures;

template <typename File> struct Images;
template <> struct Images<ModelFileF> {
    static HandBuiltImage handBuilt() { return handBuiltStdImage(); }
    static std::vector<uint8_t> fixture()
    {
        StdFileOptions o;
        o.positions = 3;
        o.netsPerPosition = 2;
        o.tables = {opTable({{44100, 1, 2, 3, 4, 5, 6, 7}})};
        return makeStdFile(o).toBytes();
    }
};
template <> struct Images<PCAModelFileF> {
    static HandBuiltImage handBuilt() { return handBuiltPcaImage(); }
    static std::vector<uint8_t> fixture()
    {
        PcaFileOptions o;
        o.positions = 3;
        o.netsPerPosition = 2;
        o.tables = {opTable({{44100, 1, 2, 3, 4, 5, 6, 7, 8, 9}})};
        return makePcaFile(o).toBytes();
    }
};

template <typename File> class HostileInput : public ::testing::Test {};
using FileTypes = ::testing::Types<ModelFileF, PCAModelFileF>;
TYPED_TEST_SUITE(HostileInput, FileTypes);

TYPED_TEST(HostileInput, EveryTruncationIsReportedAndTheObjectStaysUsable)
{
    for (const std::vector<uint8_t>& image : {Images<TypeParam>::handBuilt().bytes, Images<TypeParam>::fixture()}) {
        TypeParam complete;
        complete.readFromMemory(image.data(), image.size());
        ASSERT_TRUE(complete.lastReadComplete());

        for (std::size_t size = 0; size < image.size(); ++size) {
            SCOPED_TRACE(size);
            TypeParam file;
            const std::vector<uint8_t> prefix(image.begin(), image.begin() + size);
            EXPECT_LE(file.readFromMemory(prefix.data(), prefix.size()), size);
            EXPECT_FALSE(file.lastReadComplete());
            file.toBytes();
            file.readFromMemory(image.data(), image.size());
            EXPECT_TRUE(file.lastReadComplete());
            EXPECT_TRUE(file.groups == complete.groups);
        }
    }
}

TYPED_TEST(HostileInput, TruncatedFileOnDiskIsReportedLikeMemory)
{
    const std::vector<uint8_t> image = Images<TypeParam>::fixture();
    const std::string path = ::testing::TempDir() + "truncated.dat";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(image.data(), 1, image.size() - 3, out);
    std::fclose(out);
    TypeParam file;
    EXPECT_FALSE(file.loadFrom(path));
    EXPECT_FALSE(file.lastReadComplete());
    EXPECT_EQ(file.groupCount(), 1u);
    std::remove(path.c_str());
}

TYPED_TEST(HostileInput, ImpossibleCountsStopTheRead)
{
    const HandBuiltImage image = Images<TypeParam>::handBuilt();
    for (const NamedOffset& count : image.counts) {
        for (uint32_t value : {0xFFFFFFFFu, 0x80000000u, 0x10000000u}) {
            SCOPED_TRACE(count.name + " = " + std::to_string(value));
            std::vector<uint8_t> hostile = image.bytes;
            patchU32(hostile, count.offset, value);
            TypeParam file;
            EXPECT_LE(file.readFromMemory(hostile.data(), hostile.size()), hostile.size());
            EXPECT_FALSE(file.lastReadComplete());
        }
    }
}

TYPED_TEST(HostileInput, TrailingBytesAreNotRead)
{
    std::vector<uint8_t> image = Images<TypeParam>::fixture();
    const std::size_t size = image.size();
    image.insert(image.end(), {1, 2, 3, 4, 5});
    TypeParam file;
    EXPECT_EQ(file.readFromMemory(image.data(), image.size()), size);
    EXPECT_TRUE(file.lastReadComplete());
}

TYPED_TEST(HostileInput, NullMemoryReadsNothing)
{
    TypeParam file;
    EXPECT_EQ(file.readFromMemory(nullptr, 100), 0u);
    EXPECT_FALSE(file.lastReadComplete());
    EXPECT_EQ(file.groupCount(), 0u);
}

TYPED_TEST(HostileInput, UnseekableStreamIsRefused)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::vector<uint8_t> image = Images<TypeParam>::fixture();
    ASSERT_EQ(write(fds[1], image.data(), 16), 16);
    close(fds[1]);
    TypeParam file;
    ASSERT_NE(file.openForReading("/proc/self/fd/" + std::to_string(fds[0])), nullptr);
    close(fds[0]);
    file.readAll();
    EXPECT_EQ(file.close(), 0);
    EXPECT_FALSE(file.lastReadComplete());
    EXPECT_EQ(file.groupCount(), 0u);
}

// Deterministic byte corruption: whatever a damaged file holds, reading,
// checking, building and evaluating stay within bounds.
TYPED_TEST(HostileInput, CorruptedBytesNeverBreakTheReaderOrTheNetworks)
{
    const std::vector<uint8_t> image = Images<TypeParam>::fixture();
    uint32_t state = 12345;
    auto next = [&state] { return state = state * 1103515245u + 12345u; };
    unsigned usable = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<uint8_t> damaged = image;
        const int flips = 1 + static_cast<int>(next() % 4);
        for (int f = 0; f < flips; ++f)
            damaged[(next() >> 8) % damaged.size()] = static_cast<uint8_t>(next() >> 16);
        TypeParam file;
        file.readFromMemory(damaged.data(), damaged.size());
        uint8_t mask[4] = {1, 1, 1, 1};
        std::vector<NeuralNet> nets = buildNetworks(file, mask);
        double slots[4] = {};
        const double x[4] = {0.25, -0.5, 0.75, 1.0};
        for (NeuralNet& net : nets)
            evaluateBipolar(net, x, slots);
        bool ok;
        if constexpr (std::is_same_v<TypeParam, ModelFileF>)
            ok = checkStdModelFile(file, 8).empty();
        else
            ok = checkPcaModelFile(file, 10).empty();
        if (ok) {
            ++usable;
            EXPECT_FALSE(nets.empty());
        }
    }
    EXPECT_GT(usable, 0u);
}

TEST(HostileMinimalRecords, ManyEmptyPositionsReadCompletely)
{
    ImageBuilder b;
    b.u32(1).u32(0).u32(0).u32(1000).u32(0);
    for (int p = 0; p < 1000; ++p)
        b.u32s({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    PCAModelFileF file;
    EXPECT_EQ(file.readFromMemory(b.bytes.data(), b.bytes.size()), b.bytes.size());
    EXPECT_TRUE(file.lastReadComplete());
    EXPECT_EQ(file.groups[0].positions.size(), 1000u);
    EXPECT_NE(checkPcaModelFile(file, 13), "");
}

} // namespace
} // namespace torvik::test
