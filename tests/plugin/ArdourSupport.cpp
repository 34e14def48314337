#include "tests/plugin/ArdourSupport.h"

#include "processor/Parameters.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace torvik::test {

namespace fs = std::filesystem;

namespace {

// A float WAV export preset of our own: Ardour's "BWAV 32float Export" format, no normalising,
// no dither, at the session rate.
constexpr const char* kExportPresetId = "5f1c7a3e-2b8d-4e61-9a0f-7d3c2e1b4a59";

// Silence the plug-in runs on in Ardour between its settings and the export, and that the renderer
// processes before the take: the comparison starts from the same settled state.
constexpr double kSettleSeconds = 3.0;

// Runs of Ardour per session when it crashes (see runSession).
constexpr int kAttempts = 6;

std::string shellQuoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command; its standard output and error are returned in `output`.
int run(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool writeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

bool readWav(const fs::path& path, juce::AudioBuffer<float>& samples, double& rate) {
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader(
        wav.createReaderFor(juce::File(path.string()).createInputStream().release(), true));
    if (reader == nullptr) return false;
    rate = reader->sampleRate;
    samples.setSize(static_cast<int>(reader->numChannels), static_cast<int>(reader->lengthInSamples));
    return reader->read(&samples, 0, samples.getNumSamples(), 0, true, true);
}

bool writeWav(const fs::path& path, const juce::AudioBuffer<float>& samples, double rate) {
    const juce::File file(path.string());
    file.deleteFile();
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer(wav.createWriterFor(
        file.createOutputStream().release(), rate, static_cast<unsigned>(samples.getNumChannels()), 32, {}, 0));
    return writer != nullptr && writer->writeFromAudioSampleBuffer(samples, 0, samples.getNumSamples());
}

// The state block (magic "VC2!", length of the text, XML text, zero) inside `bytes`: the XML text, and where
// the block starts and ends.
bool findStateBlock(const juce::MemoryBlock& bytes, std::string& xml, std::size_t& begin, std::size_t& end) {
    const auto* data = static_cast<const char*>(bytes.getData());
    const std::string_view view(data, bytes.getSize());
    const std::size_t at = view.find("VC2!");
    if (at == std::string_view::npos || at + 8 > view.size()) return false;
    uint32_t length = 0;
    std::memcpy(&length, data + at + 4, 4);
    if (at + 8 + length + 1 > view.size() || data[at + 8 + length] != '\0') return false;
    xml.assign(data + at + 8, length);
    begin = at;
    end = at + 8 + length + 1;
    return true;
}

juce::MemoryBlock stateBlock(const std::string& xml) {
    juce::MemoryBlock block;
    block.append("VC2!", 4);
    const auto length = static_cast<uint32_t>(xml.size());
    block.append(&length, 4);
    block.append(xml.data(), xml.size());
    block.append("", 1);
    return block;
}

} // namespace

const char* formatName(PluginFormat format) {
    switch (format) {
    case PluginFormat::Vst3: return "VST3";
    case PluginFormat::Lv2: return "LV2";
    default: return "VST2";
    }
}

const ArdourEnvironment& ArdourEnvironment::get() {
    static const ArdourEnvironment environment;
    return environment;
}

ArdourEnvironment::ArdourEnvironment() {
    work_ = fs::path(TORVIK_TEST_WORK);
    std::string output;
    if (run("command -v ardour7-lua", output) != 0) {
        problem_ = "ardour7-lua not found (Debian package ardour; scripts/install-deps.sh installs it)";
        return;
    }
    // Install as a user would, below a folder of ours, and let that be Ardour's home.
    const fs::path destdir = work_ / "install";
    fs::remove_all(work_);
    fs::create_directories(work_);
    if (run("DESTDIR=" + shellQuoted(destdir.string()) + " " + shellQuoted(TORVIK_CMAKE_COMMAND) + " --install " +
                shellQuoted(TORVIK_BUILD_DIR),
            output) != 0) {
        problem_ = "cmake --install failed: " + output;
        return;
    }
    auto installed = [&destdir](const char* dir) { return destdir / fs::path(dir).relative_path(); };
    vst3Dir_ = installed(TORVIK_INSTALL_VST3_DIR);
    lv2Dir_ = installed(TORVIK_INSTALL_LV2_DIR);
    vst2Dir_ = installed(TORVIK_INSTALL_VST2_DIR);
    for (const fs::path& p : {vst3Dir_ / "TorvikPreamp.vst3", lv2Dir_ / "TorvikPreamp.lv2", vst2Dir_ / "TorvikPreamp.so",
                              vst2Dir_ / "TorvikPreamp.so.dat"})
        if (!fs::exists(p)) {
            problem_ = "not installed: " + p.string();
            return;
        }
    if (fs::is_symlink(vst2Dir_ / "TorvikPreamp.so.dat")) {
        problem_ = "the installed model folder is a link into the build tree";
        return;
    }

    home_ = work_ / "home";
    fs::create_directories(home_ / ".config/ardour7/export");
    writeText(home_ / ".config/ardour7/config",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Ardour>\n  <Config>\n"
              "    <Option name=\"plugin-path-vst3\" value=\"" + vst3Dir_.string() + "\"/>\n"
              "    <Option name=\"plugin-path-lxvst\" value=\"" + vst2Dir_.string() + "\"/>\n"
              "  </Config>\n</Ardour>\n");
    writeText(home_ / ".config/ardour7/export/torvik-float.preset",
              std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ExportPreset id=\"") + kExportPresetId +
                  "\" name=\"TORVIK float WAV\">\n"
                  "  <ExportFormat id=\"20b4ab09-6452-4cb3-bd66-b921cdbd2942\"/>\n"
                  "  <ExportFilename>\n    <Folder relative=\"1\" path=\"export\"/>\n"
                  "    <Field name=\"label\" enabled=\"1\"/>\n  </ExportFilename>\n</ExportPreset>\n");

    // Ardour takes VST3 and VST 2.4 plug-ins from its scan cache only, and only while the cache
    // is newer than the plug-in file.
    run("touch -h -d '-1 min' " + shellQuoted((vst3Dir_ / "TorvikPreamp.vst3/Contents/x86_64-linux/TorvikPreamp.so").string()) +
            " " + shellQuoted((vst2Dir_ / "TorvikPreamp.so").string()),
        output);
    const std::string scanners = environment() + " LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/";
    if (run(scanners + "ardour-vst3-scanner " + shellQuoted((vst3Dir_ / "TorvikPreamp.vst3").string()), output) != 0) {
        problem_ = "VST3 scan failed: " + output;
        return;
    }
    if (run(scanners + "ardour-vst-scanner " + shellQuoted((vst2Dir_ / "TorvikPreamp.so").string()), output) != 0) {
        problem_ = "VST 2.4 scan failed: " + output;
        return;
    }
}

std::string ArdourEnvironment::environment() const {
    return "HOME=" + shellQuoted(home_.string()) + " XDG_CONFIG_HOME=" + shellQuoted((home_ / ".config").string()) +
           " XDG_CACHE_HOME=" + shellQuoted((home_ / ".cache").string()) + " LV2_PATH=" + shellQuoted(lv2Dir_.string());
}

SessionReport ArdourEnvironment::runSession(PluginFormat format, SessionMode mode, const fs::path& session,
                                            const std::vector<std::pair<int, float>>& settings, bool save) const {
    SessionReport report;
    report.session = session;
    const fs::path exportDir = session.string() + (mode == SessionMode::New ? "-export" : "-export-reopened");
    fs::remove_all(exportDir);
    fs::create_directories(exportDir);
    if (mode == SessionMode::New) fs::remove_all(session);

    std::string values, names;
    for (const auto& [index, value] : settings) values += std::to_string(index) + "=" + std::to_string(value) + ",";
    std::string keys;
    for (int i = 0; i < kParameterCount; ++i) {
        names += std::string(i > 0 ? "|" : "") + parameterInfo(i).name;
        keys += std::string(i > 0 ? "|" : "") + parameterInfo(i).key;
    }
    std::string programs;
    for (int i = 1; i <= 12; ++i) programs += (i > 1 ? "|" : "") + std::to_string(i) + " default";
    const char* type = format == PluginFormat::Vst3 ? "VST3" : format == PluginFormat::Lv2 ? "LV2" : "LXVST";
    const std::string id = format == PluginFormat::Vst3 ? TORVIK_VST3_ID : format == PluginFormat::Lv2 ? TORVIK_LV2_URI : TORVIK_VST2_ID;
    const std::string command = environment() + " MODE=" + (mode == SessionMode::New ? "new" : "reopen") +
                                " SESSION=" + shellQuoted(session.string()) + " PTYPE=" + type + " PID=" + shellQuoted(id) +
                                " SETTINGS=" + shellQuoted(values) + " PARAMETER_NAMES=" + shellQuoted(names) + " PARAMETER_IDS=" + shellQuoted(keys) + " PROGRAM_NAMES=" + shellQuoted(programs) + " SAVE=" + (save ? "1" : "0") +
                                " SETTLE_SECONDS=" + std::to_string(kSettleSeconds) + " EXPORT_DIR=" + shellQuoted(exportDir.string()) + " EXPORT_PRESET=" + kExportPresetId +
                                " timeout 300 ardour7-lua " + shellQuoted(TORVIK_SESSION_SCRIPT);
    // Ardour 7.3 crashes in about one export in four as the export ends (freeing a signal
    // connection in Session::finalize_audio_export as free-wheeling stops; it does so as well with
    // Ardour's own a-EQ in our place): a run that died of a signal is run again, up to 6 times.
    int status = 0;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        status = run(command, report.log);
        writeText(session.string() + (mode == SessionMode::New ? "" : "-reopened") + "-" + std::to_string(attempt) + ".log",
                  report.log);
        if (status < 128 || report.log.find("\nCLOSED") != std::string::npos) break;
        std::printf("[ %s ] Ardour died with status %d in %s; running it again\n", formatName(format), status,
                    session.filename().string().c_str());
        if (mode == SessionMode::New) fs::remove_all(session);
        fs::remove_all(exportDir);
        fs::create_directories(exportDir);
    }

    std::istringstream lines(report.log);
    bool exported = false, closed = false;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream in(line);
        std::string word;
        in >> word;
        if (word == "PARAMETER") {
            int index = 0;
            ReportedParameter p;
            in >> index >> p.value;
            std::getline(in >> std::ws, p.name);
            report.parameters[index] = p;
        } else if (word == "CONTROL") {
            int type = 0;
            long id = 0;
            std::string name;
            in >> type >> id;
            std::getline(in >> std::ws, name);
            // Not the plug-in's parameters: JUCE's VST3 bypass parameter (for the host's bypass) and
            // its LV2 free-wheeling and enable ports, which Ardour shows as hidden.
            if (!(format == PluginFormat::Vst3 && name == "Bypass") && name != "hidden") ++report.controls;
        } else if (word == "PROGRAM") {
            std::string name;
            std::getline(in >> std::ws, name);
            report.programs.push_back(name);
        } else if (word == "LATENCY") {
            in >> report.latency;
        } else if (word == "INPUT") {
            in >> report.inputStart >> report.inputLength;
        } else if (word == "CLOSED") {
            closed = true;
        } else if (word == "EXPORTED") {
            in >> word;
            exported = word == "true";
        }
    }
    for (const auto& entry : fs::directory_iterator(exportDir))
        if (entry.path().extension() == ".wav") report.exportFile = entry.path();
    report.ok = status == 0 && exported && closed && !report.exportFile.empty() && report.inputLength > 0;
    return report;
}

ExportComparison ArdourEnvironment::compareWithRenderer(const SessionReport& report, const std::vector<std::string>& options,
                                                        const fs::path& scratch) const {
    ExportComparison c;
    // The recorded take: one mono file per channel in the session's interchange folder.
    fs::path left, right;
    for (const auto& entry : fs::recursive_directory_iterator(report.session / "interchange")) {
        const std::string name = entry.path().filename().string();
        if (name.find("%L.wav") != std::string::npos) left = entry.path();
        if (name.find("%R.wav") != std::string::npos) right = entry.path();
    }
    juce::AudioBuffer<float> l, r, exported, rendered;
    double rate = 0.0, exportRate = 0.0, renderRate = 0.0;
    if (left.empty() || right.empty() || !readWav(left, l, rate) || !readWav(right, r, rate)) {
        c.problem = "no recorded take in " + report.session.string();
        return c;
    }
    const int n = static_cast<int>(report.inputLength), first = static_cast<int>(report.inputStart);
    if (first + n > l.getNumSamples() || first + n > r.getNumSamples()) {
        c.problem = "the recorded region runs past its files";
        return c;
    }
    // The plug-in in Ardour has been running on silence since its settings were made: the renderer
    // gets the same, kSettle seconds of silence before the take, cut off again below.
    const int settle = static_cast<int>(kSettleSeconds * rate);
    juce::AudioBuffer<float> input(2, settle + n);
    input.clear();
    input.copyFrom(0, settle, l, 0, first, n);
    input.copyFrom(1, settle, r, 0, first, n);
    const fs::path inputFile = scratch.string() + "-input.wav", renderFile = scratch.string() + "-rendered.wav";
    writeWav(inputFile, input, rate);

    std::string command = shellQuoted(TORVIK_RENDER) + " " + shellQuoted(inputFile.string()) + " " + shellQuoted(renderFile.string());
    for (const std::string& o : options) command += " " + shellQuoted(o);
    std::string output;
    if (run(command, output) != 0) {
        c.problem = "torvik-render failed: " + output;
        return c;
    }
    if (!readWav(report.exportFile, exported, exportRate) || !readWav(renderFile, rendered, renderRate)) {
        c.problem = "cannot read the export or the rendering";
        return c;
    }
    if (rendered.getNumSamples() != settle + n || rendered.getNumChannels() != 2) {
        c.problem = "torvik-render wrote " + std::to_string(rendered.getNumSamples()) + " frames";
        return c;
    }
    {
        juce::AudioBuffer<float> take(2, n);
        for (int ch = 0; ch < 2; ++ch) take.copyFrom(ch, 0, rendered, ch, settle, n);
        rendered = std::move(take);
    }
    if (exported.getNumChannels() != 2 || exported.getNumSamples() != n || exportRate != rate || renderRate != rate) {
        c.problem = "export has " + std::to_string(exported.getNumChannels()) + " channels, " +
                    std::to_string(exported.getNumSamples()) + " frames at " + std::to_string(exportRate) + " Hz; expected 2, " +
                    std::to_string(n) + " at " + std::to_string(rate);
        return c;
    }
    c.frames = static_cast<std::size_t>(n);
    auto errorAt = [&](int shift) {
        double worst = 0.0;
        for (int ch = 0; ch < 2; ++ch)
            for (int k = 64; k < n - 64; ++k)
                worst = std::max(worst, std::abs(static_cast<double>(exported.getSample(ch, k)) - rendered.getSample(ch, k - shift)));
        return worst;
    };
    double best = errorAt(0);
    for (int shift = -32; shift <= 32; ++shift) {
        const double e = errorAt(shift);
        if (e < best) {
            best = e;
            c.bestShift = shift;
        }
    }
    c.maxError = 0.0;
    for (int ch = 0; ch < 2; ++ch)
        for (int k = 0; k < n; ++k) {
            c.maxError = std::max(c.maxError, std::abs(static_cast<double>(exported.getSample(ch, k)) - rendered.getSample(ch, k)));
            c.peak = std::max(c.peak, std::abs(static_cast<double>(rendered.getSample(ch, k))));
        }
    c.ok = true;
    return c;
}

float ArdourEnvironment::reported(int index, float hostValue) const {
    const std::optional<float> internal = internalFromHost(index, hostValue);
    return internal ? reportedFromInternal(index, *internal) : 0.0f;
}

namespace {

// Where each format's state sits in a saved session, and how it is encoded:
//  - VST 2.4: the chunk, base64, in the session file's <chunk> element;
//  - VST3: a preset stream (header, component state, chunk list), base64, in the session file's
//    <chunk> element; JUCE's component state is our state block followed by data of its own;
//  - LV2: JUCE's state string (its own base64 variant) in the newest state.ttl of the plug-in.
struct StateLocation {
    fs::path file;
    std::string open, close;  // the text around the encoded state
    bool juceBase64 = false;
};

fs::path sessionFile(const fs::path& session) {
    for (const auto& entry : fs::directory_iterator(session))
        if (entry.path().extension() == ".ardour") return entry.path();
    return {};
}

StateLocation locate(PluginFormat format, const fs::path& session) {
    StateLocation where;
    switch (format) {
    case PluginFormat::Vst2:
        where.file = sessionFile(session);
        where.open = "<chunk";
        where.close = "</chunk>";
        break;
    case PluginFormat::Vst3:
        where.file = sessionFile(session);
        where.open = "<chunk";
        where.close = "</chunk>";
        break;
    case PluginFormat::Lv2: {
        long newest = -1;
        if (fs::is_directory(session / "plugins"))
            for (const auto& entry : fs::recursive_directory_iterator(session / "plugins")) {
                const std::string dir = entry.path().parent_path().filename().string();
                if (entry.path().filename() != "state.ttl" || dir.rfind("state", 0) != 0) continue;
                const long n = std::atol(dir.c_str() + 5);
                if (n > newest) {
                    newest = n;
                    where.file = entry.path();
                }
            }
        where.open = ":StateString> \"";
        where.close = "\"";
        where.juceBase64 = true;
        break;
    }
    }
    return where;
}

bool decode(const std::string& encoded, bool juceBase64, juce::MemoryBlock& bytes) {
    bytes.reset();
    if (juceBase64) return bytes.fromBase64Encoding(juce::String(encoded));
    juce::MemoryOutputStream out(bytes, false);
    return juce::Base64::convertFromBase64(out, juce::String(encoded));
}

std::string encode(const juce::MemoryBlock& bytes, bool juceBase64) {
    return (juceBase64 ? bytes.toBase64Encoding() : juce::Base64::toBase64(bytes.getData(), bytes.getSize())).toStdString();
}

// A VST3 preset stream: "VST3", version, class id (32 characters), offset of the chunk list; the
// chunk list is "List", a count and per chunk an id, offset and size. After `at` the stream grew by
// `delta` bytes: move what lies behind, and grow the chunk that holds `at`.
bool moveVst3Chunks(juce::MemoryBlock& stream, std::size_t at, long long delta) {
    auto* bytes = static_cast<char*>(stream.getData());
    if (stream.getSize() < 48 || std::memcmp(bytes, "VST3", 4) != 0) return false;
    auto field = [bytes](std::size_t offset) {
        long long v = 0;
        std::memcpy(&v, bytes + offset, 8);
        return v;
    };
    auto setField = [bytes](std::size_t offset, long long v) { std::memcpy(bytes + offset, &v, 8); };
    const long long list = field(40) + delta;
    setField(40, list);
    if (list < 48 || static_cast<std::size_t>(list) + 8 > stream.getSize() || std::memcmp(bytes + list, "List", 4) != 0) return false;
    int32_t count = 0;
    std::memcpy(&count, bytes + list + 4, 4);
    for (int32_t k = 0; k < count; ++k) {
        const std::size_t entry = static_cast<std::size_t>(list) + 8 + static_cast<std::size_t>(k) * 20;
        if (entry + 20 > stream.getSize()) return false;
        const long long offset = field(entry + 4), size = field(entry + 12);
        if (offset > static_cast<long long>(at)) setField(entry + 4, offset + delta);
        else if (offset + size > static_cast<long long>(at)) setField(entry + 12, size + delta);
    }
    return true;
}

} // namespace

StoredState ArdourEnvironment::readStoredState(PluginFormat format, const fs::path& session) const {
    StoredState s;
    const StateLocation where = locate(format, session);
    if (where.file.empty() || !fs::exists(where.file)) {
        s.problem = "no saved plug-in state in " + session.string();
        return s;
    }
    s.file = where.file;
    s.fileText = readText(where.file);
    std::size_t begin = s.fileText.find(where.open);
    if (begin != std::string::npos && format != PluginFormat::Lv2) begin = s.fileText.find('>', begin);
    if (begin == std::string::npos) {
        s.problem = "no " + where.open + " in " + where.file.string();
        return s;
    }
    begin += format == PluginFormat::Lv2 ? where.open.size() : 1;
    const std::size_t end = s.fileText.find(where.close, begin);
    if (end == std::string::npos) {
        s.problem = "unterminated state in " + where.file.string();
        return s;
    }
    s.encoded = s.fileText.substr(begin, end - begin);
    juce::MemoryBlock bytes;
    std::size_t blockBegin = 0, blockEnd = 0;
    if (!decode(s.encoded, where.juceBase64, bytes) || !findStateBlock(bytes, s.bank, blockBegin, blockEnd)) {
        s.problem = "no state block in the stored state of " + where.file.string();
        return s;
    }
    s.ok = true;
    return s;
}

bool ArdourEnvironment::writeStoredState(PluginFormat format, const fs::path&, const StoredState& state,
                                         const std::string& from, const std::string& to) const {
    const bool juceBase64 = format == PluginFormat::Lv2;
    juce::MemoryBlock bytes;
    std::string xml;
    std::size_t begin = 0, end = 0;
    if (!decode(state.encoded, juceBase64, bytes) || !findStateBlock(bytes, xml, begin, end)) return false;
    const std::size_t at = xml.find(from);
    if (at == std::string::npos) return false;
    xml.replace(at, from.size(), to);
    // The new block in place of the old one; whatever the wrapper stored around it stays.
    const juce::MemoryBlock block = stateBlock(xml);
    juce::MemoryBlock changed(bytes.getData(), begin);
    changed.append(block.getData(), block.getSize());
    changed.append(static_cast<const char*>(bytes.getData()) + end, bytes.getSize() - end);
    if (format == PluginFormat::Vst3 && !moveVst3Chunks(changed, begin, static_cast<long long>(block.getSize()) - static_cast<long long>(end - begin)))
        return false;
    const std::string text = replaceAll(state.fileText, state.encoded, encode(changed, juceBase64));
    return writeText(state.file, text);
}

} // namespace torvik::test
