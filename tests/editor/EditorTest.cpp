// The editor against a real processor: its children, the parameter round trip in both directions,
// the pages, and the glow driven by processed audio.
#include "editor/TorvikPreampEditor.h"
#include "processor/HostCall.h"
#include "processor/ProcessorFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE("-Wdeprecated-declarations")

namespace torvik {
namespace {

// What a host hears from the processor: parameter values and gesture boundaries, in order.
struct HostLog : juce::AudioProcessorListener {
    std::vector<std::string> entries;

    void audioProcessorParameterChanged(juce::AudioProcessor*, int index, float value) override {
        entries.push_back("set " + std::to_string(index) + " " + juce::String(value, 6).toStdString());
    }
    void audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails&) override {}
    void audioProcessorParameterChangeGestureBegin(juce::AudioProcessor*, int index) override {
        entries.push_back("begin " + std::to_string(index));
    }
    void audioProcessorParameterChangeGestureEnd(juce::AudioProcessor*, int index) override {
        entries.push_back("end " + std::to_string(index));
    }
    std::vector<std::string> take() { return std::exchange(entries, {}); }
};

std::string set(int index, float value) { return "set " + std::to_string(index) + " " + juce::String(value, 6).toStdString(); }

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        p->addListener(&host);
        editor.reset(dynamic_cast<TorvikPreampEditor*>(p->createEditor()));
        ASSERT_NE(editor, nullptr);
    }
    void TearDown() override {
        editor.reset();
        p->removeListener(&host);
    }

    template <class T>
    T& child(const char* id) {
        auto* c = dynamic_cast<T*>(editor->findChildWithID(id));
        if (c == nullptr) throw std::runtime_error(std::string("no child ") + id);
        return *c;
    }
    juce::Slider& slider(const char* id) { return child<juce::Slider>(id); }

    // A host change, delivered to the editor as the message thread would deliver the broadcast.
    void hostSets(int index, float value) {
        p->setParameter(index, value);
        p->dispatchPendingMessages();
    }

    // Blocks of a sine on the chosen channels, as a host delivers them.
    void play(double amplitude, int samples, bool left = true, bool right = true) {
        juce::AudioBuffer<float> buffer(2, 512);
        juce::MidiBuffer midi;
        for (int done = 0; done < samples; done += 512) {
            for (int j = 0; j < 512; ++j) {
                const auto s = static_cast<float>(amplitude * std::sin(2.0 * juce::MathConstants<double>::pi * 220.0 *
                                                                       (done + j) / 44100.0));
                buffer.setSample(0, j, left ? s : 0.0f);
                buffer.setSample(1, j, right ? s : 0.0f);
            }
            processBlockAsHost(*p, buffer, midi);
        }
    }

    // How much a button's area lights up in the drawn window.
    double brightnessOf(const char* id) {
        const juce::Rectangle<int> area = editor->findChildWithID(id)->getBounds();
        const juce::Image shot = editor->createComponentSnapshot(area);
        double sum = 0.0;
        for (int y = 0; y < shot.getHeight(); ++y)
            for (int x = 0; x < shot.getWidth(); ++x) sum += shot.getPixelAt(x, y).getBrightness();
        return sum;
    }

    juce::ScopedJuceInitialiser_GUI gui;
    std::unique_ptr<TorvikPreampAudioProcessor> p = fixtures::makeProcessor(2, 2);
    HostLog host;
    std::unique_ptr<TorvikPreampEditor> editor;
};

TEST_F(EditorTest, ChildrenInStackingOrderWithTheirBounds) {
    EXPECT_EQ(editor->getWidth(), 460);
    EXPECT_EQ(editor->getHeight(), 368);
    struct Child {
        const char* id;
        int x, y, w, h;
    };
    const std::vector<Child> children = {
        {"tubeView", 0, 0, 460, 368},         {"blurredTubeView", 0, 0, 460, 368}, {"pageOverlay", 0, 0, 460, 368},
        {"tubeSet0Button", 155, 44, 74, 32},  {"tubeSet1Button", 234, 44, 76, 32}, {"settingsTab", 176, 0, 112, 24},
        {"monoStereoSwitch", 420, 4, 37, 22}, {"inputBar", 127, 102, 208, 23},     {"gainBar", 127, 132, 208, 23},
        {"trebleBar", 127, 162, 208, 23},     {"middleBar", 127, 192, 208, 23},    {"bassBar", 127, 222, 208, 23},
        {"outputBar", 127, 252, 208, 23},     {"oversamplingSelector", 198, 287, 152, 29},
    };
    ASSERT_EQ(editor->getNumChildComponents(), static_cast<int>(children.size()));
    for (int i = 0; i < editor->getNumChildComponents(); ++i) {
        const Child& c = children[static_cast<std::size_t>(i)];
        juce::Component* actual = editor->getChildComponent(i);
        EXPECT_EQ(actual->getComponentID(), c.id) << "child " << i;
        EXPECT_EQ(actual->getBounds(), juce::Rectangle<int>(c.x, c.y, c.w, c.h)) << c.id;
    }
}

TEST_F(EditorTest, SliderRangesStepsAndStyles) {
    struct Range {
        const char* id;
        double minimum, maximum, step;
        juce::Slider::SliderStyle style;
    };
    const std::vector<Range> ranges = {
        {"tubeView", 0, 23, 1, juce::Slider::RotaryVerticalDrag},
        {"blurredTubeView", 0, 23, 1, juce::Slider::RotaryVerticalDrag},
        {"inputBar", 0, 12.25, 0.25, juce::Slider::LinearBar},
        {"gainBar", 0, 16, 1, juce::Slider::LinearBar},
        {"trebleBar", 0, 14, 1, juce::Slider::LinearBar},
        {"middleBar", 0, 14, 1, juce::Slider::LinearBar},
        {"bassBar", 0, 14, 1, juce::Slider::LinearBar},
        {"outputBar", -37, 12, 1, juce::Slider::LinearBar},
        {"oversamplingSelector", 0, 4, 1, juce::Slider::LinearHorizontal},
    };
    for (const Range& r : ranges) {
        juce::Slider& s = slider(r.id);
        EXPECT_EQ(s.getMinimum(), r.minimum) << r.id;
        EXPECT_EQ(s.getMaximum(), r.maximum) << r.id;
        EXPECT_EQ(s.getInterval(), r.step) << r.id;
        EXPECT_EQ(s.getSliderStyle(), r.style) << r.id;
    }
    EXPECT_FALSE(child<juce::Button>("pageOverlay").getClickingTogglesState());
    EXPECT_TRUE(child<juce::Button>("monoStereoSwitch").getClickingTogglesState());
}

// Every position of every bar maps to exactly one internal value and back to the same position.
TEST_F(EditorTest, EveryBarPositionRoundTripsThroughItsParameter) {
    hostSets(kShowSettings, 1.0f);
    struct Bar {
        const char* id;
        int index;
        double first, last, step;
    };
    const std::vector<Bar> bars = {
        {"inputBar", kInput, 0, 12.25, 0.25}, {"gainBar", kGain, 0, 16, 1},     {"trebleBar", kTreble, 0, 14, 1},
        {"middleBar", kMiddle, 0, 14, 1},     {"bassBar", kBass, 0, 14, 1},     {"outputBar", kOutput, -37, 12, 1},
        {"oversamplingSelector", kOversampling, 0, 4, 1},
    };
    for (const Bar& b : bars) {
        juce::Slider& s = slider(b.id);
        s.setValue(b.first, juce::dontSendNotification);
        // walk down from the top, so that every position is a change
        for (double v = b.last; v >= b.first; v -= b.step) {
            s.setValue(v, juce::sendNotificationSync);
            const double internal = b.index == kInput ? v * 4.0 : (b.index == kOutput ? v + 37.0 : v);
            EXPECT_NEAR(p->internalValue(b.index), internal, 1e-4) << b.id << " at " << v;
            s.setValue(v == b.first ? b.last : b.first, juce::dontSendNotification);
            editor->changeListenerCallback(p.get());  // the refresh puts the bar back where the processor says
            EXPECT_EQ(s.getValue(), v) << b.id << " at " << v;
        }
    }
}

TEST_F(EditorTest, BarsSendTheirHostValuesAsGestures) {
    struct Move {
        const char* id;
        double value;
        int index;
        float hostValue;
    };
    const std::vector<Move> moves = {
        {"inputBar", 3.75, kInput, static_cast<float>(3.75 * 4.0 / 49.0)},
        {"gainBar", 9, kGain, 9.0f * 0.0625f},
        {"trebleBar", 3, kTreble, 3.0f / 14.0f},
        {"middleBar", 11, kMiddle, 11.0f / 14.0f},
        {"bassBar", 1, kBass, 1.0f / 14.0f},
        {"outputBar", -13, kOutput, static_cast<float>(24.0 / 49.0)},
        {"oversamplingSelector", 3, kOversampling, 0.75f},
    };
    host.take();
    for (const Move& m : moves) {
        slider(m.id).setValue(m.value, juce::sendNotificationSync);
        const std::vector<std::string> expected = {"begin " + std::to_string(m.index), set(m.index, m.hostValue),
                                                   "end " + std::to_string(m.index)};
        EXPECT_EQ(host.take(), expected) << m.id;
    }
    // A drag is one gesture however many positions it passes.
    juce::Slider& gain = slider("gainBar");
    editor->sliderDragStarted(&gain);
    gain.setValue(10, juce::sendNotificationSync);
    gain.setValue(11, juce::sendNotificationSync);
    editor->sliderDragEnded(&gain);
    EXPECT_EQ(host.take(), (std::vector<std::string>{"begin 2", set(2, 0.625f), set(2, 0.6875f), "end 2"}));
}

// The host moves parameters while the window is open: the controls follow, and values between two
// bar steps stay as the host set them.
TEST_F(EditorTest, RefreshShowsHostValuesWithoutWritingThemBack) {
    host.take();
    hostSets(kInput, 0.3f);          // 14.7: between the bar's steps
    hostSets(kOutput, 0.3f);         // 14.7
    hostSets(kGain, 0.999f);         // truncated to 15
    hostSets(kTreble, 1.0f);         // 14
    hostSets(kOversampling, 0.7f);   // code 2
    hostSets(kChannelMode, 1.0f);    // stereo
    EXPECT_EQ(slider("inputBar").getValue(), 3.75);
    EXPECT_EQ(slider("outputBar").getValue(), -22.0);
    EXPECT_EQ(slider("gainBar").getValue(), 15.0);
    EXPECT_EQ(slider("trebleBar").getValue(), 14.0);
    EXPECT_EQ(slider("oversamplingSelector").getValue(), 2.0);
    EXPECT_TRUE(child<juce::Button>("monoStereoSwitch").getToggleState());
    EXPECT_FLOAT_EQ(p->internalValue(kInput), 49.0f * 0.3f);
    EXPECT_FLOAT_EQ(p->internalValue(kOutput), 49.0f * 0.3f);
    EXPECT_TRUE(host.take().empty()) << "the editor sent nothing back";
    EXPECT_EQ(slider("inputBar").getValue(), 3.75);
}

TEST_F(EditorTest, HostSwitchesPagesThroughParameter9) {
    auto& overlay = child<juce::Button>("pageOverlay");
    const std::vector<const char*> settingsOnly = {"blurredTubeView", "tubeSet0Button", "tubeSet1Button",
                                                   "inputBar",        "gainBar",        "trebleBar",
                                                   "middleBar",       "bassBar",        "outputBar",
                                                   "oversamplingSelector"};
    const std::vector<const char*> always = {"tubeView", "pageOverlay", "settingsTab", "monoStereoSwitch"};
    for (const float shown : {1.0f, 0.0f, 1.0f}) {
        hostSets(kShowSettings, shown);
        const bool settings = shown != 0.0f;
        EXPECT_EQ(editor->isSettingsPageShown(), settings);
        EXPECT_EQ(overlay.getToggleState(), settings);
        for (const char* id : settingsOnly) EXPECT_EQ(editor->findChildWithID(id)->isVisible(), settings) << id;
        for (const char* id : always) EXPECT_TRUE(editor->findChildWithID(id)->isVisible()) << id;
    }
}

TEST_F(EditorTest, SettingsTabFlipsThePageAndTellsTheHost) {
    hostSets(kShowSettings, 0.0f);
    host.take();
    auto& tab = child<juce::Button>("settingsTab");
    editor->buttonClicked(&tab);
    EXPECT_TRUE(editor->isSettingsPageShown());
    EXPECT_TRUE(slider("inputBar").isVisible());
    EXPECT_EQ(p->internalValue(kShowSettings), 1.0f);
    EXPECT_EQ(host.take(), (std::vector<std::string>{"begin 9", set(9, 1.0f), "end 9"}));
    editor->buttonClicked(&tab);
    EXPECT_FALSE(editor->isSettingsPageShown());
    EXPECT_EQ(p->internalValue(kShowSettings), 0.0f);
    EXPECT_EQ(host.take(), (std::vector<std::string>{"begin 9", set(9, 0.0f), "end 9"}));
}

TEST_F(EditorTest, TubeSetButtonsChooseAndMarkTheTubeSet) {
    hostSets(kShowSettings, 1.0f);
    hostSets(kTubeSet, 0.0f);
    const double leftMarked = brightnessOf("tubeSet0Button"), rightPlain = brightnessOf("tubeSet1Button");
    host.take();
    editor->buttonClicked(&child<juce::Button>("tubeSet1Button"));
    EXPECT_EQ(p->internalValue(kTubeSet), 1.0f);
    EXPECT_EQ(host.take(), (std::vector<std::string>{"begin 0", set(0, 1.0f), "end 0"}));
    EXPECT_LT(brightnessOf("tubeSet0Button"), leftMarked);
    EXPECT_GT(brightnessOf("tubeSet1Button"), rightPlain);

    editor->buttonClicked(&child<juce::Button>("tubeSet0Button"));
    EXPECT_EQ(p->internalValue(kTubeSet), 0.0f);
    EXPECT_DOUBLE_EQ(brightnessOf("tubeSet0Button"), leftMarked);
    // the host's choice marks the buttons the same way
    hostSets(kTubeSet, 1.0f);
    EXPECT_GT(brightnessOf("tubeSet1Button"), rightPlain);
}

TEST_F(EditorTest, MonoStereoSwitchSendsItsNewState) {
    auto& sw = child<juce::Button>("monoStereoSwitch");
    hostSets(kChannelMode, 0.0f);
    host.take();
    for (const bool stereo : {true, false}) {
        sw.setToggleState(stereo, juce::dontSendNotification);  // what a click does before telling the listener
        editor->buttonClicked(&sw);
        EXPECT_EQ(p->internalValue(kChannelMode), stereo ? 1.0f : 0.0f);
        EXPECT_EQ(host.take(), (std::vector<std::string>{"begin 8", set(8, stereo ? 1.0f : 0.0f), "end 8"}));
    }
}

// Block 4's running sums of a chain set to a plate current of the given mean and deviation; the
// next audio block publishes them (the fixture models' own current is tiny and nearly constant).
void setStatistics(ModelChain& chain, double mean, double deviation) {
    RunningStatistics& st = chain.b4().statistics;
    const double n = st.length;
    std::fill(st.window.begin(), st.window.end(), 0.0);
    st.sum = n * mean;
    st.sumOfSquares = n * (mean * mean + deviation * deviation);
}

// The step the tube views stand at for a glow index.
double stepFor(int index) { return std::min(23.0, std::round(static_cast<double>(glow::viewValueFor(index)))); }

TEST_F(EditorTest, GlowShowsTheLevelsTheAudioThreadPublished) {
    juce::Slider& view = slider("tubeView");
    juce::Slider& blurred = slider("blurredTubeView");
    editor->timerCallback();
    EXPECT_EQ(view.getValue(), 0.0) << "nothing played yet";

    struct Case {
        double mean, deviation;
        int index;
    };
    for (const Case& c : {Case{0.002, 0.00061, 24}, Case{0.001, 0.002, 49}, Case{0.0, 0.0, 0}, Case{0.002, 0.00021, 8}}) {
        setStatistics(p->chain(0), c.mean, c.deviation);
        play(0.0, 512);
        editor->timerCallback();
        EXPECT_EQ(view.getValue(), stepFor(c.index)) << "mean " << c.mean << " deviation " << c.deviation;
        EXPECT_EQ(blurred.getValue(), view.getValue());
    }
    EXPECT_EQ(stepFor(49), 23.0);
    EXPECT_EQ(stepFor(1), 2.0) << "index 1 already jumps to step 2";
}

TEST_F(EditorTest, GlowMeasuresTheSecondChainOnlyInStereo) {
    hostSets(kChannelMode, 0.0f);
    setStatistics(p->chain(0), 0.002, 0.00021);  // index 8
    setStatistics(p->chain(1), 0.002, 0.00061);  // index 24
    play(0.0, 512);
    editor->timerCallback();
    EXPECT_EQ(slider("tubeView").getValue(), stepFor(8)) << "mono: chain 0 only";

    hostSets(kChannelMode, 1.0f);
    editor->timerCallback();
    EXPECT_EQ(slider("tubeView").getValue(), stepFor(24)) << "stereo: the louder chain";
}

// While nothing passes through the preamp (model files missing for the rate, or bypassed) the
// valves go cold instead of keeping the last level.
TEST_F(EditorTest, GlowGoesDarkWhileThePreampIsNotRunning) {
    juce::Slider& view = slider("tubeView");
    const auto glowing = [&] {
        setStatistics(p->chain(0), 0.002, 0.00061);
        play(0.0, 512);
        editor->timerCallback();
        return view.getValue() > 0.0;
    };
    ASSERT_TRUE(glowing());
    p->prepareToPlay(22050.0, 512);  // the fixture models have no block 3 file for 22.05 kHz
    ASSERT_FALSE(p->modelsReady());
    play(0.0, 512);
    editor->timerCallback();
    EXPECT_EQ(view.getValue(), 0.0) << "silenced";

    p->prepareToPlay(44100.0, 512);
    ASSERT_TRUE(p->modelsReady());
    ASSERT_TRUE(glowing());
    juce::AudioBuffer<float> buffer(2, 512);
    juce::MidiBuffer midi;
    p->processBlockBypassed(buffer, midi);
    editor->timerCallback();
    EXPECT_EQ(view.getValue(), 0.0) << "bypassed";
}

TEST_F(EditorTest, OpensAndClosesRepeatedly) {
    for (int round = 0; round < 3; ++round) {
        editor.reset();
        hostSets(kShowSettings, round % 2 == 0 ? 1.0f : 0.0f);
        editor.reset(dynamic_cast<TorvikPreampEditor*>(p->createEditor()));
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->isSettingsPageShown(), round % 2 == 0);
        play(0.5, 4096);
        editor->timerCallback();
    }
}

} // namespace
} // namespace torvik

JUCE_END_IGNORE_WARNINGS_GCC_LIKE
