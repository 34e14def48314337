#include "processor/StateDocument.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace torvik {

namespace {

constexpr juce::uint32 kStateMagic = 0x21324356;
// A bank document is three levels deep; anything much deeper is not one, and is refused before
// the recursive XML reader could exhaust the stack.
constexpr int kMaxNesting = 64;

// Attribute order of a written program.
constexpr int kWriteOrder[kParameterCount] = {kTubeSet, kInput,  kOutput, kChannelMode, kGain,
                                              kTreble,  kMiddle, kBass,   kOversampling, kShowSettings};

// Value of each parameter when its attribute is absent, as a document value.
constexpr float kDocumentDefaults[kParameterCount] = {0.0f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f};

const char kDefaultBank[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<qix cprog="0" version="1">
  <programs>
    <program programname="1 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
    <program programname="2 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
    <program programname="3 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
    <program programname="4 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
    <program programname="5 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
    <program programname="6 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
    <program programname="7 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
    <program programname="8 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
    <program programname="9 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
    <program programname="10 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
    <program programname="11 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
    <program programname="12 default" gain="0.5" ovrsmplng="0.0" in="0.5" out="0.5" stro="0.0" model="0.0" trbl="0.5" mdl="0.5" bas="0.5" showset="0.0"/>
  </programs>
</qix>
)";

void writeLittleEndian(juce::uint32 value, char* out) {
    for (int k = 0; k < 4; ++k) out[k] = static_cast<char>((value >> (8 * k)) & 0xFF);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A decimal number as the document holds it: leading blanks, an optional sign, digits with an
// optional point and exponent; reading stops at the first character that does not fit. Text that
// does not start like a number, or a magnitude beyond double range, reads as 0.
double readDecimal(const juce::String& text) {
    const std::string s = text.toStdString();
    const char* p = s.c_str();
    const char* end = p + s.size();
    while (p < end && isBlank(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p == end || !((*p >= '0' && *p <= '9') || *p == '.')) return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec != std::errc()) return 0.0;
    return negative ? -value : value;
}

// "cprog": leading blanks and a sign, then digits up to the first non-digit; 0 when there are none.
long long readInteger(const juce::String& text) {
    const std::string s = text.toStdString();
    std::size_t k = 0;
    while (k < s.size() && isBlank(s[k])) ++k;
    bool negative = false;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) negative = s[k++] == '-';
    long long value = 0;
    for (; k < s.size() && s[k] >= '0' && s[k] <= '9'; ++k) {
        value = value * 10 + (s[k] - '0');
        if (value > 1000000000LL) break;  // far outside any program index
    }
    return negative ? -value : value;
}

const juce::String* findAttribute(const juce::XmlElement& element, const char* name) {
    for (int k = 0; k < element.getNumAttributes(); ++k)
        if (element.getAttributeName(k).equalsIgnoreCase(name)) {
            // getAttributeValue returns a reference into the element.
            return &element.getAttributeValue(k);
        }
    return nullptr;
}

const juce::XmlElement* firstChildElement(const juce::XmlElement& element) {
    for (auto* child = element.getFirstChildElement(); child != nullptr; child = child->getNextElement())
        if (!child->isTextElement()) return child;
    return nullptr;
}

ProgramFromDocument readProgram(const juce::XmlElement& element) {
    ProgramFromDocument program;
    const juce::String* name = findAttribute(element, "programname");
    program.name = name != nullptr ? *name : juce::String("Not Saved");
    for (int index = 0; index < kParameterCount; ++index) {
        const juce::String* text = findAttribute(element, parameterInfo(index).key);
        const double documentValue = text != nullptr ? readDecimal(*text) : kDocumentDefaults[index];
        program.values[index] = *internalFromHost(index, static_cast<float>(documentValue));
    }
    return program;
}

// Element depth as an XML reader would meet it: quoted attribute values, comments, CDATA,
// processing instructions and declarations are stepped over; "/>" closes an element.
bool nestingWithin(const char* text, std::size_t length, int limit) {
    const std::string_view s(text, length);
    auto skipPast = [&s](std::size_t from, std::string_view terminator) {
        const std::size_t at = s.find(terminator, from);
        return at == std::string_view::npos ? s.size() : at + terminator.size();
    };
    int depth = 0;
    std::size_t k = 0;
    while (k < s.size()) {
        if (s[k] != '<') {
            ++k;
            continue;
        }
        const std::string_view rest = s.substr(k);
        if (rest.substr(0, 4) == "<!--") k = skipPast(k + 4, "-->");
        else if (rest.substr(0, 9) == "<![CDATA[") k = skipPast(k + 9, "]]>");
        else if (rest.substr(0, 2) == "<?") k = skipPast(k + 2, "?>");
        else if (rest.substr(0, 2) == "<!") {
            int brackets = 0;  // a declaration may hold an internal subset with its own markup
            for (k += 2; k < s.size(); ++k) {
                if (s[k] == '<') ++brackets;
                else if (s[k] == '>' && brackets-- == 0) break;
            }
            ++k;
        } else if (rest.substr(0, 2) == "</") {
            --depth;
            k = skipPast(k + 2, ">");
        } else {
            if (++depth > limit) return false;
            char quote = 0;
            for (++k; k < s.size(); ++k) {
                const char c = s[k];
                if (quote != 0) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    if (s[k - 1] == '/') --depth;
                    break;
                }
            }
            ++k;
        }
    }
    return true;
}

} // namespace

const char* defaultBankText() { return kDefaultBank; }

juce::String formatStateNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.20g", value);
    return text;
}

std::unique_ptr<juce::XmlElement> writeBankDocument(const ProgramBank& bank, int currentProgram) {
    auto root = std::make_unique<juce::XmlElement>("qix");
    root->setAttribute("cprog", currentProgram);
    root->setAttribute("version", 1);
    auto* programs = new juce::XmlElement("programs");
    for (const ProgramRecord& record : bank) {
        auto* program = new juce::XmlElement("program");
        program->setAttribute("programname", record.name);
        for (int index : kWriteOrder)
            program->setAttribute(parameterInfo(index).key,
                                  formatStateNumber(reportedFromInternal(index, record.value(index))));
        programs->addChildElement(program);
    }
    root->addChildElement(programs);
    return root;
}

void writeStateBlock(const juce::XmlElement& document, juce::MemoryBlock& dest) {
    const juce::String text = document.toString(juce::XmlElement::TextFormat().singleLine().withoutHeader());
    const std::size_t length = text.getNumBytesAsUTF8();
    dest.setSize(8 + length + 1, true);
    auto* bytes = static_cast<char*>(dest.getData());
    writeLittleEndian(kStateMagic, bytes);
    writeLittleEndian(static_cast<juce::uint32>(length), bytes + 4);
    std::memcpy(bytes + 8, text.toRawUTF8(), length);
}

// A document type declaration can define entities that the framework's reader expands again and
// again without bound; a bank document never has one.
bool declaresDocumentType(const char* text, std::size_t length) {
    static const std::string markers[] = {"<!doctype", "<!entity"};
    for (const std::string& marker : markers) {
        const auto found = std::search(text, text + length, marker.begin(), marker.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
        });
        if (found != text + length) return true;
    }
    return false;
}

// A processing instruction anywhere but in front of the root sends the framework's reader round a
// loop for ever (it skips the instruction, meets text, rolls back to before the instruction).
// A bank document has at most the XML declaration, at the very start.
bool instructionsOnlyInFront(const char* text, std::size_t length) {
    const std::string_view doc(text, length);
    std::size_t pos = doc.find_first_not_of(" \t\r\n");
    if (pos == std::string_view::npos) return true;
    if (doc.compare(pos, 2, "<?") == 0) {
        const std::size_t end = doc.find("?>", pos + 2);
        if (end == std::string_view::npos) return false;
        pos = end + 2;
    }
    return doc.find("<?", pos) == std::string_view::npos;
}

std::unique_ptr<juce::XmlElement> readStateBlock(const void* data, int size) {
    if (data == nullptr || size <= 8) return nullptr;
    const auto* bytes = static_cast<const char*>(data);
    if (juce::ByteOrder::littleEndianInt(bytes) != kStateMagic) return nullptr;
    const auto length = static_cast<int>(juce::ByteOrder::littleEndianInt(bytes + 4));
    if (length <= 0) return nullptr;
    const int textBytes = std::min(length, size - 8);
    // The framework's reader walks malformed UTF-8 past the end of its text: refuse it here.
    if (!juce::CharPointer_UTF8::isValidString(bytes + 8, textBytes)) return nullptr;
    if (!nestingWithin(bytes + 8, static_cast<std::size_t>(textBytes), kMaxNesting)) return nullptr;
    if (declaresDocumentType(bytes + 8, static_cast<std::size_t>(textBytes))) return nullptr;
    if (!instructionsOnlyInFront(bytes + 8, static_cast<std::size_t>(textBytes))) return nullptr;
    return juce::AudioProcessor::getXmlFromBinary(data, size);
}

std::optional<BankFromDocument> readBankDocument(const juce::XmlElement& root) {
    if (!root.getTagName().equalsIgnoreCase("qix")) return std::nullopt;
    BankFromDocument bank;
    if (const juce::String* cprog = findAttribute(root, "cprog")) {
        const long long index = readInteger(*cprog);
        bank.currentProgram = index >= 0 && index < kProgramCount ? static_cast<int>(index) : 0;
    }
    const juce::XmlElement* programs = firstChildElement(root);
    if (programs == nullptr || !programs->getTagName().equalsIgnoreCase("programs")) return bank;
    for (auto* child = programs->getFirstChildElement(); child != nullptr; child = child->getNextElement()) {
        if (bank.programs.size() == kProgramCount) break;
        if (!child->isTextElement() && child->getTagName().equalsIgnoreCase("program"))
            bank.programs.push_back(readProgram(*child));
    }
    return bank;
}

} // namespace torvik
