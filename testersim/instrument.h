#pragma once
// The simulated Bluetooth test set: an SCPI instrument (docs/tester.md) that measures the
// phone it reaches through the air and sends it LE test packets. One box: one state, one
// caller at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "air/air.h"
#include "testersim/loss.h"

namespace testersim {

struct Options {
    std::uint64_t seed = 1;          // the measurement noise
    std::vector<LossPoint> pathLoss; // the air's true loss; none is 0 dB
    std::string serial = "000001";   // *IDN?'s third field
    bool realTime = true;            // measurements and packets take their air time
};

class Instrument {
public:
    explicit Instrument(air::Radio& radio, Options options = {});
    // A test set with an RF switch: `ports` in the order of their numbers (ROUT:PORT 1 is
    // the first); the switch is on port 1 at power-up and after *RST.
    Instrument(std::vector<air::Radio*> ports, Options options);
    ~Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    // Runs one line of commands; returns one answer per query, in order (none after a
    // command error, which ends the line as IEEE 488.2 wants).
    std::vector<std::string> Execute(const std::string& line);

    // Ends any air time being waited for, now and from then on; callable from any thread,
    // for a program that is stopping.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace testersim
