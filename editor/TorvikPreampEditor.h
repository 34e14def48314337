#pragma once

#include "editor/FilmStripKnob.h"
#include "editor/Glow.h"
#include "editor/ImageToggleButton.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <memory>

namespace torvik {

class TorvikPreampAudioProcessor;

// The plug-in window, 460 x 368 pixels, drawn entirely from the embedded images. The main page
// shows two valves whose glow follows block 4's level statistics (read every 50 ms); the settings
// page lays a veil over a blurred copy of them and holds the tube-set choice, six level bars and
// the oversampling selector. Which page is shown is parameter 9, so the host keeps it with the
// program. Every control writes its parameter through setParameterNotifyingHost, inside a change
// gesture, and every change broadcast of the processor refreshes the controls from the current
// program.
//
// Every child carries a component ID equal to its member name ("tubeView", "inputBar", ...).
class TorvikPreampEditor : public juce::AudioProcessorEditor,
                           public juce::ChangeListener,
                           public juce::Timer,
                           public juce::Slider::Listener,
                           public juce::Button::Listener {
public:
    static constexpr int kWidth = 460;
    static constexpr int kHeight = 368;
    static constexpr int kGlowIntervalMs = 50;

    explicit TorvikPreampEditor(TorvikPreampAudioProcessor& processor);
    ~TorvikPreampEditor() override;

    void resized() override;

    // The refresh: page, tube-set marks, bars, selector and switch from the current program.
    void changeListenerCallback(juce::ChangeBroadcaster* source) override;
    // The glow: block 4's statistics of both chains -> a brightness step of the tube views.
    void timerCallback() override;

    void sliderValueChanged(juce::Slider* slider) override;
    void sliderDragStarted(juce::Slider* slider) override;
    void sliderDragEnded(juce::Slider* slider) override;
    void buttonClicked(juce::Button* button) override;

    bool isSettingsPageShown() const { return settingsPageShown; }

private:
    void showPage(bool settings);
    void markTubeSet(int tubeSet);
    void setParameterAsGesture(int index, float hostValue);
    int parameterFor(const juce::Slider* slider) const;
    float hostValueFor(const juce::Slider* slider) const;

    TorvikPreampAudioProcessor& torvikProcessor;
    bool settingsPageShown = true;
    float lastGlow = 0.0f;
    std::array<BlockLevels, 2> lastLevels{};   // kept while the audio thread is busy publishing
    const juce::Slider* draggedSlider = nullptr;  // inside a drag gesture

    // The images come first: the children point at them and must go before them.
    juce::Image pageImage;
    juce::Image switchImage;
    juce::Image gainBarImage;
    juce::Image toneBarImage;
    juce::Image oversamplingImage;
    juce::Image tubeImage;
    juce::Image blurredTubeImage;
    juce::Image levelBarImage;

    // Children, bottom to top.
    std::unique_ptr<FilmStripKnob> tubeView;
    std::unique_ptr<FilmStripKnob> blurredTubeView;
    std::unique_ptr<ImageToggleButton> pageOverlay;
    std::unique_ptr<juce::ImageButton> tubeSet0Button;
    std::unique_ptr<juce::ImageButton> tubeSet1Button;
    std::unique_ptr<juce::ImageButton> settingsTab;
    std::unique_ptr<ImageToggleButton> monoStereoSwitch;
    std::unique_ptr<FilmStripKnob> inputBar;
    std::unique_ptr<FilmStripKnob> gainBar;
    std::unique_ptr<FilmStripKnob> trebleBar;
    std::unique_ptr<FilmStripKnob> middleBar;
    std::unique_ptr<FilmStripKnob> bassBar;
    std::unique_ptr<FilmStripKnob> outputBar;
    std::unique_ptr<FilmStripKnob> oversamplingSelector;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(TorvikPreampEditor)
};

} // namespace torvik
