#include "testersim/measure.h"

#include <algorithm>

#include "testersim/scpi.h"

namespace testersim {

namespace {

constexpr double kLeSlotUs = 625;
// What one measurement scatters by: the instrument's own noise, not the phone's.
constexpr double kPowerSigmaDb = 0.05;
constexpr double kOffsetSigmaHz = 500;
constexpr double kDriftSigmaHz = 300;
constexpr double kDeviationSigmaHz = 500;
// The spread of the delta f2 max samples around their average, and the limits they are
// counted against: the Modulation Characteristics tests of the LE RF-PHY test suite
// (185 kHz) and of the BR/EDR RF test suite (115 kHz).
constexpr double kLeDf2SpreadHz = 8000, kLeDf2LimitHz = 185000;
constexpr double kBrDf2SpreadHz = 6000, kBrDf2LimitHz = 115000;
constexpr int kDf2SamplesPerPacket = 20;
constexpr int kDf2MaxSamples = 100000;

bool Either(const std::string& pattern, const char* a, const char* b) {
    return pattern == a || pattern == b;
}

double Df2Percent(double averageHz, const Setup& setup, std::mt19937_64& random) {
    const bool le = setup.system == System::Le;
    std::normal_distribution<double> sample(averageHz, le ? kLeDf2SpreadHz : kBrDf2SpreadHz);
    const double limit = le ? kLeDf2LimitHz : kBrDf2LimitHz;
    const int samples = std::min(setup.packets * kDf2SamplesPerPacket, kDf2MaxSamples);
    int passing = 0;
    for (int i = 0; i < samples; ++i)
        passing += sample(random) >= limit ? 1 : 0;
    return 100.0 * passing / samples;
}

} // namespace

double ChannelMhz(System system, int channel) {
    return 2402.0 + (system == System::Le ? 2 * channel : channel);
}

double AirTimeUs(System system, const std::string& packetType, int packets) {
    double slots = 1; // LE: one packet per 625 us
    if (system == System::Br) slots = packetType == "DH5" ? 6 : packetType == "DH3" ? 4 : 2;
    return slots * kLeSlotUs * packets;
}

std::size_t FieldCount(System system, Quantity quantity) {
    switch (quantity) {
    case Quantity::Power:
    case Quantity::Df2:
        return 2;
    case Quantity::Frequency:
        return system == System::Le ? 4 : 3;
    case Quantity::Df1:
        break;
    }
    return 1;
}

Reading Measure(const air::Transmission& t, const Setup& setup, std::mt19937_64& random) {
    const bool le = setup.system == System::Le;
    if (t.mode != (le ? air::Transmission::Mode::Le : air::Transmission::Mode::Br) ||
        t.channel != setup.channel)
        return {{}, scpi::kDataStale, "no signal"};
    if (!le && t.packetType != setup.packetType)
        return {{},
                scpi::kSettingsConflict,
                "packet type " + t.packetType + ", " + setup.packetType + " expected"};
    const bool alternating = Either(t.pattern, "10101010", "01010101");
    const bool fourOnes = Either(t.pattern, "11110000", "00001111");
    if ((setup.quantity == Quantity::Frequency || setup.quantity == Quantity::Df2) && !alternating)
        return {
            {}, scpi::kSettingsConflict, "payload " + t.pattern + ", needs 10101010 or 01010101"};
    if (setup.quantity == Quantity::Df1 && !fourOnes)
        return {
            {}, scpi::kSettingsConflict, "payload " + t.pattern + ", needs 11110000 or 00001111"};

    std::normal_distribution<double> gauss(0, 1);
    const auto hz = [&](double khz, double sigma) { return khz * 1000 + sigma * gauss(random); };
    switch (setup.quantity) {
    case Quantity::Power: {
        const double average =
            t.powerDbm - setup.pathLossDb + setup.fixtureLossDb + kPowerSigmaDb * gauss(random);
        std::uniform_real_distribution<double> crest(0.2, 0.6);
        return {{average, average + crest(random)}};
    }
    case Quantity::Frequency:
        if (!le)
            return {{hz(t.offsetKhz, kOffsetSigmaHz), hz(t.driftKhz, kDriftSigmaHz),
                     hz(t.driftRateKhz, kDriftSigmaHz)}};
        return {{hz(t.offsetKhz, kOffsetSigmaHz), hz(t.driftKhz, kDriftSigmaHz),
                 hz(t.initialDriftKhz, kDriftSigmaHz), hz(t.driftRateKhz, kDriftSigmaHz)}};
    case Quantity::Df1:
        return {{hz(t.deltaF1Khz, kDeviationSigmaHz)}};
    case Quantity::Df2: {
        const double average = hz(t.deltaF1Khz * t.f2f1Ratio, kDeviationSigmaHz);
        return {{average, Df2Percent(average, setup, random)}};
    }
    }
    return {};
}

} // namespace testersim
