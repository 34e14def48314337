#include "HandBuiltImages.h"

#include "ImageBuilder.h"

namespace torvik::test {

namespace {

void count(HandBuiltImage& image, const ImageBuilder& b, const char* name)
{
    image.counts.push_back({name, b.here()});
}

void lengthWord(HandBuiltImage& image, const ImageBuilder& b, const char* name)
{
    image.lengthWords.push_back({name, b.here()});
}

} // namespace

HandBuiltImage handBuiltStdImage()
{
    HandBuiltImage image;
    ImageBuilder b;
    count(image, b, "groupCount");
    b.u32(1);
    lengthWord(image, b, "group length");
    b.u32(236);
    lengthWord(image, b, "group headerLength");
    b.u32(20);
    count(image, b, "inputCount");
    b.u32(2);
    count(image, b, "outputCount");
    b.u32(2);
    count(image, b, "positionCount");
    b.u32(2);
    count(image, b, "tableLength");
    b.u32(3);

    lengthWord(image, b, "position 0 length");
    b.u32(40);
    lengthWord(image, b, "position 0 headerLength");
    b.u32(40);
    b.u32(0xCAFE);  // reserved
    count(image, b, "position 0 netCount");
    b.u32(0);
    b.f64s({0.0, 0.0, 0.0});

    lengthWord(image, b, "position 1 length");
    b.u32(176);
    lengthWord(image, b, "position 1 headerLength");
    b.u32(40);
    b.u32(77);
    count(image, b, "position 1 netCount");
    b.u32(1);
    b.f64s({1.0, 44100.0, -2.5});

    lengthWord(image, b, "network length");
    b.u32(136);
    b.u32(5);  // reserved
    b.f32s({-1.0f, -2.0f}).f32s({1.0f, 2.0f});   // boxLow, boxHigh
    b.f32s({-3.0f, -4.0f}).f32s({3.0f, 4.0f});   // inMin, inMax
    b.f32s({0.5f, 0.25f}).f32s({1.5f, 2.25f});   // outMin, outMax
    b.f32(0.75f).f32(1.25f);                     // hiddenSteepness, outputSteepness
    count(image, b, "layerCount");
    b.u32(1);
    b.u32(2);
    b.f32Run(12, 0.125f, 0.0625f);
    b.u32s({1, 2, 3, 0xFFFFFFFFu});
    image.bytes = b.bytes;
    return image;
}

HandBuiltImage handBuiltPcaImage()
{
    HandBuiltImage image;
    ImageBuilder b;
    count(image, b, "groupCount");
    b.u32(1);
    lengthWord(image, b, "group length");
    b.u32(628);
    lengthWord(image, b, "group headerLength");
    b.u32(16);
    count(image, b, "positionCount");
    b.u32(1);
    count(image, b, "tableLength");
    b.u32(2);

    lengthWord(image, b, "position length");
    b.u32(612);
    lengthWord(image, b, "position headerLength");
    b.u32(172);
    b.u32(0xBEEF);  // reserved
    const char* words[] = {"netCount", "inputMaskLength", "outputMaskLength", "candidateCount", "secondWidth",
        "featureCount", "netOutputCount"};
    const uint32_t values[] = {1, 4, 5, 2, 1, 3, 4};
    for (std::size_t w = 0; w < 7; ++w) {
        count(image, b, words[w]);
        b.u32(values[w]);
    }
    b.i32s({1, 0, 1, 0});
    b.i32s({1, 1, -1, 1, 2});
    b.f64s({1.0, 0.0, 0.5, 0.0, 1.0, -0.5});  // projection, 3 x 2, column after column
    b.f64s({9.0, 8.0, 7.0, 6.0});             // second matrix, 4 x 1
    b.f64s({0.0, 123.0});                     // table

    lengthWord(image, b, "network length");
    b.u32(440);
    b.u32(6);  // reserved
    b.f32Run(3, -10.0f, 1.0f).f32Run(3, 10.0f, 1.0f);  // boxLow, boxHigh
    b.f32Run(3, -1.0f, -1.0f).f32Run(3, 1.0f, 1.0f);   // inMin, inMax
    b.f32Run(4, 0.0f, 0.5f).f32Run(4, 2.0f, 0.5f);     // outMin, outMax
    count(image, b, "layerCount");
    b.u32(1);
    b.u32(8);
    b.f32Run(8, 0.5f, 0.125f);   // hidden steepness
    b.f32Run(4, 1.0f, 0.25f);    // output steepness
    b.f32Run(68, -1.0f, 0.03125f);
    b.u32s({0xA, 0xB, 0xC, 0xD});
    image.bytes = b.bytes;
    return image;
}

} // namespace torvik::test
