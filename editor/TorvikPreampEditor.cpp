#include "editor/TorvikPreampEditor.h"

#include "processor/Parameters.h"
#include "processor/TorvikPreampAudioProcessor.h"

#include <BinaryData.h>

namespace torvik {

namespace {

juce::Image embedded(const char* data, int size) { return juce::ImageCache::getFromMemory(data, size); }

template <class Child>
Child& named(Child& child, const char* id) {
    child.setComponentID(id);
    return child;
}

// An ImageButton that is not resized to its images, scales them with kept proportions and is
// clickable over its whole rectangle; no overlay colours.
void setButtonImages(juce::ImageButton& button, const juce::Image& normal, float normalOpacity, const juce::Image& over) {
    const juce::Colour none = juce::Colours::transparentBlack;
    button.setImages(false, true, true, normal, normalOpacity, none, over, 1.0f, none, juce::Image(), 1.0f, none, 0.0f);
}

} // namespace

TorvikPreampEditor::TorvikPreampEditor(TorvikPreampAudioProcessor& p)
    : juce::AudioProcessorEditor(p), torvikProcessor(p) {
    using namespace BinaryData;
    pageImage = embedded(page_png, page_pngSize);
    switchImage = embedded(switch_png, switch_pngSize);
    gainBarImage = embedded(gain_bar_png, gain_bar_pngSize);
    toneBarImage = embedded(tone_bar_png, tone_bar_pngSize);
    oversamplingImage = embedded(oversampling_png, oversampling_pngSize);
    tubeImage = embedded(tube_jpg, tube_jpgSize);
    blurredTubeImage = embedded(tube_blurred_jpg, tube_blurred_jpgSize);
    levelBarImage = embedded(level_bar_png, level_bar_pngSize);

    tubeView = std::make_unique<FilmStripKnob>(&tubeImage, 24);
    addAndMakeVisible(named(*tubeView, "tubeView"));
    blurredTubeView = std::make_unique<FilmStripKnob>(&blurredTubeImage, 24);
    addAndMakeVisible(named(*blurredTubeView, "blurredTubeView"));
    pageOverlay = std::make_unique<ImageToggleButton>(&pageImage, false);
    addAndMakeVisible(named(*pageOverlay, "pageOverlay"));

    tubeSet0Button = std::make_unique<juce::ImageButton>("tubeSet0Button");
    addAndMakeVisible(named(*tubeSet0Button, "tubeSet0Button"));
    tubeSet0Button->addListener(this);
    setButtonImages(*tubeSet0Button, embedded(outline_light_0_png, outline_light_0_pngSize), 0.0f,
                    embedded(outline_dark_0_png, outline_dark_0_pngSize));
    tubeSet1Button = std::make_unique<juce::ImageButton>("tubeSet1Button");
    addAndMakeVisible(named(*tubeSet1Button, "tubeSet1Button"));
    tubeSet1Button->addListener(this);
    setButtonImages(*tubeSet1Button, embedded(outline_light_1_png, outline_light_1_pngSize), 0.0f,
                    embedded(outline_dark_1_png, outline_dark_1_pngSize));
    // An invisible click area over the tab painted in the page overlay.
    settingsTab = std::make_unique<juce::ImageButton>("settingsTab");
    addAndMakeVisible(named(*settingsTab, "settingsTab"));
    settingsTab->addListener(this);
    setButtonImages(*settingsTab, juce::Image(), 1.0f, juce::Image());

    monoStereoSwitch = std::make_unique<ImageToggleButton>(&switchImage, true);
    addAndMakeVisible(named(*monoStereoSwitch, "monoStereoSwitch"));
    inputBar = std::make_unique<FilmStripKnob>(&levelBarImage, 50);
    addAndMakeVisible(named(*inputBar, "inputBar"));
    gainBar = std::make_unique<FilmStripKnob>(&gainBarImage, 17);
    addAndMakeVisible(named(*gainBar, "gainBar"));
    trebleBar = std::make_unique<FilmStripKnob>(&toneBarImage, 15);
    addAndMakeVisible(named(*trebleBar, "trebleBar"));
    middleBar = std::make_unique<FilmStripKnob>(&toneBarImage, 15);
    addAndMakeVisible(named(*middleBar, "middleBar"));
    bassBar = std::make_unique<FilmStripKnob>(&toneBarImage, 15);
    addAndMakeVisible(named(*bassBar, "bassBar"));
    outputBar = std::make_unique<FilmStripKnob>(&levelBarImage, 50);
    addAndMakeVisible(named(*outputBar, "outputBar"));
    oversamplingSelector = std::make_unique<FilmStripKnob>(&oversamplingImage, 5);
    addAndMakeVisible(named(*oversamplingSelector, "oversamplingSelector"));

    setSize(kWidth, kHeight);
    monoStereoSwitch->addListener(this);

    tubeView->setRange(0.0, 23.0, 1.0);
    blurredTubeView->setRange(0.0, 23.0, 1.0);

    const auto bar = [this](FilmStripKnob& slider, double minimum, double maximum, double step,
                            juce::Slider::SliderStyle style) {
        slider.setSliderStyle(style);
        slider.setRange(minimum, maximum, step);
        slider.addListener(this);
    };
    bar(*inputBar, 0.0, 12.25, 0.25, juce::Slider::LinearBar);
    bar(*outputBar, -37.0, 12.0, 1.0, juce::Slider::LinearBar);
    bar(*gainBar, 0.0, 16.0, 1.0, juce::Slider::LinearBar);
    bar(*trebleBar, 0.0, 14.0, 1.0, juce::Slider::LinearBar);
    bar(*middleBar, 0.0, 14.0, 1.0, juce::Slider::LinearBar);
    bar(*bassBar, 0.0, 14.0, 1.0, juce::Slider::LinearBar);
    bar(*oversamplingSelector, 0.0, 4.0, 1.0, juce::Slider::LinearHorizontal);

    settingsPageShown = true;
    lastGlow = 0.0f;
    changeListenerCallback(nullptr);
    torvikProcessor.addChangeListener(this);
    startTimer(kGlowIntervalMs);
}

TorvikPreampEditor::~TorvikPreampEditor() {
    torvikProcessor.removeChangeListener(this);
    stopTimer();
    tubeView.reset();
    blurredTubeView.reset();
    pageOverlay.reset();
    tubeSet0Button.reset();
    tubeSet1Button.reset();
    settingsTab.reset();
    monoStereoSwitch.reset();
    inputBar.reset();
    gainBar.reset();
    trebleBar.reset();
    middleBar.reset();
    bassBar.reset();
    outputBar.reset();
    oversamplingSelector.reset();
}

void TorvikPreampEditor::resized() {
    tubeView->setBounds(0, 0, kWidth, kHeight);
    blurredTubeView->setBounds(0, 0, kWidth, kHeight);
    pageOverlay->setBounds(0, 0, kWidth, kHeight);
    tubeSet0Button->setBounds(155, 44, 74, 32);
    tubeSet1Button->setBounds(234, 44, 76, 32);
    settingsTab->setBounds(176, 0, 112, 24);
    monoStereoSwitch->setBounds(420, 4, 37, 22);
    FilmStripKnob* bars[] = {inputBar.get(), gainBar.get(), trebleBar.get(), middleBar.get(), bassBar.get(), outputBar.get()};
    for (int row = 0; row < 6; ++row) bars[row]->setBounds(127, 102 + 30 * row, 208, 23);
    oversamplingSelector->setBounds(198, 287, 152, 29);
}

void TorvikPreampEditor::showPage(bool settings) {
    blurredTubeView->setVisible(settings);
    pageOverlay->setToggleState(settings, juce::dontSendNotification);
    for (FilmStripKnob* slider : {inputBar.get(), gainBar.get(), trebleBar.get(), middleBar.get(), bassBar.get(),
                                  outputBar.get(), oversamplingSelector.get()})
        slider->setVisible(settings);
    tubeSet0Button->setVisible(settings);
    tubeSet1Button->setVisible(settings);
}

// The selected tube set carries the light outline (normal image at full opacity); the other shows
// nothing until the mouse is over it.
void TorvikPreampEditor::markTubeSet(int tubeSet) {
    setButtonImages(*tubeSet0Button, tubeSet0Button->getNormalImage(), tubeSet == 1 ? 0.0f : 1.0f,
                    tubeSet0Button->getOverImage());
    setButtonImages(*tubeSet1Button, tubeSet1Button->getNormalImage(), tubeSet == 1 ? 1.0f : 0.0f,
                    tubeSet1Button->getOverImage());
}

void TorvikPreampEditor::changeListenerCallback(juce::ChangeBroadcaster*) {
    // The program's values are atomics: read without holding up the audio thread.
    float v[kParameterCount];
    for (int index = 0; index < kParameterCount; ++index) v[index] = torvikProcessor.internalValue(index);

    settingsPageShown = v[kShowSettings] != 0.0f;
    showPage(settingsPageShown);
    markTubeSet(v[kTubeSet] == 1.0f ? 1 : 0);

    // Only the picture follows the program: a value between two bar steps (host automation of Input
    // or Output) is shown at the nearest step and kept as it is in the processor.
    gainBar->setValue(v[kGain], juce::dontSendNotification);
    trebleBar->setValue(v[kTreble], juce::dontSendNotification);
    middleBar->setValue(v[kMiddle], juce::dontSendNotification);
    bassBar->setValue(v[kBass], juce::dontSendNotification);
    inputBar->setValue(v[kInput] * 0.25f, juce::dontSendNotification);
    outputBar->setValue(v[kOutput] - 37.0f, juce::dontSendNotification);
    oversamplingSelector->setValue(v[kOversampling], juce::dontSendNotification);
    monoStereoSwitch->setToggleState(static_cast<int>(v[kChannelMode]) != 0, juce::dontSendNotification);
    repaint();
}

void TorvikPreampEditor::timerCallback() {
    for (int c = 0; c < 2; ++c) torvikProcessor.readBlockLevels(c, lastLevels[static_cast<std::size_t>(c)]);
    const bool stereo = torvikProcessor.internalValue(kChannelMode) != 0.0f;
    const int index = glow::indexFor(glow::levelOf(lastLevels[0]), glow::levelOf(lastLevels[1]), stereo);
    const float value = glow::viewValueFor(index);
    if (value == lastGlow) return;
    // Nobody listens to the views: setting the value only repaints them.
    tubeView->setValue(value, juce::dontSendNotification);
    blurredTubeView->setValue(value, juce::dontSendNotification);
    lastGlow = value;
}

int TorvikPreampEditor::parameterFor(const juce::Slider* slider) const {
    if (slider == inputBar.get()) return kInput;
    if (slider == gainBar.get()) return kGain;
    if (slider == trebleBar.get()) return kTreble;
    if (slider == middleBar.get()) return kMiddle;
    if (slider == bassBar.get()) return kBass;
    if (slider == outputBar.get()) return kOutput;
    if (slider == oversamplingSelector.get()) return kOversampling;
    return -1;
}

// Each bar's range and step are its parameter's internal unit, so a position maps to exactly one
// internal value: input and output 0..49, gain 0..16, tone 0..14, oversampling code 0..4.
float TorvikPreampEditor::hostValueFor(const juce::Slider* slider) const {
    const double v = slider->getValue();
    switch (parameterFor(slider)) {
    case kInput: return static_cast<float>(v * 4.0 / 49.0);
    case kGain: return static_cast<float>(v) * 0.0625f;
    case kTreble:
    case kMiddle:
    case kBass: return static_cast<float>(v) / 14.0f;
    case kOutput: return static_cast<float>((v + 37.0) / 49.0);
    case kOversampling: return static_cast<float>(v) * 0.25f;
    default: return 0.0f;
    }
}

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE("-Wdeprecated-declarations")

// A host records automation between the begin and the end of a gesture; a drag is one gesture,
// a click on a button or a step of the mouse wheel is one of its own.
void TorvikPreampEditor::setParameterAsGesture(int index, float hostValue) {
    torvikProcessor.beginParameterChangeGesture(index);
    torvikProcessor.setParameterNotifyingHost(index, hostValue);
    torvikProcessor.endParameterChangeGesture(index);
}

void TorvikPreampEditor::sliderDragStarted(juce::Slider* slider) {
    const int index = parameterFor(slider);
    if (index < 0) return;
    draggedSlider = slider;
    torvikProcessor.beginParameterChangeGesture(index);
}

void TorvikPreampEditor::sliderDragEnded(juce::Slider* slider) {
    const int index = parameterFor(slider);
    if (index < 0) return;
    if (draggedSlider == slider) draggedSlider = nullptr;
    torvikProcessor.endParameterChangeGesture(index);
}

void TorvikPreampEditor::sliderValueChanged(juce::Slider* slider) {
    const int index = parameterFor(slider);
    if (index < 0) return;
    if (slider == draggedSlider) torvikProcessor.setParameterNotifyingHost(index, hostValueFor(slider));
    else setParameterAsGesture(index, hostValueFor(slider));
}

void TorvikPreampEditor::buttonClicked(juce::Button* button) {
    if (button == tubeSet0Button.get() || button == tubeSet1Button.get()) {
        const int tubeSet = button == tubeSet1Button.get() ? 1 : 0;
        setParameterAsGesture(kTubeSet, static_cast<float>(tubeSet));
        markTubeSet(tubeSet);
        repaint();
    } else if (button == settingsTab.get()) {
        settingsPageShown = !settingsPageShown;
        showPage(settingsPageShown);
        setParameterAsGesture(kShowSettings, settingsPageShown ? 1.0f : 0.0f);
        repaint();
    } else if (button == monoStereoSwitch.get()) {
        // Clicking has already flipped the switch.
        setParameterAsGesture(kChannelMode, monoStereoSwitch->getToggleState() ? 1.0f : 0.0f);
    }
}

JUCE_END_IGNORE_WARNINGS_GCC_LIKE

} // namespace torvik
