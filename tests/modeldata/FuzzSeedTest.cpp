// Writes the seed inputs of the model file fuzzers and checks what they hold.

#include "support/ModelFixtures.h"

#include "modeldata/ModelFileChecks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace torvik::test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> contentOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

fs::path seedDir()
{
    const char* output = std::getenv("TORVIK_TEST_OUTPUT");
    return fs::path(output != nullptr ? output : ::testing::TempDir()) / "fuzz-seeds";
}

TEST(FuzzSeeds, WritesReadableSeedsForBothVariants)
{
    const fs::path dir = seedDir();
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    const unsigned written = fixtures::writeSeedCorpus(dir.string());
    ASSERT_GT(written, 0u);

    unsigned files = 0, usable = 0, incomplete = 0;
    for (const char* variant : {"std", "pca"}) {
        SCOPED_TRACE(variant);
        ASSERT_TRUE(fs::is_directory(dir / variant));
        for (const auto& entry : fs::directory_iterator(dir / variant)) {
            SCOPED_TRACE(entry.path().filename().string());
            const std::vector<uint8_t> image = contentOf(entry.path());
            ++files;
            std::string reason;
            bool complete;
            if (std::string(variant) == "std") {
                ModelFileF file = fixtures::parseStd(image);
                complete = file.lastReadComplete();
                reason = checkStdModelFile(file, 8);
            } else {
                PCAModelFileF file = fixtures::parsePca(image);
                complete = file.lastReadComplete();
                reason = checkPcaModelFile(file, 13);
                if (!reason.empty())
                    reason = checkPcaModelFile(file, 10);
            }
            usable += reason.empty() ? 1 : 0;
            incomplete += complete ? 0 : 1;
            const std::string name = entry.path().filename().string();
            if (name == "truncated.bin")
                EXPECT_FALSE(complete);
            else if (name == "no-groups.bin")
                EXPECT_EQ(reason, "no group");
            else
                EXPECT_EQ(reason, "");
        }
    }
    EXPECT_EQ(files, written);
    EXPECT_GE(usable, 5u);
    EXPECT_EQ(incomplete, 2u);
}

} // namespace
} // namespace torvik::test
