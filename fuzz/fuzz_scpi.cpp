// The test set's SCPI parser over arbitrary lines: answers and queued errors, never a
// crash; each answer one line, no more answers than queries, and an error queue that
// empties within its ten entries.
#include <algorithm>
#include <cstdint>
#include <string>

#include "testersim/instrument.h"

namespace {

// A phone in LE transmit on channel 0, so that measurements find something to read.
struct SteadyPhone : air::Radio {
    air::Transmission Transmitting() override {
        air::Transmission t;
        t.mode = air::Transmission::Mode::Le;
        t.pattern = "10101010";
        t.deltaF1Khz = 250;
        t.f2f1Ratio = 0.9;
        return t;
    }
    int Receive(const air::Packets& packets) override { return packets.count; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SteadyPhone phone;
    testersim::Options options;
    options.realTime = false;
    testersim::Instrument instrument(phone, options);
    const std::string line(reinterpret_cast<const char*>(data), size);
    const auto answers = instrument.Execute(line);
    if (answers.size() > static_cast<std::size_t>(std::count(line.begin(), line.end(), '?')))
        __builtin_trap();
    for (const std::string& answer : answers)
        if (answer.empty() || answer.find('\n') != std::string::npos) __builtin_trap();
    std::string last;
    for (int i = 0; i < 11; ++i)
        last = instrument.Execute("SYST:ERR?").at(0);
    if (last != "0,\"No error\"") __builtin_trap();
    return 0;
}
