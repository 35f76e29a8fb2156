#pragma once
// The vocabulary every layer shares: packet types, patterns, modulations, test modes,
// NVM parameters, test functions, opcodes and result texts, and the small records that
// cross the IBluetooth boundary.

#include <cstdint>
#include <string>

enum T_BT_PACKET_TYPE : uint32_t {
    BT_PACKET_DH1, BT_PACKET_DH3, BT_PACKET_DH5,
    BT_PACKET_2_DH1, BT_PACKET_2_DH3, BT_PACKET_2_DH5,
    BT_PACKET_3_DH1, BT_PACKET_3_DH3, BT_PACKET_3_DH5,
    BT_PACKET_TYPE_COUNT
};

enum T_BT_BR_PATTERN : uint32_t {
    BT_BR_PATTERN_00000000, BT_BR_PATTERN_00110011, BT_BR_PATTERN_01010101,
    BT_BR_PATTERN_00001111, BT_BR_PATTERN_11111111, BT_BR_PATTERN_PRBS9,
    BT_BR_PATTERN_COUNT
};

// The payload codes of the LE Direct Test Mode.
enum T_BT_LE_PATTERN : uint32_t {
    BT_LE_PATTERN_PRBS9, BT_LE_PATTERN_11110000, BT_LE_PATTERN_10101010,
    BT_LE_PATTERN_PRBS15, BT_LE_PATTERN_11111111, BT_LE_PATTERN_00000000,
    BT_LE_PATTERN_00001111, BT_LE_PATTERN_01010101,
    BT_LE_PATTERN_COUNT
};

enum T_BT_MODULATION : uint32_t {
    BT_MODULATION_NONE, BT_MODULATION_GFSK, BT_MODULATION_PI4_DQPSK, BT_MODULATION_8DPSK,
    BT_MODULATION_COUNT
};

enum T_BT_TEST_MODE : uint32_t {
    BT_TEST_MODE_TEST, BT_TEST_MODE_TX_BURST, BT_TEST_MODE_TX_CW, BT_TEST_MODE_RX_CW,
    BT_TEST_MODE_LE_TX, BT_TEST_MODE_LE_RX, BT_TEST_MODE_NVM_DATA,
    BT_TEST_MODE_COUNT
};

// Names of the test modes: 7 fixed fields of 30 characters, zero padded.
extern const char t_test_mode_names[BT_TEST_MODE_COUNT][30];

// The 16 NVM parameters of the binary protocol; the value is the id on the wire.
enum T_BT_NVM_PARAM : uint8_t {
    BT_NVM_BT_ADDRESS,
    BT_NVM_EPC_MAX_POWER_1MBPS, BT_NVM_EPC_MAX_POWER_2MBPS, BT_NVM_EPC_MAX_POWER_3MBPS,
    BT_NVM_EPC_NUM_OF_PWR_CTRL_STEPS, BT_NVM_EPC_PWR_CTRL_STEP_SIZE,
    BT_NVM_EPC_HIGHEST_STEP_1MBPS, BT_NVM_EPC_HIGHEST_STEP_2MBPS, BT_NVM_EPC_HIGHEST_STEP_3MBPS,
    BT_NVM_LPC_MAX_POWER_1MBPS, BT_NVM_LPC_MAX_POWER_2MBPS, BT_NVM_LPC_MAX_POWER_3MBPS,
    BT_NVM_LPC_NUM_OF_PWR_CTRL_STEPS, BT_NVM_LPC_PWR_CTRL_STEP_SIZE,
    BT_NVM_BR_PWR_LEVEL, BT_NVM_LE_PWR_LEVEL,
    BT_NVM_PARAM_COUNT
};

// Every NVM parameter identifier the form and the text back-end use.
enum T_BT_NVM_PARAM_TYPE : uint32_t {
    BNPT_BT_ADDRESS, BNPT_CHANNEL_WORD_OFFSET_RF_PLL, BNPT_RF_REFERENCE_CLOCK,
    BNPT_LMP_FEATURES_BIT_MASK, BNPT_LE_FEATURES_BIT_MASK, BNPT_LPM_CONFIGURATION,
    BNPT_LPM_DRIFT, BNPT_LPM_THRESHOLD, BNPT_ULTRA_LPM_THRESHOLD,
    BNPT_EPC_MAX_POWER_1MBPS, BNPT_EPC_MAX_POWER_2MBPS, BNPT_EPC_MAX_POWER_3MBPS,
    BNPT_EPC_NUM_OF_PWR_CTRL_STEPS, BNPT_EPC_PWR_CTRL_STEP_SIZE,
    BNPT_EPC_HIGHEST_STEP_1MBPS, BNPT_EPC_HIGHEST_STEP_2MBPS, BNPT_EPC_HIGHEST_STEP_3MBPS,
    BNPT_LPC_MAX_POWER_1MBPS, BNPT_LPC_MAX_POWER_2MBPS, BNPT_LPC_MAX_POWER_3MBPS,
    BNPT_LPC_NUM_OF_PWR_CTRL_STEPS, BNPT_LPC_PWR_CTRL_STEP_SIZE,
    BNPT_BR_PWR_LEVEL, BNPT_RSSI_THRESHOLD, BNPT_LE_PWR_LEVEL,
    BNPT_RSSI_MINIMUM, BNPT_RSSI_MAXIMUM, BNPT_RSSI_GOTO_MAX,
    BNPT_UART_BAUDRATE, BNPT_UART_INVERT, BNPT_OSC_SETTLE, BNPT_PLL_SETTLE, BNPT_DIG_SETTLE,
    BNPT_BB_CONFIG, BNPT_IDAC_COMPENSATION, BNPT_RF_CONFIG, BNPT_LMP_VERSION,
    BNPT_UART_LPM_LEVEL, BNPT_ULPM_CURRENT, BNPT_IDLE_CURRENT, BNPT_ACTIVE_CURRENT,
    BNPT_TX_CURRENT, BNPT_RX_CURRENT,
    BNPT_MAX_COUNT
};

// The command opcodes whose record versions the text back-end negotiates, in opcode order.
#define BT_OPCODES(X)                                                                              \
    X(NONE)                                                                                        \
    X(RESET)                                                                                       \
    X(SET_RF_TEST_MODE)                                                                            \
    X(SET_TX_BURST_MODE)                                                                           \
    X(SET_TX_CONTINUOUS_MODE)                                                                      \
    X(SET_RX_CONTINUOUS_MODE)                                                                      \
    X(GET_LUMORA_VERSION)                                                                          \
    X(SET_PCM_LOOPBACK)                                                                            \
    X(CHECK_HOST_INTERFACE)                                                                        \
    X(HW_INFO)                                                                                     \
    X(INITIALIZE)                                                                                  \
    X(SET_AFH_CHANNEL_MAP)                                                                         \
    X(CHECK_SLEEPX_SIGNAL)                                                                         \
    X(GET_RTRIM_VALUES)                                                                            \
    X(SET_RTRIM_MANUAL_VALUES)                                                                     \
    X(GET_KFREQ_IBIASDAC_VALUES)                                                                   \
    X(SET_KFREQ_IBIASDAC_MANUAL_VALUES)                                                            \
    X(GET_PCM_UART_WAKEUP_INTERFACE_STATUS)                                                        \
    X(SET_PCM_UART_WAKEUP_INTERFACE)                                                               \
    X(GET_TEMPERATURE_VALUES)                                                                      \
    X(SET_TEMPERATURE_VALUES)                                                                      \
    X(GET_VOLTAGE_VALUES)                                                                          \
    X(SET_VOLTAGE_VALUES)                                                                          \
    X(GET_RSSI_VALUE)                                                                              \
    X(GET_CAPABILITIES)                                                                            \
    X(WRITE_TO_NVM)                                                                                \
    X(READ_FROM_NVM)                                                                               \
    X(SET_TX_LE_MODE)                                                                              \
    X(RX_LE_START)                                                                                 \
    X(RX_LE_END)                                                                                   \
    X(HCI_COMMAND)                                                                                 \
    X(GET_OPCODE_VERSION)                                                                          \
    X(WRITE_ALL_NVM_PARAMS)                                                                        \
    X(READ_ALL_NVM_PARAMS)

enum T_BT_OPCODE : uint16_t {
#define BT_OPCODE_ENUMERATOR(name) name,
    BT_OPCODES(BT_OPCODE_ENUMERATOR)
#undef BT_OPCODE_ENUMERATOR
    BT_OPCODE_COUNT
};

// The phone-side test functions of the binary protocol, in function number order:
// X(name, request size, confirm size, opcode). The sizes in bytes are the fixed sizes of the
// wire records (a request of 0 bytes sends no data; atctst_bt_get_capabilities is never
// sent). The opcode is the one of the same name, the number the text back-end knows the
// command by: the two numberings differ (opcode 0 is NONE, SET_AFH_CHANNEL_MAP has no
// function).
#define BT_TEST_FUNCTIONS(X)                                                                       \
    X(atctst_bt_reset, 0, 1, RESET)                                                                \
    X(atctst_bt_set_rf_test_mode, 22, 1, SET_RF_TEST_MODE)                                         \
    X(atctst_bt_set_tx_burst_mode, 30, 1, SET_TX_BURST_MODE)                                       \
    X(atctst_bt_set_tx_continuous_mode, 7, 1, SET_TX_CONTINUOUS_MODE)                              \
    X(atctst_bt_set_rx_continuous_mode, 2, 1, SET_RX_CONTINUOUS_MODE)                              \
    X(atctst_bt_get_lumora_version, 0, 12, GET_LUMORA_VERSION)                                     \
    X(atctst_bt_set_pcm_loopback, 2, 1, SET_PCM_LOOPBACK)                                          \
    X(atctst_bt_check_host_interface, 0, 1, CHECK_HOST_INTERFACE)                                  \
    X(atctst_bt_hw_info, 0, 4, HW_INFO)                                                            \
    X(atctst_bt_initialize, 2, 1, INITIALIZE)                                                      \
    X(atctst_bt_check_sleepx_signal, 0, 1, CHECK_SLEEPX_SIGNAL)                                    \
    X(atctst_bt_get_rtrim_values, 0, 5, GET_RTRIM_VALUES)                                          \
    X(atctst_bt_set_rtrim_manual_values, 3, 1, SET_RTRIM_MANUAL_VALUES)                            \
    X(atctst_bt_get_kfreq_ibiasdac_values, 0, 8, GET_KFREQ_IBIASDAC_VALUES)                        \
    X(atctst_bt_set_kfreq_ibiasdac_manual_values, 5, 1, SET_KFREQ_IBIASDAC_MANUAL_VALUES)          \
    X(atctst_bt_get_pcm_uart_wakeup_interface_status, 0, 5, GET_PCM_UART_WAKEUP_INTERFACE_STATUS)  \
    X(atctst_bt_set_pcm_uart_wakeup_interface, 4, 1, SET_PCM_UART_WAKEUP_INTERFACE)                \
    X(atctst_bt_get_temperature_values, 0, 8, GET_TEMPERATURE_VALUES)                              \
    X(atctst_bt_set_temperature_values, 6, 1, SET_TEMPERATURE_VALUES)                              \
    X(atctst_bt_get_voltage_values, 0, 6, GET_VOLTAGE_VALUES)                                      \
    X(atctst_bt_set_voltage_values, 4, 1, SET_VOLTAGE_VALUES)                                      \
    X(atctst_bt_get_rssi_value, 3, 3, GET_RSSI_VALUE)                                              \
    X(atctst_bt_get_capabilities, 0, 0, GET_CAPABILITIES)                                          \
    X(atctst_bt_write_to_nvm, 8, 1, WRITE_TO_NVM)                                                  \
    X(atctst_bt_read_from_nvm, 1, 9, READ_FROM_NVM)                                                \
    X(atctst_bt_set_tx_le_mode, 5, 1, SET_TX_LE_MODE)                                              \
    X(atctst_bt_rx_le_start, 2, 1, RX_LE_START)                                                    \
    X(atctst_bt_rx_le_end, 0, 4, RX_LE_END)                                                        \
    X(atctst_bt_hci_command, 152, 153, HCI_COMMAND)                                                \
    X(atctst_bt_get_opcode_version, 2, 3, GET_OPCODE_VERSION)

// The value is the function number.
enum T_ATCTST_BT_FUNCTION : uint16_t {
#define BT_FUNCTION_ENUMERATOR(name, request, confirm, opcode) name,
    BT_TEST_FUNCTIONS(BT_FUNCTION_ENUMERATOR)
#undef BT_FUNCTION_ENUMERATOR
    ATCTST_BT_FUNCTION_COUNT
};

// The opcode of the command a test function carries out.
inline constexpr T_BT_OPCODE kOpcodeOfFunction[ATCTST_BT_FUNCTION_COUNT] = {
#define BT_FUNCTION_OPCODE(name, request, confirm, opcode) opcode,
    BT_TEST_FUNCTIONS(BT_FUNCTION_OPCODE)
#undef BT_FUNCTION_OPCODE
};

std::string t_packet_type_to_string(uint32_t value);
std::string t_br_pattern_to_string(uint32_t value);
std::string t_le_pattern_to_string(uint32_t value);
std::string t_modulation_to_string(uint32_t value);
std::string t_nvm_param_to_string(uint32_t value);
std::string t_nvm_param_type_to_string(uint32_t value);
std::string t_atctst_function_to_string(uint16_t value);
std::string t_opcode_to_string(uint32_t value);
std::string t_result_to_string(int32_t code);

enum : uint8_t {
    T_RESULT_OK = 0,
    T_RESULT_FAILED = 1,
    T_RESULT_VERSION_MISMATCH = 2,
    T_RESULT_ERROR = 3,
    T_RESULT_DATA_TOO_LONG = 4,
};

// The outcome of every IBluetooth operation.
struct T_Result {
    uint8_t code = T_RESULT_OK;
    std::string text;
};

#pragma pack(push, 1)
// One NVM parameter value as it travels to and from the phone.
struct T_BT_NVM_VALUE {
    uint8_t id;
    uint8_t version;
    uint8_t data[6];
};
#pragma pack(pop)
static_assert(sizeof(T_BT_NVM_VALUE) == 8, "NVM value record is 8 bytes on the wire");

// What the binary engine knows of one NVM parameter.
struct TNVMDataDetails {
    explicit TNVMDataDetails(uint8_t id = 0) : name(t_nvm_param_to_string(id)), value{id, 0, {}} {}
    std::string name;
    uint8_t valid = 0;
    uint8_t cached = 0;
    T_BT_NVM_VALUE value;
};
