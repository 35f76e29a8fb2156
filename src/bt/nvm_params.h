#pragma once
// The 43 NVM parameters of the chip, described once. Everything that repeats per parameter
// (the IBluetooth getters and setters, the text commands, the read-all and write-all value
// order, the record offsets) is generated from BT_NVM_PARAMS.

#include <array>
#include <cstddef>
#include <cstdint>

#include "bt/bt_types.h"

// All 43 NVM parameters, in record order. Natural alignment: the record is 68 bytes, the
// size the cache copy of a read-all moves.
struct T_BT_ALL_NVM_PARAMS {
    uint8_t bdaddr[6];
    uint16_t channel_word_offset;
    uint32_t input_freq;
    uint8_t lmp_features[8];
    uint8_t le_features;
    uint8_t lpm_conf;
    uint8_t lpm_drift;
    uint8_t lpm_threshold;
    uint8_t ultra_lpm_threshold;
    uint8_t epc_step_1mbps;
    uint8_t epc_step_2mbps;
    uint8_t epc_step_3mbps;
    uint8_t epc_pwrctrl_steps;
    uint8_t epc_pwrctrl_stepsize;
    int8_t epc_power_1mbps;
    int8_t epc_power_2mbps;
    int8_t epc_power_3mbps;
    int8_t lpc_power_1mbps;
    int8_t lpc_power_2mbps;
    int8_t lpc_power_3mbps;
    uint8_t lpc_pwrctrl_steps;
    uint8_t lpc_pwrctrl_stepsize;
    int8_t br_pwr_level;
    int8_t le_pwr_level;
    int8_t rssi_min;
    int8_t rssi_max;
    uint8_t rssi_goto_max;
    uint8_t uart_baudrate;
    uint8_t uart_invert;
    uint8_t uart_lpm_level;
    uint8_t osc_settle;
    uint8_t pll_settle;
    uint8_t dig_settle;
    uint8_t bb_conf;
    uint8_t idac_comp;
    uint8_t rf_config;
    uint8_t lmp_version;
    uint16_t ulpm_current;
    uint16_t idle_current;
    uint16_t active_current;
    uint16_t tx_current;
    uint16_t rx_current;
    int8_t rssi_threshold;
};
static_assert(sizeof(T_BT_ALL_NVM_PARAMS) == 68, "the NVM cache record is 68 bytes");

// X(CamelName, field, BNPT id, kind, transfer position, units), in the order of the
// IBluetooth getters and setters. The field name is also the text command suffix. The
// transfer position (1..43) is the place of the value in the read-all and write-all
// commands. Kinds: U8, I8, U16, U32, and the byte arrays A6 (BD address) and A8 (LMP
// features). Units: "dBm", "Hz", or "" for codes, counts and flags.
#define BT_NVM_PARAMS(X)                                                                           \
    X(Bdaddr, bdaddr, BNPT_BT_ADDRESS, A6, 1, "")                                                  \
    X(EpcPwrctrlSteps, epc_pwrctrl_steps, BNPT_EPC_NUM_OF_PWR_CTRL_STEPS, U8, 13, "")              \
    X(EpcPwrctrlStepsize, epc_pwrctrl_stepsize, BNPT_EPC_PWR_CTRL_STEP_SIZE, U8, 14, "")           \
    X(EpcStep1mbps, epc_step_1mbps, BNPT_EPC_HIGHEST_STEP_1MBPS, U8, 15, "")                       \
    X(EpcStep2mbps, epc_step_2mbps, BNPT_EPC_HIGHEST_STEP_2MBPS, U8, 16, "")                       \
    X(EpcStep3mbps, epc_step_3mbps, BNPT_EPC_HIGHEST_STEP_3MBPS, U8, 17, "")                       \
    X(LpcPwrctrlSteps, lpc_pwrctrl_steps, BNPT_LPC_NUM_OF_PWR_CTRL_STEPS, U8, 21, "")              \
    X(LpcPwrctrlStepsize, lpc_pwrctrl_stepsize, BNPT_LPC_PWR_CTRL_STEP_SIZE, U8, 22, "")           \
    X(EpcPower1mbps, epc_power_1mbps, BNPT_EPC_MAX_POWER_1MBPS, I8, 10, "dBm")                     \
    X(EpcPower2mbps, epc_power_2mbps, BNPT_EPC_MAX_POWER_2MBPS, I8, 11, "dBm")                     \
    X(EpcPower3mbps, epc_power_3mbps, BNPT_EPC_MAX_POWER_3MBPS, I8, 12, "dBm")                     \
    X(LpcPower1mbps, lpc_power_1mbps, BNPT_LPC_MAX_POWER_1MBPS, I8, 18, "dBm")                     \
    X(LpcPower2mbps, lpc_power_2mbps, BNPT_LPC_MAX_POWER_2MBPS, I8, 19, "dBm")                     \
    X(LpcPower3mbps, lpc_power_3mbps, BNPT_LPC_MAX_POWER_3MBPS, I8, 20, "dBm")                     \
    X(BrPwrLevel, br_pwr_level, BNPT_BR_PWR_LEVEL, I8, 23, "dBm")                                  \
    X(LePwrLevel, le_pwr_level, BNPT_LE_PWR_LEVEL, I8, 25, "dBm")                                  \
    X(ChannelWordOffset, channel_word_offset, BNPT_CHANNEL_WORD_OFFSET_RF_PLL, U16, 2, "")         \
    X(InputFreq, input_freq, BNPT_RF_REFERENCE_CLOCK, U32, 3, "Hz")                                \
    X(LmpFeatures, lmp_features, BNPT_LMP_FEATURES_BIT_MASK, A8, 4, "")                            \
    X(LeFeatures, le_features, BNPT_LE_FEATURES_BIT_MASK, U8, 5, "")                               \
    X(LpmConf, lpm_conf, BNPT_LPM_CONFIGURATION, U8, 6, "")                                        \
    X(LpmDrift, lpm_drift, BNPT_LPM_DRIFT, U8, 7, "")                                              \
    X(LpmThreshold, lpm_threshold, BNPT_LPM_THRESHOLD, U8, 8, "")                                  \
    X(UltraLpmThreshold, ultra_lpm_threshold, BNPT_ULTRA_LPM_THRESHOLD, U8, 9, "")                 \
    X(RssiMin, rssi_min, BNPT_RSSI_MINIMUM, I8, 26, "dBm")                                         \
    X(RssiMax, rssi_max, BNPT_RSSI_MAXIMUM, I8, 27, "dBm")                                         \
    X(RssiGotoMax, rssi_goto_max, BNPT_RSSI_GOTO_MAX, U8, 28, "")                                  \
    X(UartBaudrate, uart_baudrate, BNPT_UART_BAUDRATE, U8, 29, "")                                 \
    X(UartInvert, uart_invert, BNPT_UART_INVERT, U8, 30, "")                                       \
    X(UartLpmLevel, uart_lpm_level, BNPT_UART_LPM_LEVEL, U8, 31, "")                               \
    X(OscSettle, osc_settle, BNPT_OSC_SETTLE, U8, 32, "")                                          \
    X(PllSettle, pll_settle, BNPT_PLL_SETTLE, U8, 33, "")                                          \
    X(DigSettle, dig_settle, BNPT_DIG_SETTLE, U8, 34, "")                                          \
    X(BbConf, bb_conf, BNPT_BB_CONFIG, U8, 35, "")                                                 \
    X(IdacComp, idac_comp, BNPT_IDAC_COMPENSATION, U8, 36, "")                                     \
    X(RfConfig, rf_config, BNPT_RF_CONFIG, U8, 37, "")                                             \
    X(LmpVersion, lmp_version, BNPT_LMP_VERSION, U8, 38, "")                                       \
    X(UlpmCurrent, ulpm_current, BNPT_ULPM_CURRENT, U16, 39, "")                                   \
    X(IdleCurrent, idle_current, BNPT_IDLE_CURRENT, U16, 40, "")                                   \
    X(ActiveCurrent, active_current, BNPT_ACTIVE_CURRENT, U16, 41, "")                             \
    X(TxCurrent, tx_current, BNPT_TX_CURRENT, U16, 42, "")                                         \
    X(RxCurrent, rx_current, BNPT_RX_CURRENT, U16, 43, "")                                         \
    X(RssiThreshold, rssi_threshold, BNPT_RSSI_THRESHOLD, I8, 24, "dBm")

// The value type a getter writes through its pointer (arrays: their first byte).
#define BT_NVM_VALUE_T_U8 uint8_t
#define BT_NVM_VALUE_T_I8 int8_t
#define BT_NVM_VALUE_T_U16 uint16_t
#define BT_NVM_VALUE_T_U32 uint32_t
#define BT_NVM_VALUE_T_A6 uint8_t
#define BT_NVM_VALUE_T_A8 uint8_t
// The type a setter takes: scalars by value, arrays as a pointer to their bytes.
#define BT_NVM_SET_T_U8 uint8_t
#define BT_NVM_SET_T_I8 int8_t
#define BT_NVM_SET_T_U16 uint16_t
#define BT_NVM_SET_T_U32 uint32_t
#define BT_NVM_SET_T_A6 const uint8_t*
#define BT_NVM_SET_T_A8 const uint8_t*

namespace nvm {

enum class Kind : uint8_t { U8, I8, U16, U32, A6, A8 };

constexpr int kParamCount = 43;

// One NVM parameter as data.
struct ParamInfo {
    const char* suffix;  // "bdaddr": the record field and the text command suffix
    const char* camel;   // "Bdaddr": the <Param> of GetNvm<Param> / SetNvm<Param>
    const char* command; // "at@bt:write_nvm_bdaddr"
    T_BT_NVM_PARAM_TYPE id;
    Kind kind;
    uint8_t width;      // bytes of the field in T_BT_ALL_NVM_PARAMS
    std::size_t offset; // of the field in T_BT_ALL_NVM_PARAMS
    uint8_t transfer;   // 1..43, position in the read-all and write-all commands
    const char* units;  // "dBm", "Hz", or "" (codes, counts, flags)
};

// The parameters in getter/setter order.
const std::array<ParamInfo, kParamCount>& Params();
// The parameters in the value order of the read-all and write-all commands.
const std::array<const ParamInfo*, kParamCount>& TransferOrder();
// The entry for a BNPT_* identifier, or null for BNPT_MAX_COUNT and beyond.
const ParamInfo* FindById(uint32_t id);

} // namespace nvm
