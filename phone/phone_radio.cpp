#include "phone/phone_radio.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <string>

#include "phone/chip_tables.h"

namespace phonesim {
namespace {

// The LE test payloads by the number the LE transmitter test is given.
constexpr const char* kLePatterns[] = {"PRBS9",    "11110000", "10101010", "PRBS15",
                                       "11111111", "00000000", "00001111", "01010101"};

struct BrPacket {
    const char* name;
    int slots;   // the slots one packet occupies; the phone answers in the next one
    int payload; // the most payload bytes it carries
};

// The BR/EDR packet types by the number the burst mode is given.
constexpr BrPacket kBrPackets[] = {{"DH1", 1, 27},   {"DH3", 3, 183},   {"DH5", 5, 339},
                                   {"2-DH1", 1, 54}, {"2-DH3", 3, 367}, {"2-DH5", 5, 679},
                                   {"3-DH1", 1, 83}, {"3-DH3", 3, 552}, {"3-DH5", 5, 1021}};

constexpr double kSlotUs = 625;

// A fixed byte is named by its bits, most significant first.
std::string BrPattern(const TxSettings& tx) {
    if (tx.patternKind != 0) return "PRBS9";
    std::string bits;
    for (int bit = 7; bit >= 0; --bit)
        bits += (tx.patternByte >> bit) & 1 ? '1' : '0';
    return bits;
}

double Nvm(const ChipState& chip, std::string_view name) {
    return static_cast<double>(chip.nvm[static_cast<std::size_t>(NvmParamIndex(name))][0]);
}

// The share of LE test packets lost at `levelDbm`: 30.8 % (a bit error rate of 0.1 % on a
// 37-byte payload) at the sensitivity, falling steeply above it.
double LossProbability(double levelDbm, double sensitivityDbm) {
    return 1.0 / (1.0 + std::exp(2.0 * (levelDbm - sensitivityDbm) + 0.8095));
}

// SplitMix64: one 64-bit word of state, cheap to copy with the chip, the same on every
// platform.
double NextUniform(uint64_t& state) {
    state += 0x9E3779B97F4A7C15ULL;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
}

} // namespace

void StartTestMode(ChipState& chip, TestMode mode, uint8_t channel, const TxSettings& tx) {
    chip.mode = mode;
    chip.channel = channel;
    chip.tx = tx;
    chip.airPacketsCame = false;
    chip.airPacketsReceived = 0;
}

uint16_t LeRxReport(const ChipState& chip) {
    if (!chip.airPacketsCame) return chip.leRxPackets;
    return static_cast<uint16_t>(std::min<uint32_t>(chip.airPacketsReceived, 0xFFFF));
}

air::Transmission Transmitting(const ChipState& chip) {
    using Mode = air::Transmission::Mode;
    const RadioTraits& r = chip.radio;
    air::Transmission t;
    t.offsetKhz = r.offsetKhz;
    t.driftKhz = r.driftKhz;
    t.initialDriftKhz = r.initialDriftKhz;
    t.driftRateKhz = r.driftRateKhz;
    t.f2f1Ratio = r.f2f1Ratio;
    t.deltaF1Khz = r.brDeltaF1Khz;
    t.pattern = "-";
    t.packetType = "-";
    t.channel = chip.channel;
    t.mhz = 2402.0 + chip.channel;
    // The BR power level is the chip's full power; each power step is one EPC step below.
    t.powerDbm = Nvm(chip, "br_pwr_level") - chip.tx.powerStep * Nvm(chip, "epc_pwrctrl_stepsize") +
                 r.powerErrorDb;
    switch (chip.mode) {
    case TestMode::TxLe:
        t.mode = Mode::Le;
        t.mhz = 2402.0 + 2.0 * chip.channel;
        t.powerDbm = chip.tx.powerDbm + r.powerErrorDb;
        t.deltaF1Khz = r.leDeltaF1Khz;
        t.length = chip.tx.length;
        if (chip.tx.lePattern < std::size(kLePatterns)) t.pattern = kLePatterns[chip.tx.lePattern];
        t.intervalUs = kSlotUs;
        return t;
    case TestMode::TxBurst:
        t.mode = Mode::Br;
        t.pattern = BrPattern(chip.tx);
        t.intervalUs = 2 * kSlotUs;
        if (chip.tx.packetType < std::size(kBrPackets)) {
            const BrPacket& p = kBrPackets[chip.tx.packetType];
            t.packetType = p.name;
            t.length = p.payload;
            t.intervalUs = (p.slots + 1) * kSlotUs;
        }
        return t;
    case TestMode::TxContinuous:
        t.mode = Mode::Carrier;
        t.pattern = BrPattern(chip.tx);
        return t;
    default: {
        air::Transmission silent;
        silent.pattern = silent.packetType = "-";
        return silent;
    }
    }
}

int ReceivePackets(ChipState& chip, const air::Packets& packets) {
    if (chip.mode != TestMode::RxLe || packets.channel != chip.channel || packets.count <= 0)
        return 0;
    const double lost = LossProbability(packets.levelDbm, chip.radio.sensitivityDbm);
    int received = 0;
    for (int i = 0; i < packets.count; ++i)
        if (NextUniform(chip.radio.receiverRandom) >= lost) ++received;
    chip.airPacketsCame = true;
    chip.airPacketsReceived = static_cast<uint32_t>(
        std::min<uint64_t>(uint64_t{chip.airPacketsReceived} + static_cast<uint64_t>(received),
                           std::numeric_limits<uint32_t>::max()));
    return received;
}

air::Transmission Simulator::AirSide::Transmitting() {
    const std::lock_guard lock(sim_.mutex_);
    return phonesim::Transmitting(sim_.chip_);
}

int Simulator::AirSide::Receive(const air::Packets& packets) {
    const std::lock_guard lock(sim_.mutex_);
    return ReceivePackets(sim_.chip_, packets);
}

} // namespace phonesim
