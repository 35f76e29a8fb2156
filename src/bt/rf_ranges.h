#pragma once
// The ranges of the RF test settings, in one place for every front end that checks them:
// the form's controls and the arguments of a plan's steps.

namespace rf {

struct Range {
    int min;
    int max;
};

inline constexpr Range kBrChannel{0, 78};
inline constexpr Range kLeChannel{0, 39};
// Number of power control steps (EPC and LPC) and their size in dB. The highest EPC
// maximum power step is the number of steps - 1.
inline constexpr Range kPowerSteps{1, 16};
inline constexpr Range kPowerStepSize{2, 8};
// Power levels in dBm: GFSK (1 Mbit/s), the default BR and LE levels, and the EDR rates.
inline constexpr Range kPower1Mbps{-35, 10};
inline constexpr Range kPowerEdr{-35, 8};
inline constexpr Range kLeDataLength{0, 37};
inline constexpr Range kCoarsePower{0, 7};
inline constexpr Range kFinePower{0, 5};

} // namespace rf
