#include "phone/hci.h"

#include <iterator>

#include "phone/chip_tables.h"
#include "phone/phone_radio.h"

namespace phonesim {
namespace {

std::vector<uint8_t> CommandComplete(uint16_t opcode, std::vector<uint8_t> returnParams) {
    const uint8_t header[] = {0x0E, static_cast<uint8_t>(3 + returnParams.size()), 0x01,
                              static_cast<uint8_t>(opcode & 0xFF),
                              static_cast<uint8_t>(opcode >> 8)};
    returnParams.insert(returnParams.begin(), std::begin(header), std::end(header));
    return returnParams;
}

std::vector<uint8_t> CommandStatus(uint8_t status, uint16_t opcode) {
    return {0x0F,
            0x04,
            status,
            0x01,
            static_cast<uint8_t>(opcode & 0xFF),
            static_cast<uint8_t>(opcode >> 8)};
}

} // namespace

std::vector<uint8_t> HciAnswer(ChipState& chip, std::span<const uint8_t> command) {
    if (command.size() >= 4 && command[0] == 0x01 && command[3] == command.size() - 4)
        command = command.subspan(1);
    uint16_t opcode = 0;
    if (command.size() >= 2) opcode = static_cast<uint16_t>(command[0] | (command[1] << 8));
    if (command.size() < 3 || command[2] != command.size() - 3)
        return CommandStatus(kHciInvalidParameters, opcode);

    switch (opcode) {
    case kHciReset:
        chip.mode = TestMode::None;
        return CommandComplete(opcode, {0x00});
    case kHciReadLocalVersion: {
        const auto lmp = static_cast<uint8_t>(chip.nvm[36][0]);
        // HCI version and revision follow the LMP version; manufacturer 0xFFFF is the
        // value reserved for tests.
        return CommandComplete(opcode, {0x00, lmp, 0x01, 0x00, lmp, 0xFF, 0xFF, 0x02, 0x00});
    }
    case kHciReadLocalFeatures: {
        std::vector<uint8_t> params = {0x00};
        for (int i = 0; i < 8; ++i)
            params.push_back(static_cast<uint8_t>(chip.nvm[3][i]));
        return CommandComplete(opcode, params);
    }
    case kHciReadBdAddr: {
        std::vector<uint8_t> params = {0x00};
        // BD_ADDR goes least significant byte first; the NVM holds it as written.
        for (int i = 5; i >= 0; --i)
            params.push_back(static_cast<uint8_t>(chip.nvm[0][i]));
        return CommandComplete(opcode, params);
    }
    case kHciLeReceiverTest:
    case kHciLeTransmitterTest: {
        // Channels 0..39 (2402 to 2480 MHz); the eight payload patterns 0..7.
        const bool rx = opcode == kHciLeReceiverTest;
        if (command.size() != (rx ? 4u : 6u) || command[3] > 39 || (!rx && command[5] > 7))
            return CommandComplete(opcode, {kHciInvalidParameters});
        // The transmitter test has no power of its own: the chip sends at its LE power level.
        TxSettings tx;
        if (!rx) {
            tx.length = command[4];
            tx.lePattern = command[5];
            tx.powerDbm = static_cast<int8_t>(
                chip.nvm[static_cast<std::size_t>(NvmParamIndex("le_pwr_level"))][0]);
        }
        StartTestMode(chip, rx ? TestMode::RxLe : TestMode::TxLe, command[3], tx);
        return CommandComplete(opcode, {0x00});
    }
    case kHciLeTestEnd: {
        // A transmitter test counts no packets.
        const uint16_t packets = chip.mode == TestMode::RxLe ? LeRxReport(chip) : 0;
        chip.mode = TestMode::None;
        return CommandComplete(opcode, {0x00, static_cast<uint8_t>(packets & 0xFF),
                                        static_cast<uint8_t>(packets >> 8)});
    }
    default:
        return CommandComplete(opcode, {kHciUnknownCommand});
    }
}

} // namespace phonesim
