#pragma once
// The HCI command page without widgets: the typed byte sequence, the reply text and the
// stored command tabs of HCICommands.ini.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

// The most bytes one HCI command request carries.
constexpr std::size_t kMaxHciCommandBytes = 150;

// Outcome of reading a typed sequence.
struct HciSequence {
    std::string trimmed;        // the request text without leading and trailing blanks
    std::vector<uint8_t> bytes; // the request bytes when `error` is empty
    std::string error;          // the exact message of the warning dialog, else empty
    // The part of `trimmed` to select when there is an error (character positions).
    int32_t selectionStart = 0;
    int32_t selectionLength = 0;
    bool ok() const { return error.empty(); }
};

// Reads `text` as byte values in `base` (16 or 10) separated by `separator` (' ' or ',').
// Positions refer to `trimmed`, one per character of the 8-bit text.
HciSequence ParseHciSequence(const std::string& text, int base, char separator);

// Each of the first `length` bytes (at most kMaxHciCommandBytes) in `base` with width 2,
// each followed by a blank.
std::string HciReplyText(const uint8_t* data, std::size_t length, int base);

// One stored tab: its caption and its sequence, lines joined by CR LF.
struct HciCommandTab {
    std::string name;
    std::string sequence;
};

// The file's name in the settings folder and its one section.
extern const char* const kHciCommandsFileName;
extern const char* const kHciCommandsSection;

// The tabs stored in HCICommands.ini text, in key order, up to the first missing name.
// Entries with an empty name are returned as they are: the page skips them with a log line.
std::vector<HciCommandTab> ParseHciCommandsIni(const std::string& text);

// The lines a sequence is stored as: split at CR LF, LF or CR; a final line break adds no
// empty line; an empty sequence has no lines.
std::vector<std::string> SequenceLines(const std::string& sequence);

// The whole new file text: `existing` with its "HCI Commands" section replaced by `tabs`.
std::string HciCommandsIniText(const std::string& existing, const std::vector<HciCommandTab>& tabs);

// Reads the tabs of the file at `path` (a missing file holds none).
std::vector<HciCommandTab> LoadHciCommandsFile(const std::string& path);

// Rewrites the file at `path` once with `tabs`. On failure returns false with the reason
// in `error` and leaves the old file as it was.
bool SaveHciCommandsFile(const std::string& path, const std::vector<HciCommandTab>& tabs,
                         std::string& error);

} // namespace ui
