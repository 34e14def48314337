// Reading and writing against byte images built field by field.

#include "HandBuiltImages.h"
#include "ImageBuilder.h"

#include "modeldata/ModelFileF.h"
#include "modeldata/PCAModelFileF.h"

#include <gtest/gtest.h>

namespace torvik::test {
namespace {

std::vector<float> run(std::size_t count, float first, float step)
{
    std::vector<float> values;
    for (std::size_t i = 0; i < count; ++i)
        values.push_back(first + step * static_cast<float>(i));
    return values;
}

TEST(StdLayout, ReadsEveryFieldOfAHandBuiltImage)
{
    const HandBuiltImage image = handBuiltStdImage();
    ModelFileF file;
    EXPECT_EQ(file.readFromMemory(image.bytes.data(), image.bytes.size()), image.bytes.size());
    ASSERT_TRUE(file.lastReadComplete());
    ASSERT_EQ(file.groupCount(), 1u);

    const ModelGroup& g = file.groups[0];
    EXPECT_EQ(g.length, 236u);
    EXPECT_EQ(g.headerLength, 20u);
    EXPECT_EQ(g.inputCount, 2u);
    EXPECT_EQ(g.outputCount, 2u);
    EXPECT_EQ(g.positionCount, 2u);
    EXPECT_EQ(g.tableLength, 3u);
    ASSERT_EQ(g.positions.size(), 2u);

    const ModelPosition& empty = g.positions[0];
    EXPECT_EQ(empty.reserved, 0xCAFEu);
    EXPECT_EQ(empty.netCount, 0u);
    EXPECT_TRUE(empty.nets.empty());

    const ModelPosition& p = g.positions[1];
    EXPECT_EQ(p.length, 176u);
    EXPECT_EQ(p.headerLength, 40u);
    EXPECT_EQ(p.reserved, 77u);
    EXPECT_EQ(p.inputCount, 2u);
    EXPECT_EQ(p.outputCount, 2u);
    EXPECT_EQ(p.tableLength, 3u);
    EXPECT_EQ(p.table, (std::vector<double>{1.0, 44100.0, -2.5}));
    ASSERT_EQ(p.nets.size(), 1u);

    const ModelNet& net = p.nets[0];
    EXPECT_EQ(net.length, 136u);
    EXPECT_EQ(net.reserved, 5u);
    EXPECT_EQ(net.boxLow, (std::vector<float>{-1.0f, -2.0f}));
    EXPECT_EQ(net.boxHigh, (std::vector<float>{1.0f, 2.0f}));
    EXPECT_EQ(net.inMin, (std::vector<float>{-3.0f, -4.0f}));
    EXPECT_EQ(net.inMax, (std::vector<float>{3.0f, 4.0f}));
    EXPECT_EQ(net.outMin, (std::vector<float>{0.5f, 0.25f}));
    EXPECT_EQ(net.outMax, (std::vector<float>{1.5f, 2.25f}));
    EXPECT_EQ(net.hiddenSteepness, 0.75f);
    EXPECT_EQ(net.outputSteepness, 1.25f);
    EXPECT_EQ(net.layerCount, 1u);
    EXPECT_EQ(net.layerSizes, (std::vector<uint32_t>{2}));
    EXPECT_EQ(net.weights, run(12, 0.125f, 0.0625f));
    EXPECT_EQ(net.trailer, (std::array<uint32_t, 4>{1, 2, 3, 0xFFFFFFFFu}));
}

TEST(PcaLayout, ReadsEveryFieldOfAHandBuiltImage)
{
    const HandBuiltImage image = handBuiltPcaImage();
    PCAModelFileF file;
    EXPECT_EQ(file.readFromMemory(image.bytes.data(), image.bytes.size()), image.bytes.size());
    ASSERT_TRUE(file.lastReadComplete());
    ASSERT_EQ(file.groupCount(), 1u);

    const PCAModelGroup& g = file.groups[0];
    EXPECT_EQ(g.length, 628u);
    EXPECT_EQ(g.headerLength, 16u);
    EXPECT_EQ(g.positionCount, 1u);
    EXPECT_EQ(g.tableLength, 2u);
    ASSERT_EQ(g.positions.size(), 1u);

    const PCAModelPosition& p = g.positions[0];
    EXPECT_EQ(p.length, 612u);
    EXPECT_EQ(p.headerLength, 172u);
    EXPECT_EQ(p.reserved, 0xBEEFu);
    EXPECT_EQ(p.netCount, 1u);
    EXPECT_EQ(p.inputMaskLength, 4u);
    EXPECT_EQ(p.outputMaskLength, 5u);
    EXPECT_EQ(p.candidateCount, 2u);
    EXPECT_EQ(p.secondWidth, 1u);
    EXPECT_EQ(p.featureCount, 3u);
    EXPECT_EQ(p.netOutputCount, 4u);
    EXPECT_EQ(p.tableLength, 2u);
    EXPECT_EQ(p.inputMask, (std::vector<int32_t>{1, 0, 1, 0}));
    EXPECT_EQ(p.outputMask, (std::vector<int32_t>{1, 1, -1, 1, 2}));
    EXPECT_EQ(p.projection, (std::vector<double>{1.0, 0.0, 0.5, 0.0, 1.0, -0.5}));
    EXPECT_EQ(p.secondMatrix, (std::vector<double>{9.0, 8.0, 7.0, 6.0}));
    EXPECT_EQ(p.table, (std::vector<double>{0.0, 123.0}));
    ASSERT_EQ(p.nets.size(), 1u);

    // k = 3, q = 4, one hidden layer of 8: 8 + 4 slopes and 4*8 + 9*4 = 68 weights.
    const PCAModelNet& net = p.nets[0];
    EXPECT_EQ(net.length, 440u);
    EXPECT_EQ(net.reserved, 6u);
    EXPECT_EQ(net.boxLow, run(3, -10.0f, 1.0f));
    EXPECT_EQ(net.boxHigh, run(3, 10.0f, 1.0f));
    EXPECT_EQ(net.inMin, run(3, -1.0f, -1.0f));
    EXPECT_EQ(net.inMax, run(3, 1.0f, 1.0f));
    EXPECT_EQ(net.outMin, run(4, 0.0f, 0.5f));
    EXPECT_EQ(net.outMax, run(4, 2.0f, 0.5f));
    EXPECT_EQ(net.layerCount, 1u);
    EXPECT_EQ(net.layerSizes, (std::vector<uint32_t>{8}));
    EXPECT_EQ(net.hiddenSteepness, run(8, 0.5f, 0.125f));
    EXPECT_EQ(net.outputSteepness, run(4, 1.0f, 0.25f));
    EXPECT_EQ(net.weights, run(68, -1.0f, 0.03125f));
    EXPECT_EQ(net.trailer, (std::array<uint32_t, 4>{0xA, 0xB, 0xC, 0xD}));
}

template <typename File> struct Variant;
template <> struct Variant<ModelFileF> {
    static HandBuiltImage image() { return handBuiltStdImage(); }
    static constexpr uint32_t elements = 55;
};
template <> struct Variant<PCAModelFileF> {
    static HandBuiltImage image() { return handBuiltPcaImage(); }
    static constexpr uint32_t elements = 144;
};

template <typename File> class LayoutBothVariants : public ::testing::Test {};
using FileTypes = ::testing::Types<ModelFileF, PCAModelFileF>;
TYPED_TEST_SUITE(LayoutBothVariants, FileTypes);

TYPED_TEST(LayoutBothVariants, WritingReproducesTheImageWithItsLengthWords)
{
    const HandBuiltImage image = Variant<TypeParam>::image();
    TypeParam file;
    file.readFromMemory(image.bytes.data(), image.bytes.size());
    EXPECT_EQ(file.toBytes(), image.bytes);
}

TYPED_TEST(LayoutBothVariants, LengthWordsAreRecomputedOnWriting)
{
    HandBuiltImage image = Variant<TypeParam>::image();
    std::vector<uint8_t> scrambled = image.bytes;
    for (const NamedOffset& word : image.lengthWords)
        patchU32(scrambled, word.offset, 0xDEADBEEFu);
    TypeParam file;
    file.readFromMemory(scrambled.data(), scrambled.size());
    EXPECT_EQ(file.toBytes(), image.bytes);
}

TYPED_TEST(LayoutBothVariants, LengthWordsDoNotChangeWhatIsRead)
{
    const HandBuiltImage image = Variant<TypeParam>::image();
    TypeParam reference;
    reference.readFromMemory(image.bytes.data(), image.bytes.size());

    for (uint32_t junk : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        SCOPED_TRACE(junk);
        std::vector<uint8_t> scrambled = image.bytes;
        for (const NamedOffset& word : image.lengthWords)
            patchU32(scrambled, word.offset, junk);
        TypeParam file;
        EXPECT_EQ(file.readFromMemory(scrambled.data(), scrambled.size()), scrambled.size());
        EXPECT_TRUE(file.lastReadComplete());
        ASSERT_EQ(file.groups.size(), reference.groups.size());
        // Rewriting refills the length words; everything else must already agree.
        file.toBytes();
        EXPECT_TRUE(file.groups[0] == reference.groups[0]);
    }
}

TYPED_TEST(LayoutBothVariants, ReadAllAndWriteAllCountValues)
{
    const HandBuiltImage image = Variant<TypeParam>::image();
    const std::string path = ::testing::TempDir() + "layout-count.dat";
    {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(image.bytes.data(), 1, image.bytes.size(), out);
        std::fclose(out);
    }
    TypeParam file;
    ASSERT_NE(file.openForReading(path), nullptr);
    EXPECT_EQ(file.readAll(), Variant<TypeParam>::elements);
    EXPECT_EQ(file.close(), 0);

    ASSERT_NE(file.openForWriting(path), nullptr);
    EXPECT_EQ(file.writeAll(), Variant<TypeParam>::elements);
    EXPECT_EQ(file.close(), 0);
    std::remove(path.c_str());
}

} // namespace
} // namespace torvik::test
