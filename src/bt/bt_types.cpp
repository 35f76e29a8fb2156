#include "bt/bt_types.h"

#include <array>
#include <iterator>
#include <string_view>

namespace {

constexpr char kNotDefined[] = "Not defined";

template <std::size_t N>
std::string NameOf(const std::array<std::string_view, N>& names, uint32_t value) {
    return value < names.size() ? std::string(names[value]) : std::string(kNotDefined);
}

constexpr std::array<std::string_view, 9> kPacketTypes = {
    "DH1", "DH3", "DH5", "2-DH1", "2-DH3", "2-DH5", "3-DH1", "3-DH3", "3-DH5"};

constexpr std::array<std::string_view, 6> kBrPatterns = {
    "00000000", "00110011", "01010101", "00001111", "11111111", "PRBS 9"};

constexpr std::array<std::string_view, 8> kLePatterns = {
    "PRBS 9", "11110000", "10101010", "PRBS15", "11111111", "00000000", "00001111", "01010101"};

constexpr std::array<std::string_view, 4> kModulations = {
    "No modulation", "GFSK", "pi/4-DQPSK", "8DPSK"};

constexpr std::array<std::string_view, 16> kNvmParams = {
    "Bluetooth address",
    "EPC maximum power 1 MBit/S",
    "EPC maximum power 2 MBit/S",
    "EPC maximum power 3 MBit/S",
    "EPC number of power control steps",
    "EPC power control step size",
    "EPC maximum step size 1 MBit/S",
    "EPC maximum step size 2 MBit/S",
    "EPC maximum step size 3 MBit/S",
    "LPC maximum power 1 MBit/S",
    "LPC maximum power 2 MBit/S",
    "LPC maximum power 3 MBit/S",
    "LPC number of power control steps",
    "LPC power control step size",
    "BR power level",
    "LE power level"};

constexpr std::array<std::string_view, 44> kNvmParamTypes = {
    "'BNPT_BT_ADDRESS'", "'BNPT_CHANNEL_WORD_OFFSET_RF_PLL'", "'BNPT_RF_REFERENCE_CLOCK'",
    "'BNPT_LMP_FEATURES_BIT_MASK'", "'BNPT_LE_FEATURES_BIT_MASK'", "'BNPT_LPM_CONFIGURATION'",
    "'BNPT_LPM_DRIFT'", "'BNPT_LPM_THRESHOLD'", "'BNPT_ULTRA_LPM_THRESHOLD'",
    "'BNPT_EPC_MAX_POWER_1MBPS'", "'BNPT_EPC_MAX_POWER_2MBPS'", "'BNPT_EPC_MAX_POWER_3MBPS'",
    "'BNPT_EPC_NUM_OF_PWR_CTRL_STEPS'", "'BNPT_EPC_PWR_CTRL_STEP_SIZE'",
    "'BNPT_EPC_HIGHEST_STEP_1MBPS'", "'BNPT_EPC_HIGHEST_STEP_2MBPS'",
    "'BNPT_EPC_HIGHEST_STEP_3MBPS'", "'BNPT_LPC_MAX_POWER_1MBPS'", "'BNPT_LPC_MAX_POWER_2MBPS'",
    "'BNPT_LPC_MAX_POWER_3MBPS'", "'BNPT_LPC_NUM_OF_PWR_CTRL_STEPS'",
    "'BNPT_LPC_PWR_CTRL_STEP_SIZE'", "'BNPT_BR_PWR_LEVEL'", "'BNPT_RSSI_THRESHOLD'",
    "'BNPT_LE_PWR_LEVEL'", "'BNPT_RSSI_MINIMUM'", "'BNPT_RSSI_MAXIMUM'", "'BNPT_RSSI_GOTO_MAX'",
    "'BNPT_UART_BAUDRATE'", "'BNPT_UART_INVERT'", "'BNPT_OSC_SETTLE'", "'BNPT_PLL_SETTLE'",
    "'BNPT_DIG_SETTLE'", "'BNPT_BB_CONFIG'", "'BNPT_IDAC_COMPENSATION'", "'BNPT_RF_CONFIG'",
    "'BNPT_LMP_VERSION'", "'BNPT_UART_LPM_LEVEL'", "'BNPT_ULPM_CURRENT'", "'BNPT_IDLE_CURRENT'",
    "'BNPT_ACTIVE_CURRENT'", "'BNPT_TX_CURRENT'", "'BNPT_RX_CURRENT'", "'BNPT_MAX_COUNT'"};

constexpr std::array<std::string_view, ATCTST_BT_FUNCTION_COUNT> kFunctions = {
#define BT_FUNCTION_NAME(name, request, confirm, opcode) "'" #name "'",
    BT_TEST_FUNCTIONS(BT_FUNCTION_NAME)
#undef BT_FUNCTION_NAME
};

constexpr std::array<std::string_view, BT_OPCODE_COUNT> kOpcodes = {
#define BT_OPCODE_NAME(name) "'" #name "'",
    BT_OPCODES(BT_OPCODE_NAME)
#undef BT_OPCODE_NAME
};

static_assert(kPacketTypes.size() == BT_PACKET_TYPE_COUNT);
static_assert(kBrPatterns.size() == BT_BR_PATTERN_COUNT);
static_assert(kLePatterns.size() == BT_LE_PATTERN_COUNT);
static_assert(kModulations.size() == BT_MODULATION_COUNT);
static_assert(kNvmParams.size() == BT_NVM_PARAM_COUNT);
static_assert(kNvmParamTypes.size() == BNPT_MAX_COUNT + 1);

} // namespace

const char t_test_mode_names[BT_TEST_MODE_COUNT][30] = {
    "Test", "TX Burst", "TX CW", "RX CW", "LE TX", "LE RX", "NVM data"};

std::string t_packet_type_to_string(uint32_t value) { return NameOf(kPacketTypes, value); }
std::string t_br_pattern_to_string(uint32_t value) { return NameOf(kBrPatterns, value); }
std::string t_le_pattern_to_string(uint32_t value) { return NameOf(kLePatterns, value); }
std::string t_modulation_to_string(uint32_t value) { return NameOf(kModulations, value); }
std::string t_nvm_param_to_string(uint32_t value) { return NameOf(kNvmParams, value); }
std::string t_nvm_param_type_to_string(uint32_t value) { return NameOf(kNvmParamTypes, value); }
std::string t_atctst_function_to_string(uint16_t value) { return NameOf(kFunctions, value); }
std::string t_opcode_to_string(uint32_t value) { return NameOf(kOpcodes, value); }

std::string t_result_to_string(int32_t code) {
    switch (code) {
    case -1: return "FAIL";
    case 0: return "OK";
    case 1: return "Not supported";
    default: return "CUSTOM ERROR " + std::to_string(code);
    }
}
