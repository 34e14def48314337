// torvik-editorshot OUT_DIR [--scale S]
// Renders the editor offscreen into PNG files: the main page with the valves at glow steps 0, 12
// and 23 side by side (editor-main-glow.png), and the settings page with a few values set
// (editor-settings.png). With --scale
// the pictures are drawn at that display scale (2 for a high-density screen).
#include "processor/Parameters.h"
#include "processor/TorvikPreampAudioProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

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

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: torvik-editorshot OUT_DIR [--scale S]\n");
        return 2;
    }
    float scale = 1.0f;
    for (int a = 2; a + 1 < argc; ++a)
        if (juce::String(argv[a]) == "--scale") scale = static_cast<float>(std::atof(argv[a + 1]));
    const juce::File dir = juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]);
    dir.createDirectory();
    const juce::String suffix = scale == 1.0f ? juce::String() : "-x" + juce::String(scale);

    const juce::ScopedJuceInitialiser_GUI gui;
    // No model files are needed for pictures: the processor stays silent without them.
    TorvikPreampAudioProcessor processor(dir.getChildFile("no-models").getFullPathName().toStdString());
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

    setParameters(processor, {{torvik::kShowSettings, 1.0f}, {torvik::kInput, 0.62f}, {torvik::kGain, 0.75f},
                              {torvik::kTreble, 0.5f}, {torvik::kMiddle, 0.65f}, {torvik::kBass, 0.36f},
                              {torvik::kOutput, 0.45f}, {torvik::kOversampling, 0.5f}, {torvik::kChannelMode, 1.0f}});
    setGlowStep(*editor, 14);
    ok = writePng(editor->createComponentSnapshot(bounds, true, scale), dir.getChildFile("editor-settings" + suffix + ".png")) && ok;
    editor.reset();
    return ok ? 0 : 1;
}
