// Direct Test Mode over its 2-wire UART. A command is 16 bits: CMD (bits 15-14), then
// frequency or control (13-8), length or parameter (7-2), packet type (1-0). An event is
// 16 bits: bit 15 clear for LE_Test_Status (bit 0 the error flag), set for
// LE_Packet_Report (bits 14-0 the packets received). Both go most significant byte first.

#include <algorithm>

#include "refsim/controller.h"

namespace refsim {

namespace {

constexpr int kTestSetup = 0; // control 0 parameter 0 is the reset
constexpr int kReceiverTest = 1;
constexpr int kTransmitterTest = 2;
constexpr int kTestEnd = 3;

constexpr int kReset = 0x00;
constexpr int kLengthHigh = 0x01; // the upper two bits of the payload length
constexpr int kPhy = 0x02;
constexpr int kPhy1M = 0x01;

constexpr std::uint16_t kStatusOk = 0x0000;
constexpr std::uint16_t kStatusError = 0x0001;
constexpr std::uint16_t kPacketReport = 0x8000;
constexpr long long kMaxReported = 0x7FFF;

// Packet type 0..3 on the uncoded PHY, as the air names the payloads.
constexpr const char* kPayloads[] = {"PRBS9", "11110000", "10101010", "11111111"};

} // namespace

std::string DtmController::Take() {
    std::string out;
    while (in_.size() >= 2) {
        const auto command = static_cast<std::uint16_t>(static_cast<std::uint8_t>(in_[0]) << 8 |
                                                        static_cast<std::uint8_t>(in_[1]));
        in_.erase(0, 2);
        const std::uint16_t event = Execute(command);
        out += static_cast<char>(event >> 8);
        out += static_cast<char>(event & 0xFF);
    }
    return out;
}

std::uint16_t DtmController::Execute(std::uint16_t command) {
    const int channel = (command >> 8) & 0x3F; // the control of a test setup
    const int length = (command >> 2) & 0x3F;  // the parameter of a test setup
    switch (command >> 14) {
    case kTestSetup:
        if (channel == kReset && length == 0) {
            radio_.End();
            lengthHigh_ = 0;
            return kStatusOk;
        }
        if (channel == kLengthHigh && length <= 3) {
            lengthHigh_ = length;
            return kStatusOk;
        }
        return channel == kPhy && length == kPhy1M ? kStatusOk : kStatusError;
    case kReceiverTest:
        if (channel > 39 || radio_.Testing()) return kStatusError;
        radio_.StartReceiver(channel);
        return kStatusOk;
    case kTransmitterTest:
        if (channel > 39 || radio_.Testing()) return kStatusError;
        radio_.StartTransmitter(channel, lengthHigh_ << 6 | length, kPayloads[command & 0x03]);
        return kStatusOk;
    case kTestEnd:
    default:
        return static_cast<std::uint16_t>(kPacketReport | std::min(radio_.End(), kMaxReported));
    }
}

} // namespace refsim
