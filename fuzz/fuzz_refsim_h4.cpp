// The reference radio's two line readers over arbitrary bytes, as a driver's noise reaches
// them: HCI answers only whole Command Complete or Command Status events, and after the
// pauses that drop what is unfinished nothing is left waiting; Direct Test Mode answers
// every two bytes with two.
#include <cstdint>
#include <string>

#include "refsim/controller.h"

namespace {

// Every event whole: 0x04, Command Complete (one command allowed, at least the opcode
// and a status) or Command Status (four bytes, one command allowed).
bool WholeEvents(const std::string& out) {
    std::size_t at = 0;
    while (at < out.size()) {
        if (at + 3 > out.size() || out[at] != 0x04) return false;
        const auto code = static_cast<unsigned char>(out[at + 1]);
        const auto size = static_cast<unsigned char>(out[at + 2]);
        if (at + 3 + size > out.size()) return false;
        if (code == 0x0E && (size < 4 || out[at + 3] != 1)) return false;
        if (code == 0x0F && (size != 4 || out[at + 4] != 1)) return false;
        if (code != 0x0E && code != 0x0F) return false;
        at += 3 + size;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const refsim::Options options;
    refsim::HciController hci(nullptr, options);
    const std::size_t half = size / 2;
    std::string out = hci.Feed(data, half);
    out += hci.Feed(data + half, size - half);
    for (std::size_t pauses = 0; hci.Pending(); ++pauses) {
        if (pauses > size) __builtin_trap();
        out += hci.LineIdle();
    }
    if (!WholeEvents(out)) __builtin_trap();

    refsim::DtmController dtm(nullptr, options);
    std::string events = dtm.Feed(data, size);
    if (events.size() != size / 2 * 2) __builtin_trap();
    if (dtm.Pending() && (dtm.LineIdle().size() != 0 || dtm.Pending())) __builtin_trap();
    return 0;
}
