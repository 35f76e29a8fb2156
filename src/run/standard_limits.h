#pragma once
// The limits of the Bluetooth RF test standards (RF-PHY for LE, RF for BR) for the radio
// measurements, each with the test it comes from. A plan may be tighter (the line's
// business) but not looser, unless the measurement carries a waiver saying why.

#include <QString>
#include <optional>
#include <vector>

#include "run/plan.h"

namespace run {

struct StandardLimit {
    const char* operation; // the plan operation whose measurement it limits
    const char* measurement;
    std::optional<double> min, max;
    const char* units;
    const char* test;      // "RF-PHY/TRM/BV-01-C Output power"
    const char* condition; // the packet types it applies to ("DH3 DH5"), "" for all
};

// The whole table, for the documentation and the checks.
const std::vector<StandardLimit>& StandardLimits();

// Checks a planned measurement of `step` against the standard: false with the message
// ("max 35 is looser than the standard's 30.8 % (RF-PHY/RCV/BV-01-C Receiver
// sensitivity); ...") when its limits are looser and it carries no waiver.
bool CheckStandardLimits(const Step& step, const PlannedMeasurement& m, QString& error);
// The same for the step's test condition (a sensitivity test at -70 dBm or below, over
// 1500 packets or more).
bool CheckStandardCondition(const Step& step, QString& error);

// What the standard asks beyond the plan's validator once the readings are in: a peak at
// most 3 dB above the average, a packet error rate below (not at) 30.8 %. The reason of a
// failure, or empty.
QString StandardFailure(const Step& step, const PlannedMeasurement& m, const Readings& readings);

} // namespace run
