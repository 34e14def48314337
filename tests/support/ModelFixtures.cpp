#include "support/ModelFixtures.h"

#include "modeldata/WeightCount.h"

#include <filesystem>
#include <fstream>
#include <limits>

namespace torvik::fixtures {

namespace {

constexpr float infinity = std::numeric_limits<float>::infinity();

unsigned tableLengthOf(const std::vector<std::vector<double>>& tables)
{
    std::size_t longest = 0;
    for (const auto& table : tables)
        longest = std::max(longest, table.size());
    return static_cast<unsigned>(longest);
}

std::vector<double> tableFor(const std::vector<std::vector<double>>& tables, unsigned position, unsigned length)
{
    std::vector<double> table(length, 0.0);
    if (!tables.empty()) {
        const auto& source = tables[position % tables.size()];
        std::copy(source.begin(), source.end(), table.begin());
    }
    return table;
}

std::vector<float> constantsFor(unsigned position, unsigned net, unsigned outputs)
{
    std::vector<float> values(outputs);
    for (unsigned o = 0; o < outputs; ++o)
        values[o] = constantOutput(position, net, o);
    return values;
}

template <typename Net> void fillCommon(Net& net, unsigned inputs, unsigned hidden, const std::vector<float>& constants)
{
    net.boxLow.assign(inputs, -infinity);
    net.boxHigh.assign(inputs, infinity);
    net.inMin.assign(inputs, -1.0f);
    net.inMax.assign(inputs, 1.0f);
    net.outMin = constants;
    net.outMax.clear();
    for (float c : constants)
        net.outMax.push_back(c + 1.0f);
    net.layerCount = 1;
    net.layerSizes = {hidden};
    net.weights.assign(static_cast<std::size_t>(weightCount(inputs, net.layerSizes, constants.size())), 0.0f);
    net.trailer = {0xA1u, 0xB2u, 0xC3u, 0xD4u};
}

// With random weights the outputs are no longer constant; a range around the
// constant keeps them distinct per network.
template <typename Net> void randomise(Net& net, uint32_t seed)
{
    fillWeights(net.weights, seed);
    for (std::size_t o = 0; o < net.outMin.size(); ++o) {
        net.outMax[o] = net.outMin[o] + 1.0f;
        net.outMin[o] = net.outMin[o] - 1.0f;
    }
}

void writeImage(const std::filesystem::path& path, const std::vector<uint8_t>& image)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

std::vector<uint8_t> truncated(std::vector<uint8_t> image)
{
    image.resize(image.size() / 2);
    return image;
}

} // namespace

float constantOutput(unsigned position, unsigned net, unsigned output)
{
    return static_cast<float>(100 * position + 10 * net + output + 1);
}

std::vector<double> opTable(const std::vector<std::vector<double>>& entries)
{
    std::vector<double> table{static_cast<double>(entries.size())};
    for (const auto& entry : entries)
        table.insert(table.end(), entry.begin(), entry.end());
    return table;
}

void fillWeights(std::vector<float>& weights, uint32_t seed)
{
    uint32_t state = seed;
    for (float& w : weights) {
        if (seed == 0) {
            w = 0.0f;
            continue;
        }
        state = state * 1664525u + 1013904223u;
        w = static_cast<float>(state >> 8) / static_cast<float>(1u << 23) - 1.0f;
    }
}

PCAModelNet makePcaNet(unsigned k, unsigned hidden, const std::vector<float>& constants)
{
    PCAModelNet net;
    fillCommon(net, k, hidden, constants);
    net.hiddenSteepness.assign(hidden, 0.5f);
    net.outputSteepness.assign(constants.size(), 1.0f);
    return net;
}

ModelNet makeStdNet(unsigned n, unsigned hidden, const std::vector<float>& constants)
{
    ModelNet net;
    fillCommon(net, n, hidden, constants);
    net.hiddenSteepness = 0.5f;
    net.outputSteepness = 1.0f;
    return net;
}

void setProjection(PCAModelPosition& position, const std::vector<std::vector<double>>& rows)
{
    const std::size_t k = rows.size();
    const std::size_t m = k == 0 ? 0 : rows[0].size();
    position.candidateCount = static_cast<uint32_t>(m);
    position.projection.assign(k * m, 0.0);
    for (std::size_t i = 0; i < k; ++i)
        for (std::size_t j = 0; j < m; ++j)
            position.projection[j * k + i] = rows[i][j];
}

PCAModelFileF makePcaFile(const PcaFileOptions& options)
{
    const unsigned k = options.featureCount;
    const unsigned q = options.outputCount;
    PCAModelFileF file;
    file.allocateGroups(1);
    PCAModelGroup& group = file.groups[0];
    group.tableLength = tableLengthOf(options.tables);
    for (unsigned p = 0; p < options.positions; ++p) {
        PCAModelPosition position;
        position.reserved = 7000 + p;
        position.featureCount = k;
        position.netOutputCount = q;
        position.inputMask.assign(4, 0);
        for (unsigned j = 0; j < k && j < 4; ++j)
            position.inputMask[j] = 1;
        position.outputMask.assign(options.outputMask.begin(), options.outputMask.end());
        std::vector<std::vector<double>> identity(k, std::vector<double>(k, 0.0));
        for (unsigned i = 0; i < k; ++i)
            identity[i][i] = 1.0;
        setProjection(position, identity);
        position.secondWidth = 1;
        position.secondMatrix.assign(q, 0.25);
        position.table = tableFor(options.tables, p, group.tableLength);
        for (unsigned j = 0; j < options.netsPerPosition; ++j) {
            PCAModelNet net = makePcaNet(k, options.hidden, constantsFor(p, j, q));
            net.reserved = 100 + j;
            if (options.weightSeed != 0)
                randomise(net, options.weightSeed + 31 * p + j);
            position.nets.push_back(std::move(net));
        }
        group.positions.push_back(std::move(position));
    }
    file.toBytes();  // fills counts and length words as a written file holds them
    return file;
}

PCAModelFileF makePcaFile(unsigned positions, unsigned netsPerPosition, unsigned k, unsigned hidden,
    const std::vector<std::vector<double>>& opTablePerPosition)
{
    PcaFileOptions options;
    options.positions = positions;
    options.netsPerPosition = netsPerPosition;
    options.featureCount = k;
    options.hidden = hidden;
    options.tables = opTablePerPosition;
    return makePcaFile(options);
}

ModelFileF makeStdFile(const StdFileOptions& options)
{
    const unsigned n = options.inputCount;
    const unsigned q = options.outputCount;
    ModelFileF file;
    file.allocateGroups(1);
    ModelGroup& group = file.groups[0];
    group.inputCount = n;
    group.outputCount = q;
    group.tableLength = tableLengthOf(options.tables);
    for (unsigned p = 0; p < options.positions; ++p) {
        ModelPosition position;
        position.reserved = 7000 + p;
        position.table = tableFor(options.tables, p, group.tableLength);
        for (unsigned j = 0; j < options.netsPerPosition; ++j) {
            ModelNet net = makeStdNet(n, options.hidden, constantsFor(p, j, q));
            net.reserved = 100 + j;
            if (options.weightSeed != 0)
                randomise(net, options.weightSeed + 31 * p + j);
            position.nets.push_back(std::move(net));
        }
        group.positions.push_back(std::move(position));
    }
    file.toBytes();
    return file;
}

ModelFileF makeStdFile(unsigned positions, unsigned netsPerPosition, unsigned hidden,
    const std::vector<std::vector<double>>& opTablePerPosition)
{
    StdFileOptions options;
    options.positions = positions;
    options.netsPerPosition = netsPerPosition;
    options.hidden = hidden;
    options.tables = opTablePerPosition;
    return makeStdFile(options);
}

std::vector<uint8_t> imageOf(BaseModelFileF& file)
{
    return file.toBytes();
}

PCAModelFileF parsePca(const std::vector<uint8_t>& image)
{
    PCAModelFileF file;
    file.readFromMemory(image.data(), image.size());
    return file;
}

ModelFileF parseStd(const std::vector<uint8_t>& image)
{
    ModelFileF file;
    file.readFromMemory(image.data(), image.size());
    return file;
}

unsigned writeSeedCorpus(const std::string& dir)
{
    namespace fs = std::filesystem;
    const fs::path pcaDir = fs::path(dir) / "pca";
    const fs::path stdDir = fs::path(dir) / "std";
    std::error_code error;
    fs::create_directories(pcaDir, error);
    fs::create_directories(stdDir, error);
    unsigned written = 0;
    auto save = [&written](const fs::path& path, const std::vector<uint8_t>& image) {
        writeImage(path, image);
        written += fs::exists(path) ? 1 : 0;
    };

    // Gain-stage shape: one network per gain step, two rates in the table.
    PcaFileOptions gain;
    gain.positions = 17;
    gain.featureCount = 2;
    gain.hidden = 4;
    gain.weightSeed = 11;
    gain.tables = {opTable({{44100, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
        {88200, -1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11, -12}})};
    PCAModelFileF gainFile = makePcaFile(gain);
    const std::vector<uint8_t> gainImage = gainFile.toBytes();
    save(pcaDir / "gain-stage.bin", gainImage);
    save(pcaDir / "truncated.bin", truncated(gainImage));

    // Third-stage shape: several networks with boxes tiling feature 0, a
    // projection that is not the identity.
    PcaFileOptions third;
    third.netsPerPosition = 4;
    third.featureCount = 3;
    third.hidden = 6;
    third.weightSeed = 5;
    third.tables = {opTable({{44100, 1, 2, 3, 4, 5, 6, 7, 8, 9}})};
    PCAModelFileF thirdFile = makePcaFile(third);
    PCAModelPosition& position = thirdFile.groups[0].positions[0];
    for (unsigned j = 0; j < position.nets.size(); ++j) {
        position.nets[j].boxLow[0] = -2.0f + float(j);
        position.nets[j].boxHigh[0] = -1.0f + float(j);
    }
    setProjection(position, {{0.5, 0.5, 0.0}, {0.0, 1.0, -1.0}, {2.0, 0.0, 0.25}});
    save(pcaDir / "third-stage.bin", thirdFile.toBytes());

    // Four features from a mask 1,0,1,0 output, six network outputs, two groups.
    PcaFileOptions wide;
    wide.positions = 2;
    wide.featureCount = 4;
    wide.outputCount = 6;
    wide.outputMask = {1, 0, 1, 0};
    wide.weightSeed = 3;
    PCAModelFileF wideFile = makePcaFile(wide);
    wideFile.groups.push_back(wideFile.groups[0]);
    save(pcaDir / "two-groups.bin", wideFile.toBytes());

    PCAModelFileF emptyPca;
    save(pcaDir / "no-groups.bin", emptyPca.toBytes());

    // Tone-stack shape: a few positions, two outputs, table entries of eight values.
    StdFileOptions tone;
    tone.positions = 27;
    tone.hidden = 5;
    tone.weightSeed = 7;
    tone.tables = {opTable({{44100, 1, 2, 3, 4, 5, 6, 7}, {96000, 7, 6, 5, 4, 3, 2, 1}})};
    ModelFileF toneFile = makeStdFile(tone);
    const std::vector<uint8_t> toneImage = toneFile.toBytes();
    save(stdDir / "tone-stack.bin", toneImage);
    save(stdDir / "truncated.bin", truncated(toneImage));

    StdFileOptions multi;
    multi.positions = 2;
    multi.netsPerPosition = 2;
    multi.outputCount = 3;
    multi.weightSeed = 9;
    ModelFileF multiFile = makeStdFile(multi);
    multiFile.groups.push_back(multiFile.groups[0]);
    save(stdDir / "two-groups.bin", multiFile.toBytes());

    ModelFileF emptyStd;
    save(stdDir / "no-groups.bin", emptyStd.toBytes());
    return written;
}

} // namespace torvik::fixtures
