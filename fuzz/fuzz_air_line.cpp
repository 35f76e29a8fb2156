// The air's lines over arbitrary text, as the phone's server and the instrument's client
// read them: refused with a reason or read, and what is read writes back to itself.
#include <cstdint>
#include <string>

#include "air/air.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    std::string error;
    air::Transmission t;
    if (air::ParseTransmission(line, t, error)) {
        air::Transmission again;
        const std::string written = air::FormatTransmission(t);
        if (!air::ParseTransmission(written, again, error) ||
            air::FormatTransmission(again) != written)
            __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    air::Packets p;
    if (air::ParsePackets(line, p, error)) {
        air::Packets again;
        const std::string written = air::FormatPackets(p);
        if (!air::ParsePackets(written, again, error) || air::FormatPackets(again) != written)
            __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    return 0;
}
