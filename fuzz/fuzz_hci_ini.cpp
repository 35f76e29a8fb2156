// HCICommands.ini text as a file may hold it: the tabs read from it, and the file text a
// save of those same tabs writes, which must read back as the same tabs line by line (a
// lone CR inside a stored line is a line break and comes back as CR LF; blanks around a
// line are dropped), and which later saves leave exactly as it is.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/hci_commands.h"

namespace {

// Blanks around a stored line are not kept (the INI value is trimmed); inside a sequence
// they only separate bytes.
std::vector<std::string> Trimmed(std::vector<std::string> lines) {
    for (std::string& line : lines) {
        const auto first = line.find_first_not_of(" \t");
        const auto last = line.find_last_not_of(" \t");
        line = first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<ui::HciCommandTab> tabs = ui::ParseHciCommandsIni(text);
    // A line spelled like the file's end-of-lines marker ends its sequence when read back:
    // a limit of the file format, not checked here.
    for (const auto& tab : tabs)
        for (const std::string& line : ui::SequenceLines(tab.sequence))
            if (line.find("NO_HCI_CMD_DATA_SUB_LINES") != std::string::npos) return 0;
    const std::string saved = ui::HciCommandsIniText(text, tabs);
    const std::vector<ui::HciCommandTab> again = ui::ParseHciCommandsIni(saved);
    bool same = again.size() == tabs.size();
    for (std::size_t i = 0; same && i < tabs.size(); ++i)
        same = again[i].name == tabs[i].name && Trimmed(ui::SequenceLines(again[i].sequence)) ==
                                                    Trimmed(ui::SequenceLines(tabs[i].sequence));
    if (!same) __builtin_trap(); // the input replayed under a debugger shows which tab
    // Once the file has been through a save, further saves keep it byte for byte.
    const std::string savedAgain = ui::HciCommandsIniText(saved, again);
    if (ui::HciCommandsIniText(savedAgain, ui::ParseHciCommandsIni(savedAgain)) != savedAgain)
        __builtin_trap();
    return 0;
}
