// The state document: the exact text written, round trips, and what malformed blocks do.
#include "ProcessorFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace torvik {
namespace {

using namespace fixtures;
namespace fs = std::filesystem;

std::string defaultProgramText(int number) {
    return "<program programname=\"" + std::to_string(number) +
           " default\" model=\"-0.5\" in=\"0.5\" out=\"0.5\" stro=\"-0.5\" gain=\"0.5\" trbl=\"0.5\" "
           "mdl=\"0.5\" bas=\"0.5\" ovrsmplng=\"0\" showset=\"-0.5\"/>";
}

juce::MemoryBlock blockOf(const std::string& text, int lengthAdjust = 0) {
    juce::MemoryBlock block;
    const auto length = static_cast<juce::uint32>(static_cast<int>(text.size()) + lengthAdjust);
    const unsigned char header[8] = {0x56, 0x43, 0x32, 0x21, static_cast<unsigned char>(length & 0xFF),
                                     static_cast<unsigned char>((length >> 8) & 0xFF),
                                     static_cast<unsigned char>((length >> 16) & 0xFF),
                                     static_cast<unsigned char>(length >> 24)};
    block.append(header, 8);
    block.append(text.data(), text.size());
    block.append("", 1);
    return block;
}

std::string textOf(const juce::MemoryBlock& block) {
    return std::string(static_cast<const char*>(block.getData()) + 8, block.getSize() - 9);
}

void apply(TorvikPreampAudioProcessor& p, const juce::MemoryBlock& block) {
    p.setStateInformation(block.getData(), static_cast<int>(block.getSize()));
}

TEST(StateDocument, DefaultBankIsWrittenExactly) {
    auto p = makeProcessor();
    juce::MemoryBlock block;
    p->getStateInformation(block);
    std::string expected = "<qix cprog=\"0\" version=\"1\"><programs>";
    for (int k = 1; k <= 12; ++k) expected += defaultProgramText(k);
    expected += "</programs></qix>";
    ASSERT_GT(block.getSize(), 9u);
    const auto* bytes = static_cast<const unsigned char*>(block.getData());
    EXPECT_EQ(bytes[0], 0x56);
    EXPECT_EQ(bytes[1], 0x43);
    EXPECT_EQ(bytes[2], 0x32);
    EXPECT_EQ(bytes[3], 0x21);
    const juce::uint32 length = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<juce::uint32>(bytes[7]) << 24;
    EXPECT_EQ(length, block.getSize() - 9);
    EXPECT_EQ(bytes[block.getSize() - 1], 0);
    EXPECT_EQ(textOf(block), expected);
}

TEST(StateDocument, NumbersInGeneralNotation) {
    EXPECT_EQ(formatStateNumber(0.5), "0.5");
    EXPECT_EQ(formatStateNumber(-0.5), "-0.5");
    EXPECT_EQ(formatStateNumber(0.0), "0");
    EXPECT_EQ(formatStateNumber(0.0625), "0.0625");
    EXPECT_EQ(formatStateNumber(static_cast<double>(0.3f)), "0.30000001192092895508");
    EXPECT_EQ(formatStateNumber(1.0), "1");
}

TEST(StateDocument, RoundTripKeepsEveryNameAndValue) {
    auto source = makeProcessor();
    const char* names[] = {"Clean", "Crunch <&> \"quoted\" 'single'", "", "Äther – ☃", "x", "  spaced  ",
                           "Lead", "Rhythm", "Tab\tand newline\n", "10", "eleven", "twelve"};
    for (int program = 0; program < 12; ++program) {
        source->setCurrentProgram(program);
        source->changeProgramName(program, juce::String::fromUTF8(names[program]));
        // Every parameter at a value depending on the program; levels at awkward fractions.
        for (int index = 0; index < kParameterCount; ++index) {
            const float x = static_cast<float>((program * 7 + index * 3) % 13) / 12.0f - 0.25f;
            source->setParameter(index, index == kInput || index == kOutput ? 0.013f * program + 0.31f : x);
        }
    }
    source->setCurrentProgram(7);
    juce::MemoryBlock block;
    source->getStateInformation(block);

    auto target = makeProcessor();
    apply(*target, block);
    EXPECT_EQ(target->getCurrentProgram(), 7);
    for (int program = 0; program < 12; ++program) {
        EXPECT_EQ(target->getProgramName(program), juce::String::fromUTF8(names[program])) << program;
        source->setCurrentProgram(program);
        target->setCurrentProgram(program);
        for (int index = 0; index < kParameterCount; ++index)
            EXPECT_EQ(target->internalValue(index), source->internalValue(index)) << program << " " << index;
    }
}

TEST(StateDocument, ReadingAppliesTheCurrentProgramAndBroadcastsOnce) {
    RecordingEvents events;
    auto p = makeProcessor(2, 2, &events);
    std::string text = "<qix cprog=\"3\" version=\"1\"><programs>";
    for (int k = 1; k <= 12; ++k) text += "<program programname=\"p\" gain=\"1\" ovrsmplng=\"0.25\" model=\"0.5\"/>";
    text += "</programs></qix>";
    events.take();
    apply(*p, blockOf(text));
    EXPECT_EQ(p->getCurrentProgram(), 3);
    EXPECT_EQ(events.count("load"), 8);
    EXPECT_EQ(events.count("load c0 b3 torvikpre_rsd_b3_pca.dat.88200"), 1);
    EXPECT_EQ(events.count("gain c1 b2 16"), 1);
    EXPECT_EQ(events.count("change"), 1);
    EXPECT_EQ(events.log.back(), "change");
}

// Program 5 is made recognisable first, so that a change to the bank shows.
struct Marked {
    RecordingEvents events;
    std::unique_ptr<TorvikPreampAudioProcessor> p = makeProcessor(2, 2, &events);
    Marked() {
        p->setCurrentProgram(5);
        p->changeProgramName(0, "mark0");
        p->changeProgramName(1, "mark1");
        events.take();
    }
    bool bankUntouched() {
        const int current = p->getCurrentProgram();
        const bool names = p->getProgramName(0) == "mark0" && p->getProgramName(1) == "mark1";
        p->setCurrentProgram(current);
        return names;
    }
};

TEST(StateDocument, UndecodableBlocksChangeNothingButTheCurrentIndex) {
    struct Case { const char* what; juce::MemoryBlock block; };
    std::string deep;
    for (int k = 0; k < 20000; ++k) deep += "<a>";
    std::string wideButShallow = "<qix cprog=\"2\"><programs>";
    for (int k = 0; k < 3000; ++k) wideButShallow += "<other x=\"/>\"/>";
    wideButShallow += "</programs></qix>";
    const Case cases[] = {
        {"empty", juce::MemoryBlock()},
        {"eight bytes", juce::MemoryBlock("\x56\x43\x32\x21\x05\x00\x00\x00", 8)},
        {"wrong magic", [] { auto b = blockOf("<qix cprog=\"1\"/>"); static_cast<char*>(b.getData())[0] = 0x57; return b; }()},
        {"zero length", blockOf("<qix cprog=\"1\"/>", -16)},
        {"negative length", blockOf("<qix cprog=\"1\"/>", -100)},
        {"not XML", blockOf("just some text")},
        {"broken XML", blockOf("<qix cprog=\"1\"><programs>")},
        {"wrong root", blockOf("<bank cprog=\"1\"><programs><program programname=\"z\"/></programs></bank>")},
        {"deep nesting", blockOf("<qix>" + deep)},
        {"nesting hidden in quotes", blockOf("<qix a=\"/>/>/>/>\">" + deep)},
        {"malformed UTF-8", blockOf("<qix cprog=\"1\xe6\xe6\xe6\xe6\"><programs><program/></programs></qix>")},
        {"truncated UTF-8", blockOf("<qix cprog=\"1\"><programs><program programname=\"\xe6\"/></programs></qix>")},
        {"instruction inside the root", blockOf("<qix cprog=\"1\"><programs><?pi x?>text</programs></qix>")},
        {"unterminated declaration", blockOf("<?xml version=\"1.0\"<qix cprog=\"1\"/>")},
        {"self-expanding entity", blockOf("<!DOCTYPE qix [<!ENTITY a \"&a;&a;\">]><qix cprog=\"1\">&a;</qix>")},
        {"entity bomb", blockOf("<!doctype qix [<!ENTITY a \"<qix/><qix/>\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
                                "<qix cprog=\"1\"><programs>&b;&b;&b;&b;</programs></qix>")},
    };
    for (const Case& c : cases) {
        Marked m;
        apply(*m.p, c.block);
        EXPECT_EQ(m.p->getCurrentProgram(), 0) << c.what;
        EXPECT_TRUE(m.events.log.empty()) << c.what;
        EXPECT_TRUE(m.bankUntouched()) << c.what;
    }
    Marked m;
    m.p->setStateInformation(nullptr, 100);
    EXPECT_EQ(m.p->getCurrentProgram(), 0);

    // Many siblings are not deep nesting.
    Marked wide;
    apply(*wide.p, blockOf(wideButShallow));
    EXPECT_EQ(wide.p->getCurrentProgram(), 2);
}

TEST(StateDocument, PartialDocuments) {
    struct Case {
        const char* what;
        std::string text;
        int currentProgram;
        const char* name0;
        const char* name1;
    };
    const Case cases[] = {
        {"upper-case root", "<QIX CPROG=\"4\"><PROGRAMS><Program ProgramName=\"up\"/></PROGRAMS></QIX>", 4, "up", "mark1"},
        {"no children", "<qix cprog=\"2\"/>", 2, "mark0", "mark1"},
        {"first child not programs", "<qix cprog=\"2\"><other/><programs><program programname=\"z\"/></programs></qix>", 2,
         "mark0", "mark1"},
        {"one program", "<qix cprog=\"1\"><programs><program programname=\"only\"/></programs></qix>", 1, "only", "mark1"},
        {"no programname", "<qix><programs><program gain=\"1\"/></programs></qix>", 0, "Not Saved", "mark1"},
        {"empty programname", "<qix><programs><program programname=\"\"/></programs></qix>", 0, "", "mark1"},
        {"other elements skipped", "<qix><programs><x/><program programname=\"a\"/><y/><program programname=\"b\"/></programs></qix>",
         0, "a", "b"},
        {"cprog 12", "<qix cprog=\"12\"/>", 0, "mark0", "mark1"},
        {"cprog -1", "<qix cprog=\"-1\"/>", 0, "mark0", "mark1"},
        {"cprog huge", "<qix cprog=\"99999999999999999999\"/>", 0, "mark0", "mark1"},
        {"cprog text", "<qix cprog=\"abc\"/>", 0, "mark0", "mark1"},
        {"cprog with blanks and tail", "<qix cprog=\"  +3x\"/>", 3, "mark0", "mark1"},
        {"with declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<qix cprog=\"6\"/>", 6, "mark0", "mark1"},
    };
    for (const Case& c : cases) {
        Marked m;
        apply(*m.p, blockOf(c.text));
        EXPECT_EQ(m.p->getCurrentProgram(), c.currentProgram) << c.what;
        EXPECT_EQ(m.p->getProgramName(0), juce::String::fromUTF8(c.name0)) << c.what;
        EXPECT_EQ(m.p->getProgramName(1), juce::String::fromUTF8(c.name1)) << c.what;
        EXPECT_EQ(m.events.count("load"), 8) << c.what;
        EXPECT_EQ(m.events.count("change"), 1) << c.what;
    }
}

TEST(StateDocument, FourteenProgramsFillTwelve) {
    std::string text = "<qix><programs>";
    for (int k = 0; k < 14; ++k) text += "<program programname=\"n" + std::to_string(k) + "\" gain=\"" + std::to_string(k / 16.0) + "\"/>";
    text += "</programs></qix>";
    Marked m;
    apply(*m.p, blockOf(text));
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(m.p->getProgramName(k), "n" + juce::String(k));
        m.p->setCurrentProgram(k);
        EXPECT_EQ(m.p->internalValue(kGain), static_cast<float>(k));
    }
}

TEST(StateDocument, ValuesAreReadStoredAndClamped) {
    struct Case {
        const char* attributes;
        float expected[kParameterCount];  // tube, in, gain, treble, middle, bass, out, os, stereo, show
    };
    const Case cases[] = {
        {"", {0, 24.5f, 8, 7, 7, 7, 24.5f, 0, 0, 0}},
        {"model=\"0.5\" stro=\"0.5\" showset=\"0.5\"", {1, 24.5f, 8, 7, 7, 7, 24.5f, 0, 1, 1}},
        {"model=\"-0.5\" stro=\"0\" showset=\"-0.5\"", {0, 24.5f, 8, 7, 7, 7, 24.5f, 0, 0, 0}},
        {"in=\"1\" out=\"0\" gain=\"0.0625\" trbl=\"1\" mdl=\"0\" bas=\"0.5\" ovrsmplng=\"0.75\"",
         {0, 49, 1, 14, 0, 7, 0, 3, 0, 0}},
        {"IN=\" 0.5\" Gain=\"+1\" TRBL=\"1e-1\" mdl=\".5\" bas=\"abc\" out=\"0.5xyz\"", {0, 24.5f, 16, 1, 7, 0, 24.5f, 0, 0, 0}},
        {"model=\"7\" in=\"3\" out=\"-2\" gain=\"99\" trbl=\"-1\" ovrsmplng=\"2\" stro=\"-9\" showset=\"1e300\"",
         {1, 49, 16, 0, 7, 7, 0, 4, 0, 1}},
        {"gain=\"nan\" in=\"inf\" out=\"1e999\"", {0, 0, 0, 7, 7, 7, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Marked m;
        apply(*m.p, blockOf(std::string("<qix><programs><program ") + c.attributes + "/></programs></qix>"));
        for (int index = 0; index < kParameterCount; ++index)
            EXPECT_EQ(m.p->internalValue(index), c.expected[index]) << c.attributes << " parameter " << index;
        EXPECT_TRUE(m.p->modelsReady()) << c.attributes;
    }
}

TEST(StateDocument, LengthFieldLongerThanTheBlockReadsWhatIsThere) {
    Marked m;
    apply(*m.p, blockOf("<qix cprog=\"9\"/>", 1000));
    EXPECT_EQ(m.p->getCurrentProgram(), 9);
}

// Example states for the state document fuzzer, written where the test script seeds it from.
TEST(StateDocument, WritesFuzzSeeds) {
    const char* base = std::getenv("TORVIK_TEST_OUTPUT");
    const fs::path dir = fs::path(base != nullptr ? base : ::testing::TempDir()) / "fuzz-seeds" / "state";
    fs::create_directories(dir);
    auto p = makeProcessor();
    juce::MemoryBlock state;
    p->getStateInformation(state);
    std::vector<std::pair<std::string, juce::MemoryBlock>> seeds = {{"default.bin", state}};
    p->changeProgramName(3, "Crunch <&> \"x\"");
    p->setCurrentProgram(3);
    for (int index = 0; index < kParameterCount; ++index) p->setParameter(index, 0.07f * index);
    p->getStateInformation(state);
    seeds.push_back({"edited.bin", state});
    seeds.push_back({"upper.bin", blockOf("<QIX CPROG=\"4\"><PROGRAMS><PROGRAM GAIN=\"1\"/></PROGRAMS></QIX>")});
    seeds.push_back({"declaration.bin", blockOf("<?xml version=\"1.0\"?><qix cprog=\"1\"><programs><program/></programs></qix>")});
    seeds.push_back({"short.bin", juce::MemoryBlock("\x56\x43\x32\x21\x05\x00\x00\x00\x3c", 9)});
    for (const auto& [name, block] : seeds) {
        juce::File((dir / name).string()).replaceWithData(block.getData(), block.getSize());
        EXPECT_TRUE(fs::exists(dir / name));
    }
}

TEST(StateDocument, DefaultBankTextIsTheConstructorsBank) {
    std::unique_ptr<juce::XmlElement> document = juce::parseXML(juce::String::fromUTF8(defaultBankText()));
    ASSERT_NE(document, nullptr);
    const std::optional<BankFromDocument> bank = readBankDocument(*document);
    ASSERT_TRUE(bank.has_value());
    ASSERT_EQ(bank->programs.size(), 12u);
    const float defaults[kParameterCount] = {0, 24.5f, 8, 7, 7, 7, 24.5f, 0, 0, 0};
    for (std::size_t k = 0; k < 12; ++k) {
        EXPECT_EQ(bank->programs[k].name, juce::String(static_cast<int>(k) + 1) + " default");
        for (int index = 0; index < kParameterCount; ++index) EXPECT_EQ(bank->programs[k].values[index], defaults[index]);
    }
}

} // namespace
} // namespace torvik
