#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace torvik {

// A button drawn as one of two stacked frames of an image: the top half while its toggle state is
// off, the bottom half while it is on. Hovering and pressing do not change the picture. The image
// is not owned and must outlive the button; a null image draws nothing.
class ImageToggleButton : public juce::Button {
public:
    ImageToggleButton(juce::Image* image, bool clickingTogglesState);

    void paintButton(juce::Graphics& g, bool isMouseOverButton, bool isButtonDown) override;

private:
    juce::Image* image;
    int frameWidth = 0;
    int frameHeight = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ImageToggleButton)
};

} // namespace torvik
