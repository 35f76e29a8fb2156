#include "air/air.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <system_error>
#include <vector>

namespace air {

namespace {

// Numbers leave in their shortest exact form and '.' whatever the locale, so a line read
// back gives the same value in every process.
std::string Number(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

bool ReadNumber(std::string_view text, double& value) {
    if (text.empty()) return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() &&
           std::isfinite(value);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Words of a line: key=value tokens between blanks.
std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Text that may stand in an error message: printable, short.
std::string Shown(std::string_view text) {
    std::string shown;
    for (const char c : text.substr(0, 40))
        shown += (c >= 0x20 && c < 0x7f) ? c : '?';
    if (text.size() > 40) shown += "...";
    return shown;
}

// One key of a line and where its value goes: a number (with the range a value must keep,
// whole numbers only when `whole`) or a text.
template <class Record> struct Field {
    const char* key;
    double Record::*number;
    int Record::*integer;
    std::string Record::*text;
    double low, high;
};

constexpr double kAny = 1e300;

using TxField = Field<Transmission>;
const TxField kTransmissionFields[] = {
    {"channel", nullptr, &Transmission::channel, nullptr, 0, 78},
    {"mhz", &Transmission::mhz, nullptr, nullptr, 0, 1e6},
    {"power_dbm", &Transmission::powerDbm, nullptr, nullptr, -kAny, kAny},
    {"pattern", nullptr, nullptr, &Transmission::pattern, 0, 0},
    {"length", nullptr, &Transmission::length, nullptr, 0, 65535},
    {"packet_type", nullptr, nullptr, &Transmission::packetType, 0, 0},
    {"interval_us", &Transmission::intervalUs, nullptr, nullptr, 0, 1e9},
    {"offset_khz", &Transmission::offsetKhz, nullptr, nullptr, -kAny, kAny},
    {"drift_khz", &Transmission::driftKhz, nullptr, nullptr, -kAny, kAny},
    {"initial_drift_khz", &Transmission::initialDriftKhz, nullptr, nullptr, -kAny, kAny},
    {"drift_rate_khz", &Transmission::driftRateKhz, nullptr, nullptr, -kAny, kAny},
    {"delta_f1_khz", &Transmission::deltaF1Khz, nullptr, nullptr, -kAny, kAny},
    {"f2_f1_ratio", &Transmission::f2f1Ratio, nullptr, nullptr, -kAny, kAny},
};

using PacketField = Field<Packets>;
const PacketField kPacketFields[] = {
    {"channel", nullptr, &Packets::channel, nullptr, 0, 39},
    {"level_dbm", &Packets::levelDbm, nullptr, nullptr, -kAny, kAny},
    {"count", nullptr, &Packets::count, nullptr, 0, 65535},
    {"length", nullptr, &Packets::length, nullptr, 0, 255},
    {"payload", nullptr, nullptr, &Packets::payload, 0, 0},
};

// A text is one word of the line: an empty one would leave "key=" behind, a blank or a
// control character would split the word or the line.
std::string TextValue(const std::string& text) {
    if (text.empty()) return "-";
    std::string word = text;
    for (char& c : word)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) c = '_';
    return word;
}

template <class Record, std::size_t N>
std::string FormatFields(const Record& record, const Field<Record> (&fields)[N]) {
    std::string line;
    for (const auto& field : fields) {
        line += line.empty() ? "" : " ";
        line += field.key;
        line += '=';
        if (field.number) line += Number(record.*field.number);
        if (field.integer) line += std::to_string(record.*field.integer);
        if (field.text) line += TextValue(record.*field.text);
    }
    return line;
}

// Takes one key=value word into `record`; false with the reason.
template <class Record, std::size_t N>
bool ReadField(std::string_view word, Record& record, const Field<Record> (&fields)[N],
               std::string& error) {
    const auto equals = word.find('=');
    const std::string_view key = word.substr(0, equals);
    for (const auto& field : fields) {
        if (equals == std::string_view::npos || key != field.key) continue;
        const std::string_view text = word.substr(equals + 1);
        if (field.text) {
            record.*field.text = std::string(text);
            return true;
        }
        double value = 0;
        if (!ReadNumber(text, value) || (field.integer && value != std::floor(value))) {
            error = "bad number '" + Shown(word) + "'";
            return false;
        }
        if (value < field.low || value > field.high) {
            error = "'" + Shown(word) + "' out of range";
            return false;
        }
        if (field.number) record.*field.number = value;
        if (field.integer) record.*field.integer = static_cast<int>(value);
        return true;
    }
    error = "unknown field '" + Shown(word) + "'";
    return false;
}

const Transmission::Mode kModes[] = {Transmission::Mode::None, Transmission::Mode::Le,
                                     Transmission::Mode::Br, Transmission::Mode::Carrier};

} // namespace

const char* ModeName(Transmission::Mode mode) {
    switch (mode) {
    case Transmission::Mode::Le:
        return "le";
    case Transmission::Mode::Br:
        return "br";
    case Transmission::Mode::Carrier:
        return "carrier";
    case Transmission::Mode::None:
        break;
    }
    return "none";
}

std::string FormatTransmission(const Transmission& t) {
    return std::string("mode=") + ModeName(t.mode) + " " + FormatFields(t, kTransmissionFields);
}

bool ParseTransmission(const std::string& line, Transmission& t, std::string& error) {
    Transmission parsed;
    bool haveMode = false;
    for (const std::string_view word : Words(line)) {
        if (word.substr(0, 5) == "mode=") {
            const std::string_view name = word.substr(5);
            haveMode = false;
            for (const auto mode : kModes)
                if (name == ModeName(mode)) parsed.mode = mode, haveMode = true;
            if (!haveMode) {
                error = "unknown mode '" + Shown(name) + "'";
                return false;
            }
        } else if (!ReadField(word, parsed, kTransmissionFields, error)) {
            return false;
        }
    }
    if (!haveMode) {
        error = "no mode in '" + Shown(line) + "'";
        return false;
    }
    t = parsed;
    return true;
}

std::string FormatPackets(const Packets& p) {
    return "PACKETS " + FormatFields(p, kPacketFields);
}

bool ParsePackets(const std::string& line, Packets& p, std::string& error) {
    const std::vector<std::string_view> words = Words(line);
    if (words.empty() || words[0] != "PACKETS") {
        error = "not a PACKETS request: '" + Shown(line) + "'";
        return false;
    }
    Packets parsed;
    for (std::size_t i = 1; i < words.size(); ++i)
        if (!ReadField(words[i], parsed, kPacketFields, error)) return false;
    p = parsed;
    return true;
}

} // namespace air
