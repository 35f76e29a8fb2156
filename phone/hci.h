#pragma once
// The chip's HCI command handling, as the Bluetooth Core Specification defines the
// packets: a command is opcode (little-endian), parameter length, parameters, optionally
// preceded by the H4 command indicator 0x01; the answer is one event packet without an
// indicator.

#include <cstdint>
#include <span>
#include <vector>

#include "phone/phonesim.h"

namespace phonesim {

constexpr uint16_t kHciReset = 0x0C03;
constexpr uint16_t kHciReadLocalVersion = 0x1001;
constexpr uint16_t kHciReadLocalFeatures = 0x1003;
constexpr uint16_t kHciReadBdAddr = 0x1009;
constexpr uint16_t kHciLeReceiverTest = 0x201D;
constexpr uint16_t kHciLeTransmitterTest = 0x201E;
constexpr uint16_t kHciLeTestEnd = 0x201F;
constexpr uint8_t kHciUnknownCommand = 0x01;
constexpr uint8_t kHciInvalidParameters = 0x12;

// The event the chip answers `command` with: Command Complete with the return parameters,
// status 0x01 "Unknown HCI Command" for an opcode it does not offer. HCI_Reset ends any
// test mode; the LE tests start and end the chip's LE test modes, LE_Test_End reporting
// the LE RX packet count.
std::vector<uint8_t> HciAnswer(ChipState& chip, std::span<const uint8_t> command);

} // namespace phonesim
