#pragma once
// Loss between the phone and the instrument over frequency: the true path loss of the
// simulated air, and the fixture loss an instrument is told to add back. Both are points
// with straight lines between them; outside them the nearest point holds.

#include <string>
#include <vector>

namespace testersim {

struct LossPoint {
    double mhz = 0;
    double db = 0;
};

// The loss at `mhz`; 0 dB without any point. `points` need no order.
double LossAt(const std::vector<LossPoint>& points, double mhz);

// A fixture file: {"name": "fixture A", "points": [{"mhz": 2402, "loss_db": 1.1}, ...]}.
// Points lie in 2400..2484 MHz, 0..100 dB, one per frequency; other keys are ignored.
struct LossFile {
    std::string name;
    std::vector<LossPoint> points;
};

// False with "<where>: <what is wrong>" (`where` names the file in the message).
bool ParseLossFile(const std::string& text, const std::string& where, LossFile& file,
                   std::string& error);
bool LoadLossFile(const std::string& path, LossFile& file, std::string& error);

} // namespace testersim
