#pragma once
// SCPI as IEEE 488.2 writes it: commands of a line, program headers in short or long form,
// decimal numbers, and the error queue with the standard's numbers and texts.

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace testersim::scpi {

constexpr int kDataTypeError = -104;
constexpr int kParameterNotAllowed = -108;
constexpr int kMissingParameter = -109;
constexpr int kUndefinedHeader = -113;
constexpr int kSettingsConflict = -221;
constexpr int kDataOutOfRange = -222;
constexpr int kTooMuchData = -223;
constexpr int kIllegalParameterValue = -224;
constexpr int kDataStale = -230;
constexpr int kQueueOverflow = -350;

// Oldest error first; at most kCapacity, the last of them -350 once more arrived.
class ErrorQueue {
public:
    static constexpr std::size_t kCapacity = 10;
    // `info` follows the standard text after ';' (-221's reason, -230's "no signal").
    void Push(int code, std::string_view info = {});
    // `-113,"Undefined header"`, or `0,"No error"` when empty.
    std::string Pop();
    void Clear();
    // The standard event status register, cleared by reading.
    int TakeEventStatus();
    void OperationComplete() { status_ |= 1; }

private:
    std::deque<std::string> entries_;
    int status_ = 0;
};

// One command of a line: "CONF:LE:CHAN 5", "*IDN?", ":READ:LE:POW?".
struct Command {
    bool common = false;   // "*IDN?": one node, "*IDN"
    bool absolute = false; // starts at the root (":READ...")
    bool query = false;
    std::vector<std::string> nodes;  // upper case, as sent
    std::vector<std::string> params; // between commas, blanks trimmed
};

// The commands between the ';' of a line (a ';' inside quotes stays).
std::vector<std::string_view> SplitCommands(std::string_view line);

// 0, or the error to queue; an empty command gives no nodes.
int ParseCommand(std::string_view text, Command& command);

// Whether `nodes` name `pattern`, a header as the manuals write it: "SYSTem:ERRor:[NEXT]"
// (the capitals are the short form, brackets mark a node that may be left out).
bool MatchHeader(std::string_view pattern, const std::vector<std::string>& nodes);

// A decimal number in any form the standard allows ("19", "+19", "1.9E1", "1.9 e 1",
// ".5"). Too large a number reads as an infinity, to be refused as out of range.
bool ParseNumber(std::string_view text, double& value);

} // namespace testersim::scpi
