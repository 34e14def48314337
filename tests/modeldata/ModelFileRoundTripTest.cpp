// Writing and reading back: every field survives, files and memory agree.

#include "support/ModelFixtures.h"

#include "modeldata/ModelFileF.h"
#include "modeldata/PCAModelFileF.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace torvik::test {
namespace {

using namespace torvik::fixtures;

// Tests run in parallel processes: each writes under a name of its own.
std::string tempPath(const std::string& name)
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string unique = std::to_string(getpid()) + "_" + test->test_suite_name() + "_" + test->name() + "_";
    for (char& c : unique)
        if (c == '/') c = '_';
    return ::testing::TempDir() + unique + name;
}

struct PcaCase {
    const char* name;
    PcaFileOptions options;
};

std::vector<PcaCase> pcaCases()
{
    std::vector<PcaCase> cases;
    cases.push_back({"Default", {}});
    PcaFileOptions many;
    many.positions = 5;
    many.netsPerPosition = 3;
    many.weightSeed = 42;
    cases.push_back({"ManyPositionsAndNetworks", many});
    PcaFileOptions wide;
    wide.featureCount = 4;
    wide.outputCount = 6;
    wide.outputMask = {1, 0, 1, 0};
    wide.hidden = 9;
    cases.push_back({"FourFeaturesSixOutputs", wide});
    PcaFileOptions tables;
    tables.positions = 3;
    tables.tables = {opTable({{44100, 1, 2}}), opTable({{48000, 3, 4}, {96000, 5, 6}})};
    cases.push_back({"TablesOfDifferentLengths", tables});
    return cases;
}

void PrintTo(const PcaCase& c, std::ostream* os)
{
    *os << c.name;
}

class PcaRoundTrip : public ::testing::TestWithParam<PcaCase> {};

TEST_P(PcaRoundTrip, MemoryImageReadsBackIdentically)
{
    PCAModelFileF original = makePcaFile(GetParam().options);
    const std::vector<uint8_t> image = original.toBytes();
    ASSERT_FALSE(image.empty());
    PCAModelFileF copy = parsePca(image);
    ASSERT_TRUE(copy.lastReadComplete());
    ASSERT_EQ(copy.groupCount(), original.groupCount());
    EXPECT_TRUE(copy.groups == original.groups);
    EXPECT_EQ(copy.toBytes(), image);
}

TEST_P(PcaRoundTrip, FileReadsBackIdentically)
{
    PCAModelFileF original = makePcaFile(GetParam().options);
    const std::string path = tempPath(std::string("pca-") + GetParam().name + ".dat");
    ASSERT_TRUE(original.saveTo(path));
    PCAModelFileF copy;
    ASSERT_TRUE(copy.loadFrom(path));
    EXPECT_TRUE(copy.groups == original.groups);
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PcaRoundTrip, ::testing::ValuesIn(pcaCases()),
    [](const auto& info) { return std::string(info.param.name); });

struct StdCase {
    const char* name;
    StdFileOptions options;
};

std::vector<StdCase> stdCases()
{
    std::vector<StdCase> cases;
    cases.push_back({"Default", {}});
    StdFileOptions many;
    many.positions = 27;
    many.netsPerPosition = 2;
    many.weightSeed = 3;
    many.tables = {opTable({{44100, 1, 2, 3, 4, 5, 6, 7}})};
    cases.push_back({"ManyPositionsWithTables", many});
    StdFileOptions odd;
    odd.inputCount = 3;
    odd.outputCount = 5;
    odd.hidden = 1;
    cases.push_back({"OtherDimensions", odd});
    return cases;
}

void PrintTo(const StdCase& c, std::ostream* os)
{
    *os << c.name;
}

class StdRoundTrip : public ::testing::TestWithParam<StdCase> {};

TEST_P(StdRoundTrip, MemoryImageReadsBackIdentically)
{
    ModelFileF original = makeStdFile(GetParam().options);
    const std::vector<uint8_t> image = original.toBytes();
    ASSERT_FALSE(image.empty());
    ModelFileF copy = parseStd(image);
    ASSERT_TRUE(copy.lastReadComplete());
    EXPECT_TRUE(copy.groups == original.groups);
    EXPECT_EQ(copy.toBytes(), image);
}

TEST_P(StdRoundTrip, FileReadsBackIdentically)
{
    ModelFileF original = makeStdFile(GetParam().options);
    const std::string path = tempPath(std::string("std-") + GetParam().name + ".dat");
    ASSERT_TRUE(original.saveTo(path));
    ModelFileF copy;
    ASSERT_TRUE(copy.loadFrom(path));
    EXPECT_TRUE(copy.groups == original.groups);
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, StdRoundTrip, ::testing::ValuesIn(stdCases()),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ModelFileContent, UnusualFloatBitsSurvive)
{
    PCAModelFileF file = makePcaFile({});
    const float quietNaN = std::numeric_limits<float>::quiet_NaN();
    uint32_t payloadBits = 0x7FC01234u;
    float payloadNaN;
    std::memcpy(&payloadNaN, &payloadBits, 4);
    PCAModelNet& net = file.groups[0].positions[0].nets[0];
    net.weights[0] = -0.0f;
    net.weights[1] = payloadNaN;
    net.weights[2] = quietNaN;
    net.boxLow[0] = std::numeric_limits<float>::denorm_min();
    file.groups[0].positions[0].projection[0] = -std::numeric_limits<double>::infinity();
    PCAModelFileF copy = parsePca(file.toBytes());
    EXPECT_TRUE(copy.groups == file.groups);
    EXPECT_TRUE(std::signbit(copy.groups[0].positions[0].nets[0].weights[0]));
}

TEST(ModelFileContent, NoGroupsIsAFourByteFile)
{
    for (bool pca : {false, true}) {
        SCOPED_TRACE(pca);
        const std::vector<uint8_t> image{0, 0, 0, 0};
        PCAModelFileF p;
        ModelFileF s;
        BaseModelFileF& file = pca ? static_cast<BaseModelFileF&>(p) : s;
        EXPECT_EQ(file.readFromMemory(image.data(), image.size()), 4u);
        EXPECT_TRUE(file.lastReadComplete());
        EXPECT_EQ(file.groupCount(), 0u);
        EXPECT_EQ(file.toBytes(), image);
    }
}

TEST(ModelFileContent, ZeroTableLengthLeavesTheTableOut)
{
    PcaFileOptions withTable;
    withTable.positions = 3;
    withTable.tables = {{1.0, 2.0}};
    PcaFileOptions withoutTable = withTable;
    withoutTable.tables.clear();

    PCAModelFileF a = makePcaFile(withTable);
    PCAModelFileF b = makePcaFile(withoutTable);
    EXPECT_EQ(a.toBytes().size() - b.toBytes().size(), 3u * 2u * sizeof(double));

    PCAModelFileF read = parsePca(b.toBytes());
    ASSERT_TRUE(read.lastReadComplete());
    EXPECT_EQ(read.groups[0].tableLength, 0u);
    for (const PCAModelPosition& p : read.groups[0].positions) {
        EXPECT_EQ(p.tableLength, 0u);
        EXPECT_TRUE(p.table.empty());
    }

    ModelFileF s = makeStdFile(2, 1, 2);
    ModelFileF sRead = parseStd(s.toBytes());
    ASSERT_TRUE(sRead.lastReadComplete());
    EXPECT_TRUE(sRead.groups[0].positions[1].table.empty());
}

TEST(ModelFileContent, PositionWithoutNetworksIsFollowedByTheNext)
{
    PCAModelFileF pca = makePcaFile(3, 2, 2, 3);
    pca.groups[0].positions[1].nets.clear();
    PCAModelFileF pcaRead = parsePca(pca.toBytes());
    ASSERT_TRUE(pcaRead.lastReadComplete());
    EXPECT_EQ(pcaRead.groups[0].positions[1].netCount, 0u);
    EXPECT_TRUE(pcaRead.groups == pca.groups);
    EXPECT_EQ(pcaRead.groups[0].positions[2].nets[1].outMin[0], constantOutput(2, 1, 0));

    ModelFileF std = makeStdFile(3, 2, 3);
    std.groups[0].positions[0].nets.clear();
    ModelFileF stdRead = parseStd(std.toBytes());
    ASSERT_TRUE(stdRead.lastReadComplete());
    EXPECT_TRUE(stdRead.groups == std.groups);
}

TEST(ModelFileContent, FurtherGroupsAreReadAndKept)
{
    PCAModelFileF pca = makePcaFile(2, 1, 2, 3);
    PCAModelFileF other = makePcaFile(4, 2, 3, 5);
    pca.groups.push_back(other.groups[0]);
    pca.groups.push_back(pca.groups[0]);
    PCAModelFileF read = parsePca(pca.toBytes());
    ASSERT_TRUE(read.lastReadComplete());
    EXPECT_EQ(read.groupCount(), 3u);
    EXPECT_TRUE(read.groups == pca.groups);
    EXPECT_EQ(read.groups[1].positions.size(), 4u);
}

TEST(ModelFileContent, ReadingReplacesThePreviousContent)
{
    const std::string path = tempPath("replace.dat");
    PCAModelFileF big = makePcaFile(4, 2, 2, 3);
    big.groups.push_back(big.groups[0]);
    PCAModelFileF small = makePcaFile(1, 1, 2, 3);
    ASSERT_TRUE(small.saveTo(path));

    PCAModelFileF file = parsePca(big.toBytes());
    ASSERT_EQ(file.groupCount(), 2u);
    ASSERT_TRUE(file.loadFrom(path));
    ASSERT_TRUE(file.loadFrom(path));
    EXPECT_EQ(file.groupCount(), 1u);
    EXPECT_TRUE(file.groups == small.groups);
    std::remove(path.c_str());
}

TEST(ModelFileContent, RecordCountsFollowTheArraysWhenWriting)
{
    PCAModelFileF file = makePcaFile(2, 2, 2, 3);
    PCAModelPosition& p = file.groups[0].positions[0];
    p.nets.pop_back();
    p.inputMask.push_back(0);
    p.nets[0].layerSizes = {3};
    p.nets[0].layerCount = 9;
    file.groups[0].positionCount = 99;
    PCAModelFileF read = parsePca(file.toBytes());
    ASSERT_TRUE(read.lastReadComplete());
    EXPECT_EQ(read.groups[0].positionCount, 2u);
    EXPECT_EQ(read.groups[0].positions[0].netCount, 1u);
    EXPECT_EQ(read.groups[0].positions[0].inputMaskLength, 5u);
    EXPECT_EQ(read.groups[0].positions[0].nets[0].layerCount, 1u);
}

struct Breakage {
    const char* name;
    void (*apply)(PCAModelFileF&);
};

void PrintTo(const Breakage& b, std::ostream* os)
{
    *os << b.name;
}

class InconsistentContent : public ::testing::TestWithParam<Breakage> {};

TEST_P(InconsistentContent, IsNotWritten)
{
    PCAModelFileF file = makePcaFile(2, 2, 2, 3, {{1.0, 2.0}});
    GetParam().apply(file);
    EXPECT_TRUE(file.toBytes().empty());

    const std::string path = tempPath("inconsistent.dat");
    ASSERT_NE(file.openForWriting(path), nullptr);
    EXPECT_EQ(file.writeAll(), 0u);
    file.close();
    std::FILE* check = std::fopen(path.c_str(), "rb");
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(std::fgetc(check), EOF);
    std::fclose(check);
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Pca, InconsistentContent,
    ::testing::Values(
        Breakage{"ShortWeights", [](PCAModelFileF& f) { f.groups[0].positions[1].nets[0].weights.pop_back(); }},
        Breakage{"LongBox", [](PCAModelFileF& f) { f.groups[0].positions[0].nets[1].boxLow.push_back(0); }},
        Breakage{"ShortOutRange", [](PCAModelFileF& f) { f.groups[0].positions[0].nets[0].outMax.pop_back(); }},
        Breakage{"HiddenSlopes", [](PCAModelFileF& f) { f.groups[0].positions[0].nets[0].hiddenSteepness.clear(); }},
        Breakage{"OutputSlopes", [](PCAModelFileF& f) { f.groups[0].positions[0].nets[0].outputSteepness.push_back(1); }},
        Breakage{"Projection", [](PCAModelFileF& f) { f.groups[0].positions[0].projection.pop_back(); }},
        Breakage{"SecondMatrix", [](PCAModelFileF& f) { f.groups[0].positions[0].secondWidth = 2; }},
        Breakage{"Table", [](PCAModelFileF& f) { f.groups[0].positions[1].table.push_back(3.0); }},
        Breakage{"FeatureCount", [](PCAModelFileF& f) { f.groups[0].positions[0].featureCount = 3; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StdInconsistentContent, IsNotWritten)
{
    ModelFileF file = makeStdFile(1, 1, 3);
    file.groups[0].inputCount = 3;
    EXPECT_TRUE(file.toBytes().empty());
    file = makeStdFile(1, 1, 3);
    file.groups[0].positions[0].nets[0].layerSizes = {3, 3};
    EXPECT_TRUE(file.toBytes().empty());
}

TEST(ModelFileStreams, FailuresAreReportedNotThrown)
{
    PCAModelFileF file = makePcaFile({});
    EXPECT_EQ(file.writeAll(), 0u) << "no stream open";
    EXPECT_EQ(file.close(), 0) << "nothing to close";
    EXPECT_EQ(file.openForReading(tempPath("does/not/exist.dat")), nullptr);
    EXPECT_FALSE(file.saveTo(tempPath("no-such-dir/x.dat")));
    EXPECT_FALSE(file.loadFrom(tempPath("no-such-file.dat")));
    EXPECT_FALSE(file.lastReadComplete());
    EXPECT_EQ(file.groupCount(), 0u);
}

TEST(ModelFileStreams, WriteErrorsMakeSaveFail)
{
    std::FILE* probe = std::fopen("/dev/full", "wb");
    if (probe == nullptr)
        GTEST_SKIP() << "/dev/full not available";
    std::fclose(probe);
    PCAModelFileF file = makePcaFile(20, 2, 4, 8);
    EXPECT_FALSE(file.saveTo("/dev/full"));
}

TEST(ModelFileStreams, ReadingStartsAtTheCurrentPosition)
{
    ModelFileF original = makeStdFile(2, 1, 2);
    const std::vector<uint8_t> image = original.toBytes();
    const std::string path = tempPath("offset.dat");
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("junk", out);
    std::fwrite(image.data(), 1, image.size(), out);
    std::fclose(out);

    ModelFileF file;
    std::FILE* in = file.openForReading(path);
    ASSERT_NE(in, nullptr);
    std::fseek(in, 4, SEEK_SET);
    file.readAll();
    file.close();
    EXPECT_TRUE(file.lastReadComplete());
    EXPECT_TRUE(file.groups == original.groups);
    std::remove(path.c_str());
}

TEST(ModelFileStreams, MovingTransfersTheOpenStream)
{
    const std::string path = tempPath("move.dat");
    ModelFileF original = makeStdFile(1, 1, 2);
    ASSERT_TRUE(original.saveTo(path));
    ModelFileF first;
    ASSERT_NE(first.openForReading(path), nullptr);
    ModelFileF second = std::move(first);
    EXPECT_EQ(first.close(), 0);
    second.readAll();
    EXPECT_EQ(second.close(), 0);
    EXPECT_TRUE(second.groups == original.groups);
    std::remove(path.c_str());
}

TEST(ModelFileRecords, NewRecordsHaveTheirCreatedShape)
{
    const ModelNet s(2, 3);
    EXPECT_EQ(s.boxLow.size(), 2u);
    EXPECT_EQ(s.outMax.size(), 3u);
    EXPECT_EQ(s.hiddenSteepness, 0.5f);
    EXPECT_EQ(s.layerSizes, (std::vector<uint32_t>{0}));
    EXPECT_EQ(s.weights.size(), 3u);

    const PCAModelNet p(3, 4);
    EXPECT_EQ(p.inMin.size(), 3u);
    EXPECT_EQ(p.outMin.size(), 4u);
    EXPECT_TRUE(p.hiddenSteepness.empty());
    EXPECT_EQ(p.outputSteepness.size(), 4u);
    EXPECT_EQ(p.weights.size(), 4u);
}

} // namespace
} // namespace torvik::test
