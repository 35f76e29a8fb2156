#include "ui/rules.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace ui {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<int64_t> ReadDecimalNumber(const std::string& text) {
    std::string body = Trimmed(text);
    bool negative = false;
    if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
        negative = body[0] == '-';
        body.erase(0, 1);
    }
    // Mantissa digits with one optional point, then an optional exponent.
    std::size_t i = 0;
    int digits = 0;
    while (i < body.size() && IsDigit(body[i]))
        ++i, ++digits;
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && IsDigit(body[i]))
            ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
        int expDigits = 0;
        while (i < body.size() && IsDigit(body[i]))
            ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != body.size()) return std::nullopt;

    double value = 0;
    const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (end != body.data() + body.size()) return std::nullopt;
    if (error == std::errc::result_out_of_range && std::fabs(value) < 1)
        value = 0;
    else if (error == std::errc::result_out_of_range)
        value = std::numeric_limits<double>::infinity();
    value = std::trunc(value);
    if (negative) value = -value;
    constexpr double kHigh = 9.2e18;
    if (value >= kHigh) return std::numeric_limits<int64_t>::max();
    if (value <= -kHigh) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

std::optional<int32_t> ReadWholeNumber(const std::string& text) {
    std::string body = Trimmed(text);
    bool negative = false;
    if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
        negative = body[0] == '-';
        body.erase(0, 1);
    }
    if (body.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : body) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

std::string NotAnIntegerMessage(const std::string& text) {
    return "'" + text + "' is not a valid integer value";
}

Checked CheckNumber(const std::string& text, const std::string& name, int64_t minimum,
                    int64_t maximum) {
    Checked result;
    const std::optional<int64_t> number = ReadDecimalNumber(text);
    if (!number) {
        result.message = "\n " + name + ": Please enter a valid value\n";
    } else if (*number > maximum) {
        result.message = "\n" + name + " above maximum (" + std::to_string(maximum) + ")\n";
    } else if (*number < minimum) {
        result.message = "\n" + name + " below minimum (" + std::to_string(minimum) + ")\n";
    } else {
        result.value = *number;
    }
    return result;
}

std::string SelectionMessage(int index, const std::string& name) {
    return index < 0 ? "\n" + name + ": Please make a valid selection\n" : std::string();
}

std::string PatternMessage(int index, bool listEnabled) {
    if (index >= 0 || !listEnabled) return {};
    return "\nData, Pattern selection: Please select a pattern\n";
}

std::string IntervalMessage(int index) {
    return index < 0 ? "\nData, Tx Interval: No interval is selected\n" : std::string();
}

uint8_t CappedInterval(int64_t itemValue) {
    if (itemValue > 254) return 254;
    if (itemValue < 0) return 0;
    return static_cast<uint8_t>(itemValue);
}

uint32_t ReadHexLeading(const std::string& text) {
    if (text.empty() || text.size() > 8) return 0;
    uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) break;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

std::optional<uint8_t> AddressByte(const std::string& text, bool useHex) {
    if (useHex) return static_cast<uint8_t>(ReadHexLeading(text) & 0xFF);
    const std::optional<int32_t> number = ReadWholeNumber(text);
    if (!number) return std::nullopt;
    return static_cast<uint8_t>(static_cast<uint32_t>(*number) & 0xFF);
}

PatternPair PatternBytes(uint32_t pattern) {
    static constexpr PatternPair kPairs[BT_BR_PATTERN_COUNT] = {
        {0, 0x00}, {0, 0x33}, {0, 0x55}, {0, 0x0F}, {0, 0xFF}, {1, 0x00},
    };
    if (pattern >= BT_BR_PATTERN_COUNT) return {0, 0};
    return kPairs[pattern];
}

const uint8_t kDefaultAfhMap[10] = {0xF7, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

std::string ChannelFrequencyText(int64_t channel, int step) {
    return std::to_string(channel * step + 2402) + " Mhz";
}

int CoarsePowerDb(int position) {
    return position * 6 - 42;
}

int FinePowerDb(int position) {
    return position - 5;
}

Checked CheckManualValue(const std::string& text, bool useManual, bool useHex, uint32_t maximum) {
    Checked result;
    if (!useManual) return result;
    // Digits of the base only: a sign can never make a register value.
    const int base = useHex ? 16 : 10;
    bool valid = !text.empty();
    for (char c : text) {
        if (useHex ? HexDigit(c) < 0 : !IsDigit(c)) valid = false;
    }
    if (!valid) {
        result.message = "Please enter a valid value\n";
        return result;
    }
    uint64_t number = 0;
    for (char c : text) {
        number = number * static_cast<uint64_t>(base) + static_cast<uint64_t>(HexDigit(c));
        if (number > maximum) break;
    }
    if (number > maximum) {
        result.message = "Value above maximum (" + std::to_string(maximum) + ")\n";
        return result;
    }
    result.value = static_cast<int64_t>(number);
    return result;
}

int8_t TrimmingHexWidth(uint32_t value) {
    return value > 0xFF ? 3 : 2;
}

std::string InterfaceSelectionMessages(int pcm, int uart, int wakeup) {
    std::string message;
    if (pcm < 0) message += "\nPCM Interface: Please select connnection type\n";
    if (uart < 0) message += "\nUART Interface: Please select connection type\n";
    if (wakeup < 0) message += "\nWake-up signal interface: Please select connection type\n";
    return message;
}

void RssiRequestBytes(int32_t handle, uint8_t out[2]) {
    out[0] = static_cast<uint8_t>(handle & 0x0F);
    out[1] = static_cast<uint8_t>((handle & 0xF0) >> 4);
}

std::string BuildText(uint8_t year, uint8_t week, uint8_t build) {
    return "Year: " + std::to_string(year + 2000) + " CW: " + std::to_string(week) +
           " Build: " + std::to_string(build);
}

uint16_t OpcodeOfFunction(T_ATCTST_BT_FUNCTION function) {
    return function < ATCTST_BT_FUNCTION_COUNT ? kOpcodeOfFunction[function] : NONE;
}

} // namespace ui
