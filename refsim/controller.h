#pragma once
// The simulated reference radio: a standard Bluetooth controller as a low-cost tester,
// driven over a line by the commands every controller has, either HCI with H4 packet
// indicators or the 2-wire UART of Direct Test Mode (docs/tester.md, "refsim"). Pure byte
// handling with its own codec; it shares nothing with the driver it checks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "air/air.h"
#include "refsim/transceiver.h"

namespace refsim {

// A message whose bytes stop for this long is dropped (LineIdle).
constexpr int kIdleMs = 200;

class Controller {
public:
    Controller(air::Radio* phone, const Options& options) : radio_(phone, options) {}
    virtual ~Controller() = default;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Bytes from the line; the bytes to answer (empty when nothing is to be sent).
    std::string Feed(const std::uint8_t* data, std::size_t size) {
        in_.append(reinterpret_cast<const char*>(data), size);
        return Take();
    }
    // The line has been quiet for kIdleMs: the unfinished message loses its first byte and
    // the rest is read again, so a stray byte that looked like a start costs one pause.
    std::string LineIdle() {
        if (in_.empty()) return {};
        in_.erase(0, 1);
        return Take();
    }
    // Whether bytes of an unfinished message are waiting.
    bool Pending() const { return !in_.empty(); }
    // Whether a test runs; then Tick() every ~50 ms keeps the air up to date.
    bool Testing() const { return radio_.Testing(); }
    void Tick() { radio_.Tick(); }

protected:
    // Answers every whole message at the front of in_, leaving an unfinished one.
    virtual std::string Take() = 0;

    std::string in_;
    Transceiver radio_;
};

// HCI over UART: 0x01 commands in, 0x04 events out.
class HciController : public Controller {
public:
    HciController(air::Radio* phone, const Options& options)
        : Controller(phone, options), bdaddr_(options.bdaddr), refuseOpcode_(options.refuseOpcode),
          refuseStatus_(options.refuseStatus) {}

private:
    std::string Take() override;
    std::string Execute(std::uint16_t opcode, const std::string& parameters);

    std::array<std::uint8_t, 6> bdaddr_;
    std::uint16_t refuseOpcode_;
    std::uint8_t refuseStatus_;
};

// Direct Test Mode over its 2-wire UART: 16-bit commands and events, most significant
// byte first.
class DtmController : public Controller {
public:
    using Controller::Controller;

private:
    std::string Take() override;
    std::uint16_t Execute(std::uint16_t command);

    int lengthHigh_ = 0; // the upper two bits of the transmitter's payload length
};

} // namespace refsim
