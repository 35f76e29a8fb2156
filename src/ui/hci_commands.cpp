#include "ui/hci_commands.h"

#include <fstream>
#include <limits>
#include <sstream>

#include "platform/inifile.h"
#include "util/util.h"

namespace ui {

const char* const kHciCommandsFileName = "HCICommands.ini";
const char* const kHciCommandsSection = "HCI Commands";

namespace {

const char* const kNoMoreCommands = "NO_MORE_HCI_CMDS";
const char* const kNoMoreLines = "NO_HCI_CMD_DATA_SUB_LINES";

// Blanks and control characters, as the request field's trimming sees them.
bool IsSpaceOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Trim(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsSpaceOrControl(text[first]))
        ++first;
    while (last > first && IsSpaceOrControl(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// A field IsValidNumber accepted in base 16: up to 8 digits are one number, a longer
// field counts as 0.
uint8_t HexByte(const std::string& digits) {
    if (digits.size() > 8) return 0;
    uint32_t value = 0;
    for (char c : digits) {
        const int digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return static_cast<uint8_t>(value & 0xFF);
}

// A field IsValidNumber accepted in base 10 is a byte only when it is a signed 32-bit
// integer: minus signs elsewhere than in front ("1-2", "-") are not numbers.
bool DecimalByte(const std::string& text, uint8_t& byte) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == text.size()) return false;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return false;
    byte = static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFF);
    return true;
}

std::string NameKey(std::size_t tab) {
    return "HCICommand" + std::to_string(tab) + "Name";
}

std::string LineKey(std::size_t tab, std::size_t line) {
    return "HCICommand" + std::to_string(tab) + "DataLine" + std::to_string(line);
}

std::vector<HciCommandTab> TabsOf(const IniFile& ini) {
    std::vector<HciCommandTab> tabs;
    for (std::size_t i = 0;; ++i) {
        const std::string name = ini.ReadString(kHciCommandsSection, NameKey(i), kNoMoreCommands);
        if (name == kNoMoreCommands) break;
        HciCommandTab tab{name, {}};
        for (std::size_t j = 0;; ++j) {
            const std::string line =
                ini.ReadString(kHciCommandsSection, LineKey(i, j), kNoMoreLines);
            if (line == kNoMoreLines) break;
            if (j > 0) tab.sequence += "\r\n";
            tab.sequence += line;
        }
        tabs.push_back(std::move(tab));
    }
    return tabs;
}

// An IniFile that never touches a file of its own: only its Parse and Serialize are used.
IniFile Detached(const std::string& text) {
    IniFile ini(std::string{});
    ini.Parse(text);
    return ini;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

HciSequence ParseHciSequence(const std::string& text, int base, char separator) {
    HciSequence result;
    int32_t start = 0;
    int32_t end = 0;
    if (text.empty()) {
        result.error = "HCI command request is empty";
    } else {
        result.trimmed = Trim(text);
        const std::string& request = result.trimmed;
        std::string field;
        for (int32_t index = 0; GetField(request, index, separator, field, &start, &end).empty();
             ++index) {
            const std::string value = Trim(field);
            uint8_t byte = 0;
            const bool valid =
                IsValidNumber(value, base) &&
                (base == 16 ? (byte = HexByte(value), true) : DecimalByte(value, byte));
            if (!valid) {
                result.error = std::string("Invalid ") + (base == 16 ? "HEX" : "DECIMAL") +
                               " value found in command sequence: " + field;
                break;
            }
            result.bytes.push_back(byte);
            std::string next;
            int32_t nextStart = 0;
            if (result.bytes.size() == kMaxHciCommandBytes &&
                GetField(request, index + 1, separator, next, &nextStart).empty()) {
                result.error = "Maximum number of HCI commands reached: " +
                               std::to_string(kMaxHciCommandBytes);
                start = nextStart;
                end = static_cast<int32_t>(request.size());
                break;
            }
        }
    }
    if (!result.ok()) {
        result.bytes.clear();
        result.selectionStart = start;
        result.selectionLength = end > start ? end - start : 1;
    }
    return result;
}

std::string HciReplyText(const uint8_t* data, std::size_t length, int base) {
    std::string text;
    if (length > kMaxHciCommandBytes) length = kMaxHciCommandBytes;
    for (std::size_t i = 0; i < length; ++i)
        text += NumberToText(data[i], static_cast<int8_t>(base), 2, false) + " ";
    return text;
}

std::vector<HciCommandTab> ParseHciCommandsIni(const std::string& text) {
    return TabsOf(Detached(text));
}

std::vector<std::string> SequenceLines(const std::string& sequence) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < sequence.size()) {
        const std::size_t eol = sequence.find_first_of("\r\n", pos);
        if (eol == std::string::npos) {
            lines.push_back(sequence.substr(pos));
            break;
        }
        lines.push_back(sequence.substr(pos, eol - pos));
        pos = eol + 1;
        if (sequence[eol] == '\r' && pos < sequence.size() && sequence[pos] == '\n') ++pos;
    }
    return lines;
}

std::string HciCommandsIniText(const std::string& existing,
                               const std::vector<HciCommandTab>& tabs) {
    IniFile ini = Detached(existing);
    ini.RemoveSection(kHciCommandsSection);
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        ini.SetString(kHciCommandsSection, NameKey(i), tabs[i].name);
        const std::vector<std::string> lines = SequenceLines(tabs[i].sequence);
        for (std::size_t j = 0; j < lines.size(); ++j)
            ini.SetString(kHciCommandsSection, LineKey(i, j), lines[j]);
    }
    return ini.Serialize();
}

std::vector<HciCommandTab> LoadHciCommandsFile(const std::string& path) {
    return TabsOf(IniFile(path));
}

bool SaveHciCommandsFile(const std::string& path, const std::vector<HciCommandTab>& tabs,
                         std::string& error) {
    return AtomicWriteFile(path, HciCommandsIniText(FileText(path), tabs), error);
}

} // namespace ui
