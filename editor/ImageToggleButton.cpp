#include "editor/ImageToggleButton.h"

namespace torvik {

ImageToggleButton::ImageToggleButton(juce::Image* image_, bool clickingTogglesState)
    : juce::Button("Button"), image(image_) {
    if (image == nullptr) return;
    frameWidth = image->getWidth();
    frameHeight = image->getHeight() / 2;
    setClickingTogglesState(clickingTogglesState);
}

void ImageToggleButton::paintButton(juce::Graphics& g, bool /*isMouseOverButton*/, bool /*isButtonDown*/) {
    if (image == nullptr) return;
    const int sourceY = getToggleState() ? frameHeight : 0;
    g.drawImage(*image, 0, 0, getWidth(), getHeight(), 0, sourceY, frameWidth, frameHeight, false);
}

} // namespace torvik
