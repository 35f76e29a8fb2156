#pragma once
// Every IBluetooth operation described once, one row each. From these rows come the
// IBluetooth declarations, the back-ends' declarations and the facts of each operation
// (bt_op::<Name>: test function, opcode, version check, shape, action line) that the bodies
// read. Each back-end writes every body out as a definition of its own: those that follow
// their shape are one call of the back-end's template for the shape (SetBody<bt_op::Name>
// and so on), those of shape Own... are written by hand. The declarations come from the
// table, so an operation without its definition in a back-end fails the link.
//
// X(Name, Shape, Request, Confirm, Function, Opcode, Command, Check, Action)
//   Name      the IBluetooth operation
//   Shape     its signature and how its body is made:
//               Set    T_Result Name(version, Request req): check, log, exchange a request
//               Get    T_Result Name(version, Confirm* con): log, exchange, deliver a confirm
//               Query  T_Result Name(version, Request req, Confirm* con): both of the above
//               Check  bool Name(uint8_t* result): log, exchange a status (no text command)
//               OwnVer T_Result Name(version), OwnReset bool Name(version, bool* resetOk),
//               OwnHci T_Result Name(version, req, con, int radix), OwnSet and OwnGet like
//               Set and Get: bodies written by hand in each back-end
//   Request   the caller's request record, Confirm the confirm record it fills
//   Function  the legacy back-end's test function (T_ATCTST_BT_FUNCTION)
//   Opcode    the text back-end's opcode (T_BT_OPCODE), whose record versions it checks
//   Command   the text command after "at@bt:", also the name of its MANAGED_IF::bt method
//   Check     the record versions compared with the caller's: Req before sending, Con on
//             the confirm, Both, or None (the legacy ResetHci checks none either)
//   Action    the action line logged (flag 1) before the exchange: its text, or the
//             function of bt_op that makes it of the request (and the radix), or of the
//             chip state
// `none` marks a cell the operation lacks.

#include <cstdint>
#include <string>

#include "bt/bt_types.h"

// clang-format off
#define BT_OPERATIONS(X)                                                                           \
    X(GetHwInfo, OwnVer, none, none,                                                               \
      atctst_bt_hw_info, HW_INFO, hw_info, Con, "Getting Hw information")                          \
    X(Initialize, OwnVer, none, none,                                                              \
      atctst_bt_initialize, INITIALIZE, initialize, Req,                                           \
      InitializeActionText)                                                                        \
    X(ResetHci, OwnReset, none, none,                                                              \
      atctst_bt_reset, RESET, reset, Req, "Resetting HCI interface")                               \
    X(SetRfTestMode, Set, T_BT_SET_RF_TEST_MODE_REQ, none,                                         \
      atctst_bt_set_rf_test_mode, SET_RF_TEST_MODE, set_rf_test_mode, Req,                         \
      "Entering RF test mode")                                                                     \
    X(SetTxBurstMode, Set, T_BT_SET_TX_BURST_MODE_REQ, none,                                       \
      atctst_bt_set_tx_burst_mode, SET_TX_BURST_MODE, set_tx_burst_mode, Req,                      \
      "Start TX burst mode")                                                                       \
    X(SetTxContinuousMode, Set, T_BT_SET_TX_CONTINUOUS_MODE_REQ, none,                             \
      atctst_bt_set_tx_continuous_mode, SET_TX_CONTINUOUS_MODE, set_tx_continuous_mode, Req,       \
      "Start TX continuous wave mode")                                                             \
    X(SetRxContinuousMode, Set, T_BT_SET_RX_CONTINUOUS_MODE_REQ, none,                             \
      atctst_bt_set_rx_continuous_mode, SET_RX_CONTINUOUS_MODE, set_rx_continuous_mode, Req,       \
      "Start RX continuous wave mode")                                                             \
    X(SetTxLeMode, Set, T_BT_SET_TX_LE_MODE_REQ, none,                                             \
      atctst_bt_set_tx_le_mode, SET_TX_LE_MODE, set_tx_le_mode, Req, "Start LE TX mode")           \
    X(RxLeStart, Set, T_BT_RX_LE_START_REQ, none,                                                  \
      atctst_bt_rx_le_start, RX_LE_START, rx_le_start, Req, "Start LE RX mode")                    \
    X(RxLeEnd, Get, none, T_BT_RX_LE_END_CON,                                                      \
      atctst_bt_rx_le_end, RX_LE_END, rx_le_end, Con, "Getting Le Rx result")                      \
    X(CheckHostInterface, Check, none, none,                                                       \
      atctst_bt_check_host_interface, CHECK_HOST_INTERFACE, none, None,                            \
      "Checking host interface")                                                                   \
    X(CheckSleepxSignal, Check, none, none,                                                        \
      atctst_bt_check_sleepx_signal, CHECK_SLEEPX_SIGNAL, none, None, "Checking SleepX signal")    \
    X(GetLumoraVersion, Get, none, T_BT_GET_LUMORA_VERSION_CON,                                    \
      atctst_bt_get_lumora_version, GET_LUMORA_VERSION, get_lumora_version, Con,                   \
      "Getting Lumora Universal information")                                                      \
    X(GetRssiValue, Query, T_BT_GET_RSSI_VALUE_REQ, T_BT_GET_RSSI_VALUE_CON,                       \
      atctst_bt_get_rssi_value, GET_RSSI_VALUE, get_rssi_value, Both, "Getting RSSI value")        \
    X(GetRtrimValues, Get, none, T_BT_GET_RTRIM_VALUES_CON,                                        \
      atctst_bt_get_rtrim_values, GET_RTRIM_VALUES, get_rtrim_values, Con,                         \
      "Getting RTRIM manual values")                                                               \
    X(SetRtrimManualValues, Set, T_BT_SET_RTRIM_MANUAL_VALUE_REQ, none,                            \
      atctst_bt_set_rtrim_manual_values, SET_RTRIM_MANUAL_VALUES, set_rtrim_manual_values, Req,    \
      "Setting RTRIM manual values")                                                               \
    X(GetKfreqIbiasdacValues, Get, none, T_BT_GET_KFREQ_IBIASDAC_VALUES_CON,                       \
      atctst_bt_get_kfreq_ibiasdac_values, GET_KFREQ_IBIASDAC_VALUES, get_kfreq_ibiasdac_values,   \
      Con, "Getting KFREQ and IBIASDAC manual values")                                             \
    X(SetKfreqIbiasdacManualValues, Set, T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ, none,          \
      atctst_bt_set_kfreq_ibiasdac_manual_values, SET_KFREQ_IBIASDAC_MANUAL_VALUES,                \
      set_kfreq_ibiasdac_manual_values, Req, "Setting KFREQ and IBIASDAC manual values")           \
    X(GetTemperatureValues, Get, none, T_BT_GET_TEMPERATURE_VALUES_CON,                            \
      atctst_bt_get_temperature_values, GET_TEMPERATURE_VALUES, get_temperature_values, Con,       \
      "Getting TMEAS manual values")                                                               \
    X(SetTemperatureValues, Set, T_BT_SET_TEMPERATURE_VALUES_REQ, none,                            \
      atctst_bt_set_temperature_values, SET_TEMPERATURE_VALUES, set_temperature_values, Req,       \
      "Setting TMEAS manual values")                                                               \
    X(GetVoltageValues, Get, none, T_BT_GET_VOLTAGE_VALUES_CON,                                    \
      atctst_bt_get_voltage_values, GET_VOLTAGE_VALUES, get_voltage_values, Con,                   \
      "Getting VMEAS manual values")                                                               \
    X(SetVoltageValues, Set, T_BT_SET_VOLTAGE_VALUES_REQ, none,                                    \
      atctst_bt_set_voltage_values, SET_VOLTAGE_VALUES, set_voltage_values, Req,                   \
      "Setting VMEAS manual values")                                                               \
    X(SetPcmUartWakeupInterface, Set, T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ, none,                \
      atctst_bt_set_pcm_uart_wakeup_interface, SET_PCM_UART_WAKEUP_INTERFACE,                      \
      set_pcm_uart_wakeup_interface, Req, InterfaceActionText)                                     \
    X(GetPcmUartWakeupInterfaceStatus, Get, none, T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON,   \
      atctst_bt_get_pcm_uart_wakeup_interface_status, GET_PCM_UART_WAKEUP_INTERFACE_STATUS,        \
      get_pcm_uart_wakeup_interface_status, Con, "Getting PCM UART WAKEUP Interface status")       \
    X(SetPcmLoopback, Set, T_BT_SET_PCM_LOOPBACK_REQ, none,                                        \
      atctst_bt_set_pcm_loopback, SET_PCM_LOOPBACK, set_pcm_loopback, Req,                         \
      LoopbackActionText)                                                                          \
    X(HciCommand, OwnHci, T_BT_HCI_COMMAND_REQ, T_BT_HCI_COMMAND_CON,                              \
      atctst_bt_hci_command, HCI_COMMAND, hci_command, Both, HciActionText)                        \
    X(ReadAllNvmParams, OwnGet, none, T_BT_ALL_NVM_PARAMS,                                         \
      none, READ_FROM_NVM, read_all_nvm_params, Con, "Getting NVM: All NVM parameters")            \
    X(WriteAllNvmParams, OwnSet, T_BT_ALL_NVM_PARAMS, none,                                        \
      none, WRITE_TO_NVM, write_all_nvm_params, Req, "Setting NVM: All NVM parameters")
// clang-format on

enum class VersionCheck : uint8_t { None, Req, Con, Both };
enum class OpShape : uint8_t { Set, Get, Query, Check, OwnVer, OwnReset, OwnHci, OwnSet, OwnGet };

// The signature of each shape; `Name` may be qualified.
#define BT_OP_SIGNATURE_Set(Name, Request, Confirm) T_Result Name(uint8_t version, Request req)
#define BT_OP_SIGNATURE_Get(Name, Request, Confirm) T_Result Name(uint8_t version, Confirm* con)
#define BT_OP_SIGNATURE_Query(Name, Request, Confirm)                                              \
    T_Result Name(uint8_t version, Request req, Confirm* con)
#define BT_OP_SIGNATURE_Check(Name, Request, Confirm) bool Name(uint8_t* result)
#define BT_OP_SIGNATURE_OwnVer(Name, Request, Confirm) T_Result Name(uint8_t version)
#define BT_OP_SIGNATURE_OwnReset(Name, Request, Confirm) bool Name(uint8_t version, bool* resetOk)
#define BT_OP_SIGNATURE_OwnHci(Name, Request, Confirm)                                             \
    T_Result Name(uint8_t version, Request req, Confirm* con, int radix)
#define BT_OP_SIGNATURE_OwnSet BT_OP_SIGNATURE_Set
#define BT_OP_SIGNATURE_OwnGet BT_OP_SIGNATURE_Get

// A back-end's declaration of every operation; its definitions are written out, one each.
#define BT_OP_OVERRIDE(Name, Shape, Request, Confirm, Function, Opcode, Command, Check, Action)    \
    BT_OP_SIGNATURE_##Shape(Name, Request, Confirm) override;

struct T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ;
struct T_BT_SET_PCM_LOOPBACK_REQ;
struct T_BT_HCI_COMMAND_REQ;

// The facts of each operation as constants, for the bodies: bt_op::GetHwInfo::function,
// ::opcode, ::check, ::shape and ::action (a text, or a function making it).
namespace bt_op {
constexpr T_ATCTST_BT_FUNCTION none = ATCTST_BT_FUNCTION_COUNT;

// The action lines that depend on the chip state or on the request (bt/ibluetooth.cpp).
std::string InitializeActionText(uint8_t bt_on);
std::string InterfaceActionText(const T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ& req);
std::string LoopbackActionText(const T_BT_SET_PCM_LOOPBACK_REQ& req);
std::string HciActionText(const T_BT_HCI_COMMAND_REQ& req, int radix);

#define BT_OP_FACTS(Name, Shape, Request, Confirm, Function, Opcode, Command, Check, Action)       \
    struct Name {                                                                                  \
        static constexpr T_ATCTST_BT_FUNCTION function = Function;                                 \
        static constexpr T_BT_OPCODE opcode = Opcode;                                              \
        static constexpr VersionCheck check = VersionCheck::Check;                                 \
        static constexpr OpShape shape = OpShape::Shape;                                           \
        static constexpr auto action = Action;                                                     \
        static_assert(function == none || kOpcodeOfFunction[function] == opcode,                   \
                      #Name ": the opcode of another function");                                   \
    };
BT_OPERATIONS(BT_OP_FACTS)
#undef BT_OP_FACTS
} // namespace bt_op
