// The typed HCI byte sequence in every base and separator, and the reply text of what it
// gives. Input: one byte choosing base and separator, then the text.
#include <cstdint>
#include <string>

#include "ui/hci_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int base = (data[0] & 1) ? 16 : 10;
    const char separator = (data[0] & 2) ? ',' : ' ';
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const ui::HciSequence seq = ui::ParseHciSequence(text, base, separator);
    if (seq.ok()) {
        // Accepted: fits one request, and the reply text lists every byte.
        if (seq.bytes.size() > ui::kMaxHciCommandBytes) __builtin_trap();
        const std::string reply = ui::HciReplyText(seq.bytes.data(), seq.bytes.size(), base);
        if (base == 16 && reply.size() != 3 * seq.bytes.size()) __builtin_trap();
    } else {
        // Refused: the selection starts inside the trimmed text (or at its end, marking one
        // character where nothing was typed) and does not reach past it.
        if (seq.selectionStart < 0 || seq.selectionLength < 1) __builtin_trap();
        const auto start = static_cast<std::size_t>(seq.selectionStart);
        const auto length = static_cast<std::size_t>(seq.selectionLength);
        if (start > seq.trimmed.size()) __builtin_trap();
        if (start + length > seq.trimmed.size() && length != 1) __builtin_trap();
    }
    return 0;
}
