#pragma once
// The one interface through which the form drives the chip, whichever protocol carries
// the commands, with the request and confirm records it takes and fills.

#include <cstdint>
#include <string>
#include <type_traits>

#include "bt/bt_types.h"
#include "bt/nvm_params.h"
#include "bt/operations.h"

// Request (_REQ) and confirm (_CON) records. Plain, naturally aligned structs: the text
// back-end transfers them field by field and the legacy back-end copies them into its own
// packed wire records. `result` receives the phone's result code.

struct T_BT_SET_RF_TEST_MODE_REQ {
    uint8_t bd_address[6];
    uint8_t epc_num_steps;
    uint8_t epc_step_size;
    uint8_t epc_max_step_1mbps;
    uint8_t epc_max_step_2mbps;
    uint8_t epc_max_step_3mbps;
    uint8_t lpc_num_steps;
    uint8_t lpc_step_size;
    int8_t epc_max_power_1mbps;
    int8_t epc_max_power_2mbps;
    int8_t epc_max_power_3mbps;
    int8_t lpc_power_1mbps;
    int8_t lpc_power_2mbps;
    int8_t lpc_power_3mbps;
    int8_t br_power_level;
    int8_t le_power_level;
};

struct T_BT_SET_TX_BURST_MODE_REQ {
    uint8_t bd_address[6];
    uint8_t channel;
    uint8_t power_step;
    uint8_t pattern_kind;
    uint8_t pattern_byte;
    uint8_t tx_interval;
    uint8_t hopping;
    uint8_t whitening;
    uint8_t lpc_num_steps;
    uint8_t lpc_step_size;
    uint8_t afh_channel_map[10];
    int8_t lpc_power_1mbps;
    int8_t lpc_power_2mbps;
    int8_t lpc_power_3mbps;
    uint32_t packet_type;
};

struct T_BT_SET_TX_CONTINUOUS_MODE_REQ {
    uint8_t channel;
    uint8_t coarse_power;
    uint8_t fine_power;
    uint8_t pattern_kind;
    uint8_t pattern_byte;
    uint32_t modulation;
};

struct T_BT_SET_RX_CONTINUOUS_MODE_REQ {
    uint8_t channel;
};

struct T_BT_SET_TX_LE_MODE_REQ {
    uint8_t channel;
    uint8_t data_length;
    int8_t power_level;
    uint32_t pattern;
};

struct T_BT_RX_LE_START_REQ {
    uint8_t channel;
};

struct T_BT_RX_LE_END_CON {
    uint8_t packets_high;
    uint8_t packets_low;
    int32_t result;
};

struct T_BT_GET_LUMORA_VERSION_CON {
    uint8_t version_info[10];
    int32_t result;
};

struct T_BT_GET_RSSI_VALUE_REQ {
    uint8_t connection_handle[2];
};

struct T_BT_GET_RSSI_VALUE_CON {
    int8_t rssi;
    int32_t result;
};

struct T_BT_GET_RTRIM_VALUES_CON {
    uint8_t use_manual;
    uint8_t manual_value;
    uint8_t fused_value;
    int32_t result;
};

struct T_BT_SET_RTRIM_MANUAL_VALUE_REQ {
    uint8_t use_manual;
    uint8_t manual_value;
};

struct T_BT_GET_KFREQ_IBIASDAC_VALUES_CON {
    uint8_t use_manual_kfreq;
    uint8_t manual_kfreq;
    uint8_t fused_kfreq;
    uint8_t use_manual_ibiasdac;
    uint8_t manual_ibiasdac;
    uint8_t fused_ibiasdac;
    int32_t result;
};

struct T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ {
    uint8_t use_manual_kfreq;
    uint8_t manual_kfreq;
    uint8_t use_manual_ibiasdac;
    uint8_t manual_ibiasdac;
};

struct T_BT_GET_TEMPERATURE_VALUES_CON {
    uint8_t use_manual;
    uint16_t manual_value;
    uint16_t fused_value;
    int32_t result;
};

struct T_BT_SET_TEMPERATURE_VALUES_REQ {
    uint8_t use_manual;
    uint16_t manual_value;
};

struct T_BT_GET_VOLTAGE_VALUES_CON {
    uint8_t use_manual;
    uint8_t propagation;
    uint8_t manual_value;
    uint8_t fused_value;
    int32_t result;
};

struct T_BT_SET_VOLTAGE_VALUES_REQ {
    uint8_t use_manual;
    uint8_t propagation;
    uint8_t manual_value;
};

// Connection types: 0 internal, 1 external.
struct T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON {
    uint32_t pcm;
    uint32_t uart;
    uint32_t wakeup;
    int32_t result;
};

struct T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ {
    uint32_t pcm;
    uint32_t uart;
    uint32_t wakeup;
};

// Loopback types: 0 off, 1 air to air, 2 PCM to PCM.
struct T_BT_SET_PCM_LOOPBACK_REQ {
    uint32_t loopback_type;
};

constexpr int kHciDataSize = 150;

struct T_BT_HCI_COMMAND_REQ {
    uint8_t length;
    uint8_t data[kHciDataSize];
};

struct T_BT_HCI_COMMAND_CON {
    uint8_t length;
    uint8_t data[kHciDataSize];
    int32_t result;
};

class IBluetooth {
public:
    IBluetooth();
    virtual ~IBluetooth();
    IBluetooth(const IBluetooth&) = delete;
    IBluetooth& operator=(const IBluetooth&) = delete;

    // The command number is a T_ATCTST_BT_FUNCTION for the legacy back-end and a
    // T_BT_OPCODE for the text back-end.
    virtual uint8_t GetReqVersion(uint16_t command) = 0;
    virtual uint8_t GetConVersion(uint16_t command) = 0;
    virtual uint8_t GetNvmDataVersion(uint8_t index) = 0;

    // The operations of bt/operations.h. ResetHci is true when no error occurred and sets
    // *resetOk when the phone agreed; HciCommand's `radix` (16 or 10) only shapes the log
    // line; ReadAllNvmParams fills *params, then copies it into nvm_params.
#define BT_OP_DECLARE(Name, Shape, Request, Confirm, Function, Opcode, Command, Check, Action)     \
    virtual BT_OP_SIGNATURE_##Shape(Name, Request, Confirm) = 0;
    BT_OPERATIONS(BT_OP_DECLARE)
#undef BT_OP_DECLARE

    // GetNvm<Param>: by default the value of the last read-all, without an exchange. The
    // arrays write 6 (BD address) or 8 (LMP features) bytes.
#define BT_NVM_GETTER(Camel, field, id, kind, transfer, units)                                            \
    virtual T_Result GetNvm##Camel(uint8_t version, BT_NVM_VALUE_T_##kind* value);
    BT_NVM_PARAMS(BT_NVM_GETTER)
#undef BT_NVM_GETTER

#define BT_NVM_SETTER(Camel, field, id, kind, transfer, units)                                            \
    virtual T_Result SetNvm##Camel(uint8_t version, BT_NVM_SET_T_##kind value) = 0;
    BT_NVM_PARAMS(BT_NVM_SETTER)
#undef BT_NVM_SETTER

    uint8_t IsBtOn() const {
        return bt_on;
    }
    uint8_t GetHostInterface() const {
        return host_interface;
    }

    // "\nData version mismatch. <name>: expected = <expected>, actual = <actual>"
    static std::string FormatVersionMismatch(const std::string& name, uint8_t expected,
                                             uint8_t actual);

protected:
    // The action line of operation Op (bt_op::<Name>), flag 1: the row's text, or the text
    // its function makes of `args`.
    template <typename Op, typename... Args> static void LogAction(const Args&... args) {
        if constexpr (std::is_invocable_v<decltype(Op::action), const Args&...>)
            ShowAction(Op::action(args...));
        else
            ShowAction(Op::action);
    }
    static void ShowAction(const std::string& text);

    // 1 running, 0 stopped. Starts at 0: the chip is taken as stopped until a hardware
    // query says otherwise.
    uint8_t bt_on = 0;
    // 0 UART, 1 BT-IF; 2 (none reported) until a hardware query succeeds.
    uint8_t host_interface = 2;
    T_BT_ALL_NVM_PARAMS nvm_params{};
};
