#pragma once
// The phone's radio: what its transmitter test modes put on the air, and how many LE test
// packets its receiver takes. Shared by both protocols and the HCI commands.

#include <cstdint>

#include "air/air.h"
#include "phone/phonesim.h"

namespace phonesim {

// Starts a test mode on `channel`: the transmitter takes `tx`, and the LE receiver counts
// the packets of the air from nought.
void StartTestMode(ChipState& chip, TestMode mode, uint8_t channel, const TxSettings& tx = {});

// What the end of an LE receiver test reports: the packets received over the air since it
// started, or, when none came, the count of the imaginary tester (leRxPackets).
uint16_t LeRxReport(const ChipState& chip);

air::Transmission Transmitting(const ChipState& chip);

// The packets of `packets` the receiver takes, counted towards the LE RX end.
int ReceivePackets(ChipState& chip, const air::Packets& packets);

} // namespace phonesim
