#pragma once
// The reference radio's own transmitter and receiver on the simulated air: the LE test
// modes a standard controller runs, timed by the clock, so that a test lasts as long as
// its driver waits between the start and the end.

#include <array>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "air/air.h"
#include "testersim/loss.h"

namespace refsim {

struct Options {
    double powerDbm = 0;                        // at the reference's antenna
    std::vector<testersim::LossPoint> pathLoss; // true loss to the phone; none is 0 dB
    double sensitivityDbm = -95;                // 30.8 % of packets lost there
    std::array<std::uint8_t, 6> bdaddr = {0x00, 0x00, 0x5E, 0x00, 0x53, 0x01}; // as written
    std::uint64_t seed = 1;
    // A command answered with an error status instead (--refuse): its opcode (0: none).
    std::uint16_t refuseOpcode = 0;
    std::uint8_t refuseStatus = 0x0C;
};

class Transceiver {
public:
    // `phone` may be null: nobody on the air.
    Transceiver(air::Radio* phone, const Options& options);

    bool Testing() const { return mode_ != Mode::Idle; }
    // `payload` as the air names it (PRBS9, 11110000, ...).
    void StartTransmitter(int channel, int length, const std::string& payload);
    void StartReceiver(int channel);
    // Brings the running test up to now: the packets sent so far reach the phone, the
    // phone's are counted. Called every ~50 ms while a test runs, the count follows a
    // phone that starts or stops sending in between; without it, only the start and the
    // end are looked at.
    void Tick();
    // Ends the test: the packets received (0 for a transmitter test or none at all).
    long long End();

private:
    using Clock = std::chrono::steady_clock;
    enum class Mode { Idle, Transmitter, Receiver };

    void Send(long long count);
    void Listen();

    air::Radio* phone_;
    Options options_;
    std::mt19937_64 random_;
    Mode mode_ = Mode::Idle;
    int channel_ = 0;
    Clock::time_point start_{}, last_{};
    // Transmitter
    air::Packets packets_;
    long long sent_ = 0;
    // Receiver: the phone's packet rate and level at the last look, and the packets
    // that went by since (a fraction carries over).
    double rateHz_ = 0, levelDbm_ = 0, owed_ = 0;
    long long received_ = 0;
};

} // namespace refsim
