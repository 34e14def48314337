// The installed plug-in in a real DAW: Ardour 7, headless (ardour7-lua on its Dummy backend), for
// each of VST3, LV2 and VST 2.4.
//
// The plug-in is installed with `cmake --install` into a folder of the test's own (DESTDIR), so
// the model files Ardour's instance reads are the installed copies. Each format then runs three
// Ardour sessions (tests/plugin/ardour/session.lua):
//  1. record the backend's test signal, insert the plug-in (ten parameters, twelve programs), set
//     parameters through Ardour's controls, export: the export must equal torvik-render's output
//     for the recorded take with the same settings, sample for sample;
//  2. the same with 2x oversampling (the plug-in reports 15 samples of latency, and Ardour must
//     line the export up by itself), stereo processing and other settings; the session is saved;
//  3. the plug-in state stored in the saved session must hold those settings; one program is
//     renamed in it and the session reopened: the parameters come back (as Ardour shows them, for
//     VST3 and VST 2.4), the export again equals torvik-render's, and the state Ardour saves then
//     is the same bank with the new name.
#include "tests/plugin/ArdourSupport.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include <chrono>
#include <cmath>
#include <filesystem>

namespace torvik::test {
namespace {

namespace fs = std::filesystem;

// Host values set through Ardour, by parameter index, and the renderer's options for them.
struct Settings {
    std::vector<std::pair<int, float>> values;
    std::vector<std::string> renderOptions;
};

const Settings kPlain = {{{1, 0.3f}, {2, 0.8125f}, {3, 0.25f}, {4, 0.75f}, {5, 0.5f}, {6, 0.6f}},
                         {"--input", "0.3", "--gain", "0.8125", "--treble", "0.25", "--middle", "0.75", "--bass", "0.5",
                          "--output", "0.6"}};
const Settings kOversampled = {{{1, 0.25f}, {2, 1.0f}, {3, 0.0f}, {5, 1.0f}, {7, 0.25f}, {8, 1.0f}},
                               {"--input", "0.25", "--gain", "1", "--treble", "0", "--bass", "1", "--oversampling", "2",
                                "--stereo"}};

// Ardour shows either the plug-in's own value (a position's value, ±0.5 for a switch) or, for a
// VST3, the value it set until the plug-in reports another.
void expectSetting(const ReportedParameter& shown, float reported, float set) {
    EXPECT_TRUE(std::abs(shown.value - reported) < 1e-6f || std::abs(shown.value - set) < 1e-6f)
        << shown.name << " shows " << shown.value << ", set " << set << ", the plug-in reports " << reported;
}

class ArdourHost : public ::testing::TestWithParam<PluginFormat> {};

TEST_P(ArdourHost, ExportMatchesTheRendererAndTheSessionRestores) {
    const PluginFormat format = GetParam();
    const ArdourEnvironment& env = ArdourEnvironment::get();
    ASSERT_TRUE(env.ready()) << env.problem();
    const fs::path dir = env.workFolder() / formatName(format);
    fs::remove_all(dir);
    fs::create_directories(dir);

    struct Run {
        const char* name;
        const Settings* settings;
    };
    for (const Run& run : {Run{"plain", &kPlain}, Run{"oversampled", &kOversampled}}) {
        SCOPED_TRACE(run.name);
        const auto start = std::chrono::steady_clock::now();
        SessionReport report = env.runSession(format, SessionMode::New, dir / run.name, run.settings->values,
                                              /*save=*/std::string(run.name) == "oversampled");
        ASSERT_TRUE(report.ok) << report.log;
        EXPECT_EQ(report.controls, 10) << report.log;
        EXPECT_EQ(report.parameters.size(), 10u) << report.log;
        EXPECT_EQ(report.programs.size(), 12u) << report.log;
        EXPECT_EQ(report.latency, run.settings == &kOversampled ? 15 : 0) << "latency Ardour has for the plug-in";
        for (const auto& [index, value] : run.settings->values)
            if (report.parameters.count(index) != 0) expectSetting(report.parameters[index], env.reported(index, value), value);

        const ExportComparison c = env.compareWithRenderer(report, run.settings->renderOptions, dir / run.name);
        ASSERT_TRUE(c.ok) << c.problem;
        EXPECT_EQ(c.bestShift, 0) << "export is " << c.bestShift << " samples late against the renderer";
        EXPECT_LE(c.maxError, 1e-6) << "at shift 0";
        EXPECT_GT(c.peak, 0.01);
        std::printf("[ %s %s ] export against torvik-render: %zu frames, max |error| %.3g, peak %.3f, latency %d, %.1f s\n",
                    formatName(format), run.name, c.frames, c.maxError, c.peak, report.latency,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }

    // The saved session: its plug-in state holds the oversampled settings; rename a program in it.
    const fs::path saved = dir / "oversampled";
    StoredState state = env.readStoredState(format, saved);
    ASSERT_TRUE(state.ok) << state.problem;
    EXPECT_EQ(state.bank.rfind("<qix cprog=\"0\" version=\"1\"><programs>", 0), 0u) << state.bank;
    for (const char* attribute : {"gain=\"1\"", "trbl=\"0\"", "bas=\"1\"", "ovrsmplng=\"0.25\"", "stro=\"0.5\""})
        EXPECT_NE(state.bank.find(attribute), std::string::npos) << attribute << " not in " << state.bank;
    const std::string renamed = "Lead &amp; \xC3\xA9\x63ho";  // "Lead & écho" as the document holds it
    ASSERT_TRUE(env.writeStoredState(format, saved, state, "programname=\"5 default\"", "programname=\"" + renamed + "\""));

    const auto start = std::chrono::steady_clock::now();
    SessionReport reopened = env.runSession(format, SessionMode::Reopen, saved, {}, true);
    ASSERT_TRUE(reopened.ok) << reopened.log;
    ASSERT_EQ(reopened.parameters.size(), 10u) << reopened.log;
    // Ardour reads no values back from an LV2 plug-in's restored state (it shows the properties at
    // 0); what the plug-in restored shows in its export and in the state saved again below.
    if (format != PluginFormat::Lv2)
        for (const auto& [index, value] : kOversampled.values)
            expectSetting(reopened.parameters[index], env.reported(index, value), value);
    const ExportComparison c = env.compareWithRenderer(reopened, kOversampled.renderOptions, saved);
    ASSERT_TRUE(c.ok) << c.problem;
    EXPECT_EQ(c.bestShift, 0);
    EXPECT_LE(c.maxError, 1e-6);
    std::printf("[ %s reopened ] export against torvik-render: max |error| %.3g, %.1f s\n", formatName(format), c.maxError,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

    // The state Ardour saved from the reopened plug-in: the same bank, the new name included.
    const StoredState again = env.readStoredState(format, saved);
    ASSERT_TRUE(again.ok) << again.problem;
    const std::unique_ptr<juce::XmlElement> before = juce::parseXML(juce::String::fromUTF8(state.bank.c_str())),
                                            after = juce::parseXML(juce::String::fromUTF8(again.bank.c_str()));
    ASSERT_NE(before, nullptr);
    ASSERT_NE(after, nullptr) << again.bank;
    juce::XmlElement* programs = after->getChildByName("programs");
    ASSERT_NE(programs, nullptr);
    ASSERT_EQ(programs->getNumChildElements(), 12);
    EXPECT_EQ(programs->getChildElement(4)->getStringAttribute("programname"), juce::String::fromUTF8("Lead & \xC3\xA9\x63ho"));
    programs->getChildElement(4)->setAttribute("programname", "5 default");
    EXPECT_TRUE(after->isEquivalentTo(before.get(), false)) << again.bank;
}

INSTANTIATE_TEST_SUITE_P(Formats, ArdourHost, ::testing::Values(PluginFormat::Vst3, PluginFormat::Lv2, PluginFormat::Vst2),
                         [](const auto& info) { return std::string(formatName(info.param)); });

} // namespace
} // namespace torvik::test
