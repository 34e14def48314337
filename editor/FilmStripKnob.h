#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace torvik {

// A slider drawn as one frame of a film strip: an image holding all of the control's looks one
// after another, frame i for the i-th step of its range. Mouse handling, value keeping and
// notification are the framework slider's; only the drawing is replaced. The image is not owned
// and must outlive the knob; a null image draws nothing.
class FilmStripKnob : public juce::Slider {
public:
    FilmStripKnob(juce::Image* image, int numFrames);

    void paint(juce::Graphics& g) override;

    // The frame a value shows: (value - minimum) / (maximum - minimum) * (frames - 1) in double
    // precision, truncated toward zero, and kept within the strip.
    static int frameIndexFor(double value, double minimum, double maximum, int numFrames);
    int currentFrame() const { return frameIndexFor(getValue(), getMinimum(), getMaximum(), numFrames); }

private:
    juce::Image* image;
    int numFrames;
    bool isHorizontal = false;  // frames side by side instead of stacked
    int frameWidth = 0;
    int frameHeight = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(FilmStripKnob)
};

} // namespace torvik
