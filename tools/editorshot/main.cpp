// torvik-editorshot OUT_DIR [--scale S] [--models DIR]
// Renders the editor offscreen into PNG files: the main page with the valves at glow steps 0, 12
// and 23 side by side (editor-main-glow.png), and the settings page with a few values set
// (editor-settings.png). With --scale the pictures are drawn at that display scale (2 for a
// high-density screen). With --models the processor runs on that model data set and a third
// picture shows the glow the editor itself picks after a second of a 110 Hz tone at three input
// levels (editor-signal-glow.png).
#include "editor/TorvikPreampEditor.h"
#include "processor/HostCall.h"
#include "processor/Parameters.h"
#include "processor/TorvikPreampAudioProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

using torvik::TorvikPreampAudioProcessor;

bool writePng(const juce::Image& image, const juce::File& file) {
    file.deleteFile();
    juce::FileOutputStream out(file);
    if (!out.openedOk() || !juce::PNGImageFormat().writeImageToStream(image, out)) {
        std::fprintf(stderr, "cannot write %s\n", file.getFullPathName().toRawUTF8());
        return false;
    }
    std::printf("wrote %s (%d x %d)\n", file.getFullPathName().toRawUTF8(), image.getWidth(), image.getHeight());
    return true;
}

void setGlowStep(juce::Component& editor, double step) {
    for (const char* id : {"tubeView", "blurredTubeView"})
        if (auto* view = dynamic_cast<juce::Slider*>(editor.findChildWithID(id)))
            view->setValue(step, juce::dontSendNotification);
}

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE("-Wdeprecated-declarations")
void setParameters(TorvikPreampAudioProcessor& p, std::initializer_list<std::pair<int, float>> values) {
    for (const auto& [index, value] : values) p.setParameter(index, value);
    p.dispatchPendingMessages();  // the change broadcast, as the message thread would deliver it
}
JUCE_END_IGNORE_WARNINGS_GCC_LIKE

// A plucked 110 Hz note with a few overtones, every half second, at a peak of `amplitude`.
void playTone(TorvikPreampAudioProcessor& p, double amplitude, double seconds) {
    const int block = 512;
    juce::AudioBuffer<float> buffer(2, block);
    juce::MidiBuffer midi;
    const double rate = 44100.0, twoPi = juce::MathConstants<double>::twoPi;
    const long total = static_cast<long>(seconds * rate);
    for (long done = 0; done < total; done += block) {
        for (int j = 0; j < block; ++j) {
            const double t = static_cast<double>(done + j) / rate;
            const double sinceNote = std::fmod(t, 0.5);
            const double tone = std::sin(twoPi * 110.0 * t) + 0.5 * std::sin(twoPi * 220.0 * t) + 0.25 * std::sin(twoPi * 330.0 * t);
            const auto s = static_cast<float>(amplitude / 1.75 * tone * std::exp(-4.0 * sinceNote));
            buffer.setSample(0, j, s);
            buffer.setSample(1, j, s);
        }
        torvik::processBlockAsHost(p, buffer, midi);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: torvik-editorshot OUT_DIR [--scale S]\n");
        return 2;
    }
    float scale = 1.0f;
    std::string models;
    for (int a = 2; a + 1 < argc; ++a) {
        if (juce::String(argv[a]) == "--scale") scale = static_cast<float>(std::atof(argv[a + 1]));
        if (juce::String(argv[a]) == "--models") models = argv[a + 1];
    }
    const juce::File dir = juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]);
    dir.createDirectory();
    const juce::String suffix = scale == 1.0f ? juce::String() : "-x" + juce::String(scale);

    const juce::ScopedJuceInitialiser_GUI gui;
    // No model files are needed for pictures: the processor stays silent without them.
    TorvikPreampAudioProcessor processor(models.empty() ? dir.getChildFile("no-models").getFullPathName().toStdString()
                                                        : models);
    processor.setPlayConfigDetails(2, 2, 44100.0, 512);
    processor.setCurrentProgram(processor.getCurrentProgram());
    std::unique_ptr<juce::AudioProcessorEditor> editor(processor.createEditor());
    const juce::Rectangle<int> bounds = editor->getLocalBounds();
    bool ok = true;

    setParameters(processor, {{torvik::kShowSettings, 0.0f}});
    juce::Image strip(juce::Image::ARGB, juce::roundToInt(bounds.getWidth() * 3 * scale),
                      juce::roundToInt(bounds.getHeight() * scale), true);
    juce::Graphics stripGraphics(strip);
    int slot = 0;
    for (int step : {0, 12, 23}) {
        setGlowStep(*editor, step);
        const juce::Image shot = editor->createComponentSnapshot(bounds, true, scale);
        stripGraphics.drawImageAt(shot, slot++ * shot.getWidth(), 0);
    }
    ok = writePng(strip, dir.getChildFile("editor-main-glow" + suffix + ".png")) && ok;

    if (!models.empty()) {
        if (!processor.modelsReady()) {
            std::fprintf(stderr, "the models in %s were not taken\n", models.c_str());
            return 1;
        }
        auto& torvikEditor = dynamic_cast<torvik::TorvikPreampEditor&>(*editor);
        juce::Image signalStrip(juce::Image::ARGB, strip.getWidth(), strip.getHeight(), true);
        juce::Graphics signalGraphics(signalStrip);
        slot = 0;
        for (const double amplitude : {0.02, 0.25, 1.0}) {
            playTone(processor, amplitude, 1.0);
            torvikEditor.timerCallback();
            const auto* view = dynamic_cast<juce::Slider*>(editor->findChildWithID("tubeView"));
            std::printf("input peak %.2f: glow step %d\n", amplitude, juce::roundToInt(view->getValue()));
            const juce::Image shot = editor->createComponentSnapshot(bounds, true, scale);
            signalGraphics.drawImageAt(shot, slot++ * shot.getWidth(), 0);
        }
        ok = writePng(signalStrip, dir.getChildFile("editor-signal-glow" + suffix + ".png")) && ok;
    }

    setParameters(processor, {{torvik::kShowSettings, 1.0f}, {torvik::kInput, 0.62f}, {torvik::kGain, 0.75f},
                              {torvik::kTreble, 0.5f}, {torvik::kMiddle, 0.65f}, {torvik::kBass, 0.36f},
                              {torvik::kOutput, 0.45f}, {torvik::kOversampling, 0.5f}, {torvik::kChannelMode, 1.0f}});
    setGlowStep(*editor, 14);
    ok = writePng(editor->createComponentSnapshot(bounds, true, scale), dir.getChildFile("editor-settings" + suffix + ".png")) && ok;
    editor.reset();
    return ok ? 0 : 1;
}
