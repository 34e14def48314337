#include "editor/FilmStripKnob.h"

#include <cmath>

namespace torvik {

FilmStripKnob::FilmStripKnob(juce::Image* image_, int numFrames_)
    : juce::Slider("Slider"), image(image_), numFrames(numFrames_) {
    if (image == nullptr) return;
    setTextBoxStyle(NoTextBox, false, 0, 0);
    setSliderStyle(RotaryVerticalDrag);
    const int frames = juce::jmax(1, numFrames);
    if (isHorizontal) {
        frameWidth = image->getWidth() / frames;
        frameHeight = image->getHeight();
    } else {
        frameWidth = image->getWidth();
        frameHeight = image->getHeight() / frames;
    }
    setRange(0.0, 1.0, static_cast<double>(0.001f));
}

int FilmStripKnob::frameIndexFor(double value, double minimum, double maximum, int numFrames) {
    const double position = (value - minimum) / (maximum - minimum) * (numFrames - 1);
    // A range of zero width or a value that is not a number shows the first frame.
    if (!(position >= 0.0)) return 0;
    if (position >= static_cast<double>(numFrames - 1)) return juce::jmax(0, numFrames - 1);
    return static_cast<int>(position);
}

void FilmStripKnob::paint(juce::Graphics& g) {
    if (image == nullptr || numFrames < 1) return;
    const int index = currentFrame();
    const int sourceX = isHorizontal ? index * frameWidth : 0;
    const int sourceY = isHorizontal ? 0 : index * frameHeight;
    g.drawImage(*image, 0, 0, getWidth(), getHeight(), sourceX, sourceY, frameWidth, frameHeight, false);
}

} // namespace torvik
