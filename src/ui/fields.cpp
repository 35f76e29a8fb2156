#include "ui/fields.h"

#include "bt/rf_ranges.h"

namespace ui {

namespace {
using enum Limit;
} // namespace

const std::array<SpinField, spin::Count> kSpins = {{
    {"lbl_TxChannel", "TX Channel", "ed_TXChannel", "0", 2, "ud_TxChannelUpDown", rf::kBrChannel.min, rf::kBrChannel.max,
     "lbl_TxChannelMhz", "2402 Mhz", "Tx Channel value", TxChannelMax},
    {"lbl_RxChannel", "RX Channel", "ed_RXChannel", "0", 2, "ud_RxChannelUpDown", rf::kBrChannel.min, rf::kBrChannel.max,
     "lbl_RxChannelMhz", "2402 Mhz", "Rx Channel value", Spinner},
    {"lbl_BRSubStates", "Default power level", "ed_BRSubStates", "10", 3, "ud_BRSubStatesUpDown",
     rf::kPower1Mbps.min, rf::kPower1Mbps.max, "lbl_BRSubStatesdB", " dBm", "BR sub state. Default power level", Spinner},
    {"lbl_LE", "Default power level", "ed_LE", "10", 0, "ud_LEUpDown", rf::kPower1Mbps.min, rf::kPower1Mbps.max, "lbl_LEdB", " dBm",
     "LE. Default power level", Spinner},
    {"lbl_EPCOneMbitS", "Maximum power level", "ed_EPCMaxPwrLvlOneMbitS", "10", 0,
     "ud_EPCPwrLvlOneMbitSUpDown", rf::kPower1Mbps.min, rf::kPower1Mbps.max, "lbl_EPCOneMbitSdB", " dBm",
     "EPC GFSK (1 Mbit/s) max. power level", Spinner},
    {"lbl_EPCMaxPwrStepOneMbitS", "Maximum power step", "ed_EPCMaxPwrStepOneMbitS", "7", 0,
     "ud_EPCPwrStepOneMbitSUpDown", 0, rf::kPowerSteps.max, nullptr, nullptr, "EPC GFSK (1 Mbit/s) max. power step",
     EpcStep},
    {"lbl_EPCTwoMbitS", "Maximum power level", "ed_EPCMaxPwrLvlTwoMbitS", "8", 0,
     "ud_EPCPwrLvlTwoMbitSUpDown", rf::kPowerEdr.min, rf::kPowerEdr.max, "lbl_EPCTwoMbitSdB", " dBm",
     "EPC Pi/4-DQPSK (2 Mbit/s) max. power level", Spinner},
    {"lbl_EPCMaxPwrStepTwoMbitS", "Maximum power step", "ed_EPCMaxPwrStepTwoMbitS", "7", 0,
     "ud_EPCPwrStepTwoMbitSUpDown", 0, rf::kPowerSteps.max, nullptr, nullptr,
     "EPC Pi/4-DQPSK (2 Mbit/s) max. power step", EpcStep},
    {"lbl_EPCThreeMbitS", "Maximum power level", "ed_EPCMaxPwrLvlThreeMbitS", "8", 0,
     "ud_EPCPwrLvlThreeMbitSUpDown", rf::kPowerEdr.min, rf::kPowerEdr.max, "lbl_EPCThreeMbitSdB", " dBm",
     "EPC 8DPSK (3 Mbit/s) max. power level", Spinner},
    {"lbl_EPCMaxPwrStepThreeMbitS", "Maximum power step", "ed_EPCMaxPwrStepThreeMbitS", "7", 0,
     "ud_EPCPwrStepThreeMbitSUpDown", 0, rf::kPowerSteps.max, nullptr, nullptr,
     "EPC 8DPSK (3 Mbit/s) max. power step", EpcStep},
    {"lbl_LPCOneMbitS", "Maximum power level", "ed_LPCMaxPwrLvlOneMbitS", "10", 0,
     "ud_LPCPwrLvlOneMbitSUpDown", rf::kPower1Mbps.min, rf::kPower1Mbps.max, "lbl_LPCOneMbitSdB", " dBm",
     "LPC GFSK (1 Mbit/s) power level", Spinner},
    {"lbl_LPCTwoMbitS", "Maximum power level", "ed_LPCMaxPwrLvlTwoMbitS", "8", 0,
     "ud_LPCPwrLvlTwoMbitSUpDown", rf::kPowerEdr.min, rf::kPowerEdr.max, "lbl_LPCTwoMbitSdB", " dBm",
     "LPC Pi/4-DQPSK (2 Mbit/s) power level", Spinner},
    {"lbl_LPCThreeMbitS", "Maximum power level", "ed_LPCMaxPwrLvlThreeMbitS", "8", 0,
     "ud_LPCPwrLvlThreeMbitSUpDown", rf::kPowerEdr.min, rf::kPowerEdr.max, "lbl_LPCThreeMbitSdB", " dBm",
     "LPC 8DPSK (3 Mbit/s) power level", Spinner},
    {"lbl_LeDataLength", "Data length", "ed_LeDataLength", "0", 2, "ud_LeDataLengthUpDown", rf::kLeDataLength.min, rf::kLeDataLength.max,
     nullptr, nullptr, "LE Data, Data length", Spinner},
}};

const std::array<TrackField, track::Count> kTracks = {{
    {"lbl_TxPowerCoarse", "Coarse", "tb_TxPowerCoarse", rf::kCoarsePower.min, rf::kCoarsePower.max, 7, "lbl_TxPowerCoarseValue", "0",
     "lbl_TxPowerCoarseDb", " dB"},
    {"lbl_TxPowerFine", "Fine", "tb_TxPowerFine", rf::kFinePower.min, rf::kFinePower.max, 4, "lbl_TxPowerFineValue", "0",
     "lbl_TxPowerFineDb", " dB"},
    {"lbl_PowerLevel", "Power step:", "tb_PowerLevel", 0, 0, 0, "PowerLevelNOfStepsValue", "0",
     nullptr, nullptr},
    {"lbl_EPCPowerControlNOfSteps", "No of steps:", "tb_EPCPowerControlNOfSteps", rf::kPowerSteps.min, rf::kPowerSteps.max, 8,
     "lbl_EPCPowerControlNOfStepsValue", "?", nullptr, nullptr},
    {"lbl_EPCPowerControlStepSize", "Stepsize:", "tb_EPCPowerControlStepSize", rf::kPowerStepSize.min, rf::kPowerStepSize.max, 4,
     "lbl_EPCPowerControlStepSizeValue", "?", nullptr, nullptr},
    {"lbl_LPCPowerControlNOfSteps", "No of steps:", "tb_LPCPowerControlNOfSteps", rf::kPowerSteps.min, rf::kPowerSteps.max, 8,
     "lbl_LPCPowerControlNOfStepsValue", "?", nullptr, nullptr},
    {"lbl_LPCPowerControlStepSize", "Stepsize:", "tb_LPCPowerControlStepSize", rf::kPowerStepSize.min, rf::kPowerStepSize.max, 6,
     "lbl_LPCPowerControlStepSizeValue", "?", nullptr, nullptr},
}};

namespace {

constexpr NvmField Rf(T_BT_NVM_PARAM_TYPE id, uint8_t read, NvmShown shown, uint8_t control) {
    return {id, read, shown, control, NvmGroup::None, nullptr, nullptr};
}
constexpr NvmField InBox(T_BT_NVM_PARAM_TYPE id, uint8_t read, NvmGroup group, const char* key,
                         const char* caption) {
    return {id, read, NvmShown::Box, 0, group, key, caption};
}

using enum NvmShown;
using enum NvmGroup;

} // namespace

const std::array<NvmField, nvm::kParamCount> kNvmFields = {{
    Rf(BNPT_EPC_MAX_POWER_1MBPS, 3, Spin, spin::EpcLevel1),
    Rf(BNPT_EPC_HIGHEST_STEP_1MBPS, 6, Spin, spin::EpcStep1),
    Rf(BNPT_EPC_MAX_POWER_2MBPS, 4, Spin, spin::EpcLevel2),
    Rf(BNPT_EPC_HIGHEST_STEP_2MBPS, 7, Spin, spin::EpcStep2),
    Rf(BNPT_EPC_MAX_POWER_3MBPS, 5, Spin, spin::EpcLevel3),
    Rf(BNPT_EPC_HIGHEST_STEP_3MBPS, 8, Spin, spin::EpcStep3),
    Rf(BNPT_EPC_NUM_OF_PWR_CTRL_STEPS, 1, Track, track::EpcSteps),
    Rf(BNPT_EPC_PWR_CTRL_STEP_SIZE, 2, Track, track::EpcStepSize),
    Rf(BNPT_LPC_MAX_POWER_1MBPS, 11, Spin, spin::LpcLevel1),
    Rf(BNPT_LPC_MAX_POWER_2MBPS, 12, Spin, spin::LpcLevel2),
    Rf(BNPT_LPC_MAX_POWER_3MBPS, 13, Spin, spin::LpcLevel3),
    Rf(BNPT_LPC_NUM_OF_PWR_CTRL_STEPS, 9, Track, track::LpcSteps),
    Rf(BNPT_LPC_PWR_CTRL_STEP_SIZE, 10, Track, track::LpcStepSize),
    Rf(BNPT_BR_PWR_LEVEL, 14, Spin, spin::BrLevel),
    Rf(BNPT_LE_PWR_LEVEL, 15, Spin, spin::LeLevel),
    // Written last, and only when no other field had a message.
    Rf(BNPT_BT_ADDRESS, 0, Address, 0),
    {BNPT_LMP_FEATURES_BIT_MASK, 23, LmpFeatures, 0, Lpm, nullptr, nullptr},
    InBox(BNPT_CHANNEL_WORD_OFFSET_RF_PLL, 37, Misc, "ChannelWordOffset", "Channel word offset"),
    InBox(BNPT_RF_REFERENCE_CLOCK, 38, Misc, "InputFreq", "Input freq"),
    InBox(BNPT_LE_FEATURES_BIT_MASK, 42, Misc, "LeFeatures", "Le features"),
    InBox(BNPT_LPM_CONFIGURATION, 24, Lpm, "LpmConf", "Lpm conf"),
    InBox(BNPT_LPM_DRIFT, 25, Lpm, "LpmDrift", "Lpm drift"),
    InBox(BNPT_LPM_THRESHOLD, 26, Lpm, "LpmThreshold", "Lpm threshold"),
    InBox(BNPT_ULTRA_LPM_THRESHOLD, 27, Lpm, "UltraLpmThreshold", "Ultra lpm threshold"),
    InBox(BNPT_RSSI_MINIMUM, 16, Rssi, "RssiMin", "Rssi min"),
    InBox(BNPT_RSSI_MAXIMUM, 17, Rssi, "RssiMax", "Rssi max"),
    InBox(BNPT_RSSI_GOTO_MAX, 18, Rssi, "RssiGotoMax", "Rssi goto max"),
    InBox(BNPT_UART_BAUDRATE, 20, Uart, "UartBaudrate", "Uart baudrate"),
    InBox(BNPT_UART_INVERT, 21, Uart, "UartInvert", "Uart invert"),
    InBox(BNPT_UART_LPM_LEVEL, 22, Uart, "UartLpmLevel", "Uart lpm level"),
    InBox(BNPT_OSC_SETTLE, 34, Settle, "OscSettleValue", "Osc settle value"),
    InBox(BNPT_PLL_SETTLE, 35, Settle, "PllSettleValue", "Pll settle value"),
    InBox(BNPT_DIG_SETTLE, 36, Settle, "DigSettleValue", "Dig settle value"),
    InBox(BNPT_BB_CONFIG, 39, Misc, "BbConf", "Bb conf"),
    InBox(BNPT_IDAC_COMPENSATION, 40, Misc, "IdacComp", "Idac comp"),
    InBox(BNPT_RF_CONFIG, 41, Misc, "RfConfig", "Rf config"),
    InBox(BNPT_LMP_VERSION, 28, Lpm, "LmpVersion", "Lmp version"),
    InBox(BNPT_ULPM_CURRENT, 29, Current, "UlpmCurrent", "Ulpm current"),
    InBox(BNPT_IDLE_CURRENT, 30, Current, "IdleCurrent", "Idle current"),
    InBox(BNPT_ACTIVE_CURRENT, 31, Current, "ActiveCurrent", "Active current"),
    InBox(BNPT_TX_CURRENT, 32, Current, "TxCurrent", "Tx current"),
    InBox(BNPT_RX_CURRENT, 33, Current, "RxCurrent", "Rx current"),
    InBox(BNPT_RSSI_THRESHOLD, 19, Rssi, "RssiThreshold", "Rssi threshold"),
}};

Range KindRange(nvm::Kind kind) {
    switch (kind) {
    case nvm::Kind::I8:
        return {-128, 127};
    case nvm::Kind::U16:
        return {0, 65535};
    case nvm::Kind::U32:
        return {0, 4294967295};
    default:
        return {0, 255};
    }
}

} // namespace ui
