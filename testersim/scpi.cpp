#include "testersim/scpi.h"

#include <cctype>
#include <charconv>
#include <limits>
#include <system_error>

namespace testersim::scpi {

namespace {

struct Standard {
    int code;
    const char* text;
};

const Standard kErrors[] = {
    {kDataTypeError, "Data type error"},      {kParameterNotAllowed, "Parameter not allowed"},
    {kMissingParameter, "Missing parameter"}, {kUndefinedHeader, "Undefined header"},
    {kSettingsConflict, "Settings conflict"}, {kDataOutOfRange, "Data out of range"},
    {kTooMuchData, "Too much data"},          {kIllegalParameterValue, "Illegal parameter value"},
    {kDataStale, "Data corrupt or stale"},    {kQueueOverflow, "Queue overflow"},
};

std::string Entry(int code, std::string_view info) {
    std::string text = "Error";
    for (const Standard& e : kErrors)
        if (e.code == code) text = e.text;
    if (!info.empty()) {
        text += ';';
        // The reason may carry what the phone sent; it must not end the quoted string.
        for (const char c : info.substr(0, 100))
            text += (c >= 0x20 && c < 0x7f && c != '"') ? c : '?';
    }
    return std::to_string(code) + ",\"" + text + "\"";
}

// The event status bit of an error class: command, execution, device-dependent, query.
int EventBit(int code) {
    if (code <= -100 && code > -200) return 1 << 5;
    if (code <= -200 && code > -300) return 1 << 4;
    if (code <= -300 && code > -400) return 1 << 3;
    if (code <= -400 && code > -500) return 1 << 2;
    return 0;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// Splits at `separator` outside quotes.
std::vector<std::string_view> SplitOutsideQuotes(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    char quote = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == separator) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

bool IsMnemonic(std::string_view text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
    for (const char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

// "CHANnel" is "CHAN" or "CHANNEL".
bool MatchNode(std::string_view pattern, const std::string& node) {
    std::string shortForm;
    for (const char c : pattern)
        if (!std::islower(static_cast<unsigned char>(c))) shortForm += c;
    return node == shortForm || node == Upper(pattern);
}

bool MatchFrom(const std::vector<std::string_view>& pattern, std::size_t p,
               const std::vector<std::string>& nodes, std::size_t n) {
    if (p == pattern.size()) return n == nodes.size();
    std::string_view node = pattern[p];
    const bool optional = node.size() > 2 && node.front() == '[' && node.back() == ']';
    if (optional) node = node.substr(1, node.size() - 2);
    if (n < nodes.size() && MatchNode(node, nodes[n]) && MatchFrom(pattern, p + 1, nodes, n + 1))
        return true;
    return optional && MatchFrom(pattern, p + 1, nodes, n);
}

std::size_t SkipDigits(std::string_view text, std::size_t i) {
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i;
    return i;
}

} // namespace

void ErrorQueue::Push(int code, std::string_view info) {
    status_ |= EventBit(code);
    if (entries_.size() < kCapacity)
        entries_.push_back(Entry(code, info));
    else
        entries_.back() = Entry(kQueueOverflow, {});
}

std::string ErrorQueue::Pop() {
    if (entries_.empty()) return "0,\"No error\"";
    std::string entry = entries_.front();
    entries_.pop_front();
    return entry;
}

void ErrorQueue::Clear() {
    entries_.clear();
    status_ = 0;
}

int ErrorQueue::TakeEventStatus() {
    const int status = status_;
    status_ = 0;
    return status;
}

std::vector<std::string_view> SplitCommands(std::string_view line) {
    return SplitOutsideQuotes(line, ';');
}

int ParseCommand(std::string_view text, Command& command) {
    command = Command{};
    text = Trim(text);
    if (text.empty()) return 0;
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end]))
        ++end;
    std::string_view header = text.substr(0, end);
    const std::string_view rest = Trim(text.substr(end));

    if (!header.empty() && header.back() == '?') {
        command.query = true;
        header.remove_suffix(1);
    }
    if (!header.empty() && header.front() == '*') {
        command.common = true;
        if (!IsMnemonic(header.substr(1))) return kUndefinedHeader;
        command.nodes.push_back(Upper(header));
    } else {
        if (!header.empty() && header.front() == ':') {
            command.absolute = true;
            header.remove_prefix(1);
        }
        for (const std::string_view node : SplitOutsideQuotes(header, ':')) {
            if (!IsMnemonic(node)) return kUndefinedHeader;
            command.nodes.push_back(Upper(node));
        }
    }
    if (rest.empty()) return 0;
    for (const std::string_view param : SplitOutsideQuotes(rest, ',')) {
        const std::string_view trimmed = Trim(param);
        if (trimmed.empty()) return kMissingParameter;
        command.params.emplace_back(trimmed);
    }
    return 0;
}

bool MatchHeader(std::string_view pattern, const std::vector<std::string>& nodes) {
    return MatchFrom(SplitOutsideQuotes(pattern, ':'), 0, nodes, 0);
}

bool ParseNumber(std::string_view text, double& value) {
    std::string plain; // sign, mantissa, exponent, as from_chars reads them
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') plain += '-';
        ++i;
    }
    const std::size_t wholeEnd = SkipDigits(text, i);
    std::size_t end = wholeEnd;
    if (end < text.size() && text[end] == '.') end = SkipDigits(text, end + 1);
    if (end - i - (end > wholeEnd ? 1 : 0) == 0) return false; // no digit at all
    plain += text.substr(i, end - i);
    i = end;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        plain += 'e';
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            plain += text[i++];
        }
        const std::size_t digits = SkipDigits(text, i);
        if (digits == i) return false;
        plain += text.substr(i, digits - i);
        i = digits;
    }
    if (i != text.size()) return false;
    const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        const double huge = std::numeric_limits<double>::infinity();
        value = negativeExponent ? 0 : (plain.front() == '-' ? -huge : huge);
        return true;
    }
    return result.ec == std::errc() && result.ptr == plain.data() + plain.size();
}

} // namespace testersim::scpi
