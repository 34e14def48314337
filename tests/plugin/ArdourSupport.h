#pragma once

// Running headless Ardour 7 on the installed plug-in, and reading what it did: the session
// report, the exported audio against torvik-render's, the plug-in state Ardour stored.
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace torvik::test {

enum class PluginFormat { Vst3, Lv2, Vst2 };
enum class SessionMode { New, Reopen };

const char* formatName(PluginFormat format);

struct ReportedParameter {
    float value = 0.0f;
    std::string name;
};

// What session.lua printed.
struct SessionReport {
    bool ok = false;
    std::string log;  // everything Ardour wrote
    std::map<int, ReportedParameter> parameters;  // ours, by index, as found among the controls
    int controls = 0;                             // automatable controls Ardour offers (a VST3's bypass not counted)
    std::vector<std::string> programs;
    int latency = -1;
    std::filesystem::path session, exportFile;
    long inputStart = 0, inputLength = 0;  // the recorded region within its files
};

struct ExportComparison {
    bool ok = false;
    std::string problem;
    std::size_t frames = 0;
    int bestShift = 0;       // export sample n matches the renderer's n - bestShift best
    double maxError = 0.0;   // largest |export - renderer| at shift 0, both channels
    double peak = 0.0;       // of the renderer's output
};

// The plug-in's state as Ardour stored it in a saved session: our state block's XML text and
// where it sits, to be written back changed.
struct StoredState {
    bool ok = false;
    std::string problem;
    std::string bank;  // the "qix" document
    std::filesystem::path file;
    std::string fileText;  // the file it was read from, as read
    std::string encoded;   // the encoded state as it stands in fileText
};

class ArdourEnvironment {
public:
    // Installed, configured and scanned once per process.
    static const ArdourEnvironment& get();

    bool ready() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }
    const std::filesystem::path& workFolder() const { return work_; }

    // Runs session.lua once; `settings` are host values set by parameter index.
    SessionReport runSession(PluginFormat format, SessionMode mode, const std::filesystem::path& session,
                             const std::vector<std::pair<int, float>>& settings, bool save) const;
    // Renders the session's recorded input with torvik-render and `options`, compares with the export.
    ExportComparison compareWithRenderer(const SessionReport& report, const std::vector<std::string>& options,
                                         const std::filesystem::path& scratch) const;
    // The value the plug-in reports for a parameter set to `hostValue` (its position's value).
    float reported(int index, float hostValue) const;

    StoredState readStoredState(PluginFormat format, const std::filesystem::path& session) const;
    // Writes `state` back with `from` replaced by `to` in its document.
    bool writeStoredState(PluginFormat format, const std::filesystem::path& session, const StoredState& state,
                          const std::string& from, const std::string& to) const;

private:
    ArdourEnvironment();
    std::string environment() const;  // variables every Ardour process gets

    std::string problem_;
    std::filesystem::path work_, home_, vst3Dir_, lv2Dir_, vst2Dir_;
};

} // namespace torvik::test
