// The two image controls: which frame a film-strip knob shows for a value, and what both draw.
#include "editor/FilmStripKnob.h"
#include "editor/ImageToggleButton.h"

#include <gtest/gtest.h>

#include <vector>

namespace torvik {
namespace {

// Components want the framework's message thread, as in a plug-in.
class FilmStripKnobTest : public ::testing::Test {
    juce::ScopedJuceInitialiser_GUI gui;
};
class ImageToggleButtonTest : public ::testing::Test {
    juce::ScopedJuceInitialiser_GUI gui;
};

struct FrameCase {
    double minimum, maximum, step;
    int frames;
    double value;
    int frame;
};

// The frame index is truncated after double-precision arithmetic, so a quotient just short of a
// whole number shows the frame below it.
TEST_F(FilmStripKnobTest, FrameIndexTruncatesTheQuotient) {
    const std::vector<FrameCase> cases = {
        // input bar: 0..12.25 in steps of 0.25, 50 frames
        {0, 12.25, 0.25, 50, 0.0, 0},   {0, 12.25, 0.25, 50, 0.25, 0},  {0, 12.25, 0.25, 50, 0.5, 1},
        {0, 12.25, 0.25, 50, 1.0, 3},   {0, 12.25, 0.25, 50, 2.0, 7},   {0, 12.25, 0.25, 50, 4.0, 15},
        {0, 12.25, 0.25, 50, 6.75, 26}, {0, 12.25, 0.25, 50, 8.0, 31},  {0, 12.25, 0.25, 50, 12.25, 49},
        {0, 12.25, 0.25, 50, 0.75, 3},
        // output bar: -37..12, 50 frames
        {-37, 12, 1, 50, -37, 0},  {-37, 12, 1, 50, -36, 0},  {-37, 12, 1, 50, -35, 1},  {-37, 12, 1, 50, -33, 3},
        {-37, 12, 1, 50, -29, 7},  {-37, 12, 1, 50, -21, 15}, {-37, 12, 1, 50, -10, 26}, {-37, 12, 1, 50, -5, 31},
        {-37, 12, 1, 50, 12, 49},
        // tube views: 0..23, 24 frames
        {0, 23, 1, 24, 13, 12}, {0, 23, 1, 24, 0, 0}, {0, 23, 1, 24, 23, 23},
    };
    for (const FrameCase& c : cases) {
        FilmStripKnob knob(nullptr, c.frames);
        knob.setRange(c.minimum, c.maximum, c.step);
        knob.setValue(c.value, juce::dontSendNotification);
        EXPECT_EQ(knob.currentFrame(), c.frame) << "range " << c.minimum << ".." << c.maximum << ", value " << c.value;
    }
}

TEST_F(FilmStripKnobTest, WholeStepRangesShowTheirValue) {
    for (const int maximum : {16, 14, 4}) {
        FilmStripKnob knob(nullptr, maximum + 1);
        knob.setRange(0.0, maximum, 1.0);
        for (int v = 0; v <= maximum; ++v) {
            knob.setValue(v, juce::dontSendNotification);
            EXPECT_EQ(knob.currentFrame(), v) << "range 0.." << maximum;
        }
    }
}

TEST_F(FilmStripKnobTest, DegenerateRangesStayInsideTheStrip) {
    EXPECT_EQ(FilmStripKnob::frameIndexFor(1.0, 1.0, 1.0, 5), 0);
    EXPECT_EQ(FilmStripKnob::frameIndexFor(std::nan(""), 0.0, 1.0, 5), 0);
    EXPECT_EQ(FilmStripKnob::frameIndexFor(-1.0, 0.0, 1.0, 5), 0);
    EXPECT_EQ(FilmStripKnob::frameIndexFor(2.0, 0.0, 1.0, 5), 4);
}

TEST_F(FilmStripKnobTest, ConstructionWithAnImageSetsUpTheStrip) {
    juce::Image strip(juce::Image::ARGB, 10, 33, true);  // 4 frames of 10 x 8, one spare row
    FilmStripKnob knob(&strip, 4);
    EXPECT_EQ(knob.getName(), "Slider");
    EXPECT_EQ(knob.getSliderStyle(), juce::Slider::RotaryVerticalDrag);
    EXPECT_EQ(knob.getTextBoxPosition(), juce::Slider::NoTextBox);
    EXPECT_EQ(knob.getMinimum(), 0.0);
    EXPECT_EQ(knob.getMaximum(), 1.0);
    EXPECT_EQ(knob.getInterval(), static_cast<double>(0.001f));

    FilmStripKnob bare(nullptr, 4);  // a plain slider
    EXPECT_EQ(bare.getTextBoxPosition(), juce::Slider::TextBoxLeft);
}

// Frame i of the strip is filled with grey level 10 * (i + 1); the spare bottom rows are white.
juce::Image numberedStrip(int width, int frameHeight, int frames, int spareRows) {
    juce::Image strip(juce::Image::ARGB, width, frameHeight * frames + spareRows, true);
    juce::Graphics g(strip);
    for (int i = 0; i < frames; ++i) {
        const auto level = static_cast<juce::uint8>(10 * (i + 1));
        g.setColour(juce::Colour(level, level, level));
        g.fillRect(0, i * frameHeight, width, frameHeight);
    }
    g.setColour(juce::Colours::white);
    g.fillRect(0, frameHeight * frames, width, spareRows);
    return strip;
}

juce::Colour drawnCentre(juce::Component& c) {
    const juce::Image shot = c.createComponentSnapshot(c.getLocalBounds());
    return shot.getPixelAt(shot.getWidth() / 2, shot.getHeight() / 2);
}

TEST_F(FilmStripKnobTest, DrawsTheFrameOfItsValueStretchedToItsBounds) {
    juce::Image strip = numberedStrip(6, 4, 5, 3);
    FilmStripKnob knob(&strip, 5);
    knob.setRange(0.0, 4.0, 1.0);
    knob.setBounds(0, 0, 18, 20);  // larger than one frame: stretched
    for (int v = 0; v <= 4; ++v) {
        knob.setValue(v, juce::dontSendNotification);
        EXPECT_EQ(drawnCentre(knob).getRed(), 10 * (v + 1)) << "value " << v;
    }
    // the last frame's bottom edge, never the spare rows below it
    const juce::Image shot = knob.createComponentSnapshot(knob.getLocalBounds());
    EXPECT_EQ(shot.getPixelAt(9, 19).getRed(), 50);

    FilmStripKnob blank(nullptr, 5);
    blank.setBounds(0, 0, 6, 4);
    EXPECT_EQ(drawnCentre(blank).getAlpha(), 0);
}

class ToggleProbe : public ImageToggleButton {
public:
    using ImageToggleButton::ImageToggleButton;
    juce::Colour paintedCentre(bool over, bool down) {
        juce::Image canvas(juce::Image::ARGB, getWidth(), getHeight(), true);
        juce::Graphics g(canvas);
        paintButton(g, over, down);
        return canvas.getPixelAt(getWidth() / 2, getHeight() / 2);
    }
};

TEST_F(ImageToggleButtonTest, FrameFollowsTheToggleStateOnly) {
    juce::Image frames = numberedStrip(5, 3, 2, 1);  // height 7: frames of 5 x 3
    ToggleProbe button(&frames, true);
    button.setBounds(0, 0, 5, 3);
    EXPECT_EQ(button.getName(), "Button");
    EXPECT_TRUE(button.getClickingTogglesState());
    for (const bool on : {false, true})
        for (const bool over : {false, true})
            for (const bool down : {false, true}) {
                button.setToggleState(on, juce::dontSendNotification);
                EXPECT_EQ(button.paintedCentre(over, down).getRed(), on ? 20 : 10)
                    << "on " << on << " over " << over << " down " << down;
            }

    ToggleProbe plain(&frames, false);
    EXPECT_FALSE(plain.getClickingTogglesState());
    ToggleProbe blank(nullptr, true);
    blank.setBounds(0, 0, 5, 3);
    EXPECT_FALSE(blank.getClickingTogglesState());
    EXPECT_EQ(blank.paintedCentre(false, false).getAlpha(), 0);
}

} // namespace
} // namespace torvik
