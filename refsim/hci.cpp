// HCI over UART with H4 packet indicators: the host sends command packets
// (0x01, opcode little-endian, parameter length, parameters), the controller answers each
// with one event packet (0x04, event code, parameter length, parameters).

#include <algorithm>
#include <iterator>

#include "refsim/controller.h"

namespace refsim {

namespace {

constexpr char kCommandPacket = 0x01;
constexpr char kEventPacket = 0x04;
constexpr char kCommandComplete = 0x0E;
constexpr char kCommandStatus = 0x0F;

constexpr std::uint8_t kSuccess = 0x00;
constexpr std::uint8_t kUnknownCommand = 0x01;
constexpr std::uint8_t kCommandDisallowed = 0x0C;
constexpr std::uint8_t kInvalidParameters = 0x12;

constexpr std::uint16_t kReset = 0x0C03;
constexpr std::uint16_t kReadLocalVersion = 0x1001;
constexpr std::uint16_t kReadBdAddr = 0x1009;
constexpr std::uint16_t kLeReceiverTest = 0x201D;
constexpr std::uint16_t kLeTransmitterTest = 0x201E;
constexpr std::uint16_t kLeTestEnd = 0x201F;

// Core version 5.3 for both HCI and LMP; the company identifier 0xFFFF is the one kept
// for tests, so the reference names no maker.
constexpr std::uint8_t kCoreVersion = 0x0C;
constexpr std::uint16_t kRevision = 0x0001;
constexpr std::uint16_t kCompany = 0xFFFF;
constexpr std::uint16_t kSubversion = 0x0001;

// Packet_Payload 0x00..0x07 as the air names the payloads.
constexpr const char* kPayloads[] = {"PRBS9",    "11110000", "10101010", "PRBS15",
                                     "11111111", "00000000", "00001111", "01010101"};

// Commands a controller acknowledges with Command Status (their result comes in a later
// event): when it does not know one of them, the Unknown HCI Command status comes the
// same way.
constexpr std::uint16_t kStatusAnswered[] = {
    0x0401, 0x0405, 0x0406, 0x0407, 0x0409, 0x040A, 0x040F, 0x0411, 0x0413, 0x0415, 0x0417, 0x0419,
    0x041B, 0x041C, 0x041D, 0x041F, 0x0428, 0x0429, 0x042A, 0x0801, 0x0803, 0x0804, 0x0807, 0x080B,
    0x0810, 0x200D, 0x2013, 0x2016, 0x2019, 0x2025, 0x2026, 0x2032, 0x2043, 0x2044};

// Opcode groups the standard defines (link control .. LE, and the vendor's): a 0x01
// followed by another group is taken for noise, not a command.
bool KnownGroup(std::uint8_t opcodeHigh) {
    const int group = opcodeHigh >> 2;
    return (group >= 0x01 && group <= 0x08) || group == 0x3F;
}

void Put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

std::string Event(char code, const std::string& parameters) {
    return std::string{kEventPacket, code, static_cast<char>(parameters.size())} + parameters;
}

// Return parameters start with the status.
std::string Complete(std::uint16_t opcode, std::uint8_t status, const std::string& rest = {}) {
    std::string parameters(1, 1); // Num_HCI_Command_Packets: one at a time
    Put16(parameters, opcode);
    parameters += static_cast<char>(status);
    return Event(kCommandComplete, parameters + rest);
}

// A failed command's return parameters still have their full size, so a host reading
// them at fixed places reads zeros rather than past the end.
std::string Failed(std::uint16_t opcode, std::uint8_t status, std::size_t returnSize) {
    return Complete(opcode, status, std::string(returnSize - 1, '\0'));
}

std::string Status(std::uint16_t opcode, std::uint8_t status) {
    std::string parameters{static_cast<char>(status), 1};
    Put16(parameters, opcode);
    return Event(kCommandStatus, parameters);
}

std::uint8_t Byte(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint8_t>(bytes[at]);
}

} // namespace

std::string HciController::Take() {
    std::string out;
    while (!in_.empty()) {
        if (in_[0] != kCommandPacket) {
            // Events, data packets (there is no connection to carry them) and noise.
            in_.erase(0, std::min(in_.find(kCommandPacket, 1), in_.size()));
            continue;
        }
        if (in_.size() >= 3 && !KnownGroup(Byte(in_, 2))) {
            in_.erase(0, 1);
            continue;
        }
        if (in_.size() < 4 || in_.size() < 4u + Byte(in_, 3)) break;
        const auto opcode = static_cast<std::uint16_t>(Byte(in_, 1) | Byte(in_, 2) << 8);
        const std::string parameters = in_.substr(4, Byte(in_, 3));
        in_.erase(0, 4 + parameters.size());
        out += Execute(opcode, parameters);
    }
    return out;
}

std::string HciController::Execute(std::uint16_t opcode, const std::string& p) {
    // A controller that refuses one command, as broken or mis-set ones do.
    if (opcode == refuseOpcode_)
        return Failed(opcode, refuseStatus_,
                      opcode == kReadLocalVersion ? 9
                      : opcode == kReadBdAddr     ? 7
                      : opcode == kLeTestEnd      ? 3
                                                  : 1);
    switch (opcode) {
    case kReset:
        if (!p.empty()) return Failed(opcode, kInvalidParameters, 1);
        radio_.End();
        return Complete(opcode, kSuccess);
    case kReadLocalVersion: {
        if (!p.empty()) return Failed(opcode, kInvalidParameters, 9);
        std::string version(1, static_cast<char>(kCoreVersion));
        Put16(version, kRevision);
        version += static_cast<char>(kCoreVersion);
        Put16(version, kCompany);
        Put16(version, kSubversion);
        return Complete(opcode, kSuccess, version);
    }
    case kReadBdAddr:
        if (!p.empty()) return Failed(opcode, kInvalidParameters, 7);
        return Complete(opcode, kSuccess, std::string(bdaddr_.rbegin(), bdaddr_.rend()));
    case kLeReceiverTest:
        if (p.size() != 1 || Byte(p, 0) > 39) return Failed(opcode, kInvalidParameters, 1);
        if (radio_.Testing()) return Failed(opcode, kCommandDisallowed, 1);
        radio_.StartReceiver(Byte(p, 0));
        return Complete(opcode, kSuccess);
    case kLeTransmitterTest:
        if (p.size() != 3 || Byte(p, 0) > 39 || Byte(p, 2) >= std::size(kPayloads))
            return Failed(opcode, kInvalidParameters, 1);
        if (radio_.Testing()) return Failed(opcode, kCommandDisallowed, 1);
        radio_.StartTransmitter(Byte(p, 0), Byte(p, 1), kPayloads[Byte(p, 2)]);
        return Complete(opcode, kSuccess);
    case kLeTestEnd: {
        if (!p.empty()) return Failed(opcode, kInvalidParameters, 3);
        if (!radio_.Testing()) return Failed(opcode, kCommandDisallowed, 3);
        std::string packets;
        Put16(packets, static_cast<std::uint16_t>(std::min(radio_.End(), 0xFFFFLL)));
        return Complete(opcode, kSuccess, packets);
    }
    default:
        if (std::find(std::begin(kStatusAnswered), std::end(kStatusAnswered), opcode) !=
            std::end(kStatusAnswered))
            return Status(opcode, kUnknownCommand);
        return Complete(opcode, kUnknownCommand);
    }
}

} // namespace refsim
