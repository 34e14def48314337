// The embedded images decode to the sizes and frame layouts the controls are built for.
#include <BinaryData.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <vector>

namespace torvik {
namespace {

struct Artwork {
    const char* name;
    const char* data;
    int size;
    const char* format;
    int width, height, frames;
};

TEST(Artwork, EmbeddedImagesDecodeToTheirStrips) {
    const juce::ScopedJuceInitialiser_GUI gui;
    using namespace BinaryData;
    const std::vector<Artwork> images = {
        {"page", page_png, page_pngSize, "PNG", 460, 736, 2},
        {"switch", switch_png, switch_pngSize, "PNG", 37, 44, 2},
        {"gain bar", gain_bar_png, gain_bar_pngSize, "PNG", 208, 391, 17},
        {"tone bar", tone_bar_png, tone_bar_pngSize, "PNG", 208, 345, 15},
        {"oversampling", oversampling_png, oversampling_pngSize, "PNG", 152, 145, 5},
        {"tube", tube_jpg, tube_jpgSize, "JPEG", 460, 8832, 24},
        {"blurred tube", tube_blurred_jpg, tube_blurred_jpgSize, "JPEG", 460, 8832, 24},
        {"level bar", level_bar_png, level_bar_pngSize, "PNG", 208, 1150, 50},
        {"light outline 0", outline_light_0_png, outline_light_0_pngSize, "PNG", 74, 21, 1},
        {"dark outline 0", outline_dark_0_png, outline_dark_0_pngSize, "PNG", 74, 21, 1},
        {"light outline 1", outline_light_1_png, outline_light_1_pngSize, "PNG", 76, 21, 1},
        {"dark outline 1", outline_dark_1_png, outline_dark_1_pngSize, "PNG", 76, 21, 1},
    };
    for (const Artwork& a : images) {
        juce::MemoryInputStream stream(a.data, static_cast<size_t>(a.size), false);
        juce::ImageFileFormat* format = juce::ImageFileFormat::findImageFormatForStream(stream);
        ASSERT_NE(format, nullptr) << a.name;
        EXPECT_EQ(format->getFormatName(), a.format) << a.name;
        const juce::Image image = juce::ImageCache::getFromMemory(a.data, a.size);
        ASSERT_TRUE(image.isValid()) << a.name;
        EXPECT_EQ(image.getWidth(), a.width) << a.name;
        EXPECT_EQ(image.getHeight(), a.height) << a.name;
        EXPECT_EQ(image.getHeight() % a.frames, 0) << a.name << ": frames without a remainder";
        EXPECT_EQ(image.hasAlphaChannel(), juce::String(a.format) == "PNG") << a.name;
    }
}

// The first frame of every bar is empty, so a bar at zero shows only the page behind it.
TEST(Artwork, BarsStartEmpty) {
    const juce::ScopedJuceInitialiser_GUI gui;
    using namespace BinaryData;
    for (const auto& [data, size] : {std::pair{gain_bar_png, gain_bar_pngSize}, std::pair{tone_bar_png, tone_bar_pngSize},
                                     std::pair{level_bar_png, level_bar_pngSize}}) {
        const juce::Image bar = juce::ImageCache::getFromMemory(data, size);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < bar.getWidth(); ++x) ASSERT_EQ(bar.getPixelAt(x, y).getAlpha(), 0) << x << "," << y;
        // and the last one spans the whole width over rows 6..16
        const int last = bar.getHeight() - 23;
        EXPECT_GT(bar.getPixelAt(207, last + 11).getAlpha(), 0);
        EXPECT_EQ(bar.getPixelAt(207, last + 5).getAlpha(), 0);
        EXPECT_EQ(bar.getPixelAt(207, last + 17).getAlpha(), 0);
    }
}

} // namespace
} // namespace torvik
