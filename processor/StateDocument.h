#pragma once

#include "processor/Parameters.h"
#include "processor/ProgramRecord.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace torvik {

// The host keeps the whole program bank as one "qix" document inside the framework's binary state
// block: magic 0x21324356, the text length, the text on one line without an XML declaration, a
// zero byte.

constexpr int kProgramCount = 12;
using ProgramBank = std::array<ProgramRecord, kProgramCount>;

// The bank a new processor starts from, as XML text.
const char* defaultBankText();

// Numbers in the document: general notation, up to 20 significant digits ("0.5", "-0.5", "0").
juce::String formatStateNumber(double value);

// The document of a bank: root "qix" (cprog, version), "programs", twelve "program" elements.
std::unique_ptr<juce::XmlElement> writeBankDocument(const ProgramBank& bank, int currentProgram);

// Serialises a document into a state block.
void writeStateBlock(const juce::XmlElement& document, juce::MemoryBlock& dest);

// Decodes a state block: nothing for a null or short block, a wrong magic number, a zero or
// negative length, text that is not UTF-8 or not XML, or elements nested deeper than any bank
// document.
std::unique_ptr<juce::XmlElement> readStateBlock(const void* data, int size);

// What a "qix" document says. Values are internal values, clamped like host values; absent
// attributes take the defaults of a new program.
struct ProgramFromDocument {
    juce::String name;
    std::array<float, kParameterCount> values{};
};
struct BankFromDocument {
    int currentProgram = 0;  // "cprog"; 0 when absent, unreadable or not a program index
    std::vector<ProgramFromDocument> programs;  // the first twelve "program" elements, in order
};

// Nothing when the root is not "qix" (tags and attribute names compare ignoring ASCII case).
std::optional<BankFromDocument> readBankDocument(const juce::XmlElement& root);

} // namespace torvik
