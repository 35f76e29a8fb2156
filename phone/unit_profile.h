#pragma once
// A unit profile: how one simulated phone differs from the next. Each reading is a fixed
// value or a mean with a spread; the values of unit n are drawn from the profile's seed
// and n alone, so a run repeats exactly. The format is described in docs/plans.md.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "phone/phonesim.h"

namespace phonesim {

// A value drawn uniformly from [mean - spread, mean + spread] and rounded.
struct Spread {
    double mean = 0;
    double spread = 0;
};

struct UnitProfile {
    std::string name;
    uint64_t seed = 1;
    std::optional<bool> chipOn;
    // Bytes 1, 2 and 4 to 9 of the firmware version record (hardware and firmware
    // versions, build year - 2000, week, build, patch); unset bytes keep the chip's.
    std::array<std::optional<uint8_t>, 10> versionInfo;
    // Readings by name: tmeas_fused, vmeas_fused, rtrim_fused, kfreq_fused,
    // ibiasdac_fused, rssi, le_packet_loss_percent.
    std::map<std::string, Spread> readings;
    // Packets the simulated tester sends in an LE receive test.
    int leTesterPackets = 1500;
    // NVM values by parameter index: a spread, or the bytes of an array parameter.
    std::map<int, Spread> nvm;
    std::map<int, std::vector<uint8_t>> nvmBytes;
    // The radio by key (power_error_db, freq_offset_khz, ..., sensitivity_dbm); drawn from
    // a stream of their own, so that a radio leaves the other readings as they were.
    std::map<std::string, Spread> radio;
};

// Reads a profile; false with a message naming the file and the place on a bad one.
bool LoadUnitProfile(const std::string& path, UnitProfile& profile, std::string& error);
bool ParseUnitProfile(const std::string& json, const std::string& file, UnitProfile& profile,
                      std::string& error);

// Gives `chip` the values of unit number `unit` (0 for the first phone of a run).
void ApplyUnitProfile(const UnitProfile& profile, uint64_t unit, ChipState& chip);

} // namespace phonesim
