#pragma once
// The wire records of the binary test functions and their codec: the form's request
// records become packed request bytes, and confirm bytes become the form's confirm
// records. Pure functions of bytes; no host, no log.
//
// Every request starts with its data version; every confirm with its status, and a
// confirm that carries data has its data version at offset 1. Multi-byte numbers are
// little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bt/bluetooth_transport.h"
#include "bt/ibluetooth.h"

#pragma pack(push, 1)

struct T_ATCTST_BT_SET_RF_TEST_MODE_REQ {
    uint8_t version;
    uint8_t bd_address[6];
    int8_t epc_max_power_1mbps;
    int8_t epc_max_power_2mbps;
    int8_t epc_max_power_3mbps;
    uint8_t epc_num_steps;
    uint8_t epc_step_size;
    uint8_t epc_max_step_1mbps;
    uint8_t epc_max_step_2mbps;
    uint8_t epc_max_step_3mbps;
    int8_t lpc_power_1mbps;
    int8_t lpc_power_2mbps;
    int8_t lpc_power_3mbps;
    uint8_t lpc_num_steps;
    uint8_t lpc_step_size;
    int8_t br_power_level;
    int8_t le_power_level;
};

struct T_ATCTST_BT_SET_TX_BURST_MODE_REQ {
    uint8_t version;
    uint8_t bd_address[6];
    uint8_t channel;
    uint8_t power_step;
    uint8_t pattern_kind;
    uint8_t pattern_byte;
    uint8_t packet_type;
    uint8_t tx_interval;
    uint8_t hopping;
    uint8_t afh_channel_map[10];
    uint8_t whitening;
    int8_t lpc_power_1mbps;
    int8_t lpc_power_2mbps;
    int8_t lpc_power_3mbps;
    uint8_t lpc_num_steps;
    uint8_t lpc_step_size;
};

struct T_ATCTST_BT_SET_TX_CONTINUOUS_MODE_REQ {
    uint8_t version;
    uint8_t channel;
    uint8_t coarse_power;
    uint8_t fine_power;
    uint8_t pattern_kind;
    uint8_t pattern_byte;
    uint8_t modulation;
};

struct T_ATCTST_BT_SET_RX_CONTINUOUS_MODE_REQ {
    uint8_t version;
    uint8_t channel;
};

struct T_ATCTST_BT_SET_TX_LE_MODE_REQ {
    uint8_t version;
    uint8_t channel;
    uint8_t data_length;
    int8_t power_level;
    uint8_t pattern;
};

struct T_ATCTST_BT_RX_LE_START_REQ {
    uint8_t version;
    uint8_t channel;
};

struct T_ATCTST_BT_RX_LE_END_CON {
    uint8_t status;
    uint8_t version;
    uint8_t packets_high;
    uint8_t packets_low;
};

struct T_ATCTST_BT_GET_LUMORA_VERSION_CON {
    uint8_t status;
    uint8_t version;
    uint8_t version_info[10];
};

struct T_ATCTST_BT_HW_INFO_CON_UNION {
    uint8_t status;
    uint8_t version;
    uint8_t host_interface;
    uint8_t bt_on;
};

struct T_ATCTST_BT_INITIALIZE_REQ {
    uint8_t version;
    uint8_t state; // 1 start, 0 stop
};

struct T_ATCTST_BT_GET_RSSI_VALUE_REQ {
    uint8_t version;
    uint8_t connection_handle[2];
};

struct T_ATCTST_BT_GET_RSSI_VALUE_CON {
    uint8_t status;
    uint8_t version;
    int8_t rssi;
};

struct T_ATCTST_BT_GET_RTRIM_VALUES_CON {
    uint8_t status;
    uint8_t version;
    uint8_t use_manual;
    uint8_t manual_value;
    uint8_t fused_value;
};

struct T_ATCTST_BT_SET_RTRIM_MANUAL_VALUE_REQ {
    uint8_t version;
    uint8_t use_manual;
    uint8_t manual_value;
};

struct T_ATCTST_BT_GET_KFREQ_IBIASDAC_VALUES_CON {
    uint8_t status;
    uint8_t version;
    uint8_t use_manual_kfreq;
    uint8_t manual_kfreq;
    uint8_t fused_kfreq;
    uint8_t use_manual_ibiasdac;
    uint8_t manual_ibiasdac;
    uint8_t fused_ibiasdac;
};

struct T_ATCTST_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ {
    uint8_t version;
    uint8_t use_manual_kfreq;
    uint8_t manual_kfreq;
    uint8_t use_manual_ibiasdac;
    uint8_t manual_ibiasdac;
};

// The reserved bytes keep the 16-bit fields on even offsets.
struct T_ATCTST_BT_GET_TEMPERATURE_VALUES_CON {
    uint8_t status;
    uint8_t version;
    uint8_t use_manual;
    uint8_t reserved;
    uint8_t manual_value[2];
    uint8_t fused_value[2];
};

struct T_ATCTST_BT_SET_TEMPERATURE_VALUES_REQ {
    uint8_t version;
    uint8_t reserved1;
    uint8_t use_manual;
    uint8_t reserved2;
    uint8_t manual_value[2];
};

struct T_ATCTST_BT_GET_VOLTAGE_VALUES_CON {
    uint8_t status;
    uint8_t version;
    uint8_t use_manual;
    uint8_t propagation;
    uint8_t manual_value;
    uint8_t fused_value;
};

struct T_ATCTST_BT_SET_VOLTAGE_VALUES_REQ {
    uint8_t version;
    uint8_t use_manual;
    uint8_t propagation;
    uint8_t manual_value;
};

struct T_ATCTST_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ {
    uint8_t version;
    uint8_t pcm;
    uint8_t uart;
    uint8_t wakeup;
};

struct T_ATCTST_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON {
    uint8_t status;
    uint8_t version;
    uint8_t pcm;
    uint8_t uart;
    uint8_t wakeup;
};

struct T_ATCTST_BT_SET_PCM_LOOPBACK_REQ {
    uint8_t version;
    uint8_t loopback_type;
};

struct T_ATCTST_BT_HCI_COMMAND_REQ {
    uint8_t version;
    uint8_t length;
    uint8_t data[kHciDataSize];
};

struct T_ATCTST_BT_HCI_COMMAND_CON {
    uint8_t status;
    uint8_t version;
    uint8_t length;
    uint8_t data[kHciDataSize];
};

#pragma pack(pop)

// Each wire record belongs to one test function and has exactly that function's size.
#define BT_LEGACY_WIRE_RECORDS(X)                                                                  \
    X(T_ATCTST_BT_SET_RF_TEST_MODE_REQ, atctst_bt_set_rf_test_mode, request)                       \
    X(T_ATCTST_BT_SET_TX_BURST_MODE_REQ, atctst_bt_set_tx_burst_mode, request)                     \
    X(T_ATCTST_BT_SET_TX_CONTINUOUS_MODE_REQ, atctst_bt_set_tx_continuous_mode, request)           \
    X(T_ATCTST_BT_SET_RX_CONTINUOUS_MODE_REQ, atctst_bt_set_rx_continuous_mode, request)           \
    X(T_ATCTST_BT_SET_TX_LE_MODE_REQ, atctst_bt_set_tx_le_mode, request)                           \
    X(T_ATCTST_BT_RX_LE_START_REQ, atctst_bt_rx_le_start, request)                                 \
    X(T_ATCTST_BT_RX_LE_END_CON, atctst_bt_rx_le_end, confirm)                                     \
    X(T_ATCTST_BT_GET_LUMORA_VERSION_CON, atctst_bt_get_lumora_version, confirm)                   \
    X(T_ATCTST_BT_HW_INFO_CON_UNION, atctst_bt_hw_info, confirm)                                   \
    X(T_ATCTST_BT_INITIALIZE_REQ, atctst_bt_initialize, request)                                   \
    X(T_ATCTST_BT_GET_RSSI_VALUE_REQ, atctst_bt_get_rssi_value, request)                           \
    X(T_ATCTST_BT_GET_RSSI_VALUE_CON, atctst_bt_get_rssi_value, confirm)                           \
    X(T_ATCTST_BT_GET_RTRIM_VALUES_CON, atctst_bt_get_rtrim_values, confirm)                       \
    X(T_ATCTST_BT_SET_RTRIM_MANUAL_VALUE_REQ, atctst_bt_set_rtrim_manual_values, request)          \
    X(T_ATCTST_BT_GET_KFREQ_IBIASDAC_VALUES_CON, atctst_bt_get_kfreq_ibiasdac_values, confirm)     \
    X(T_ATCTST_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ,                                            \
      atctst_bt_set_kfreq_ibiasdac_manual_values, request)                                         \
    X(T_ATCTST_BT_GET_TEMPERATURE_VALUES_CON, atctst_bt_get_temperature_values, confirm)           \
    X(T_ATCTST_BT_SET_TEMPERATURE_VALUES_REQ, atctst_bt_set_temperature_values, request)           \
    X(T_ATCTST_BT_GET_VOLTAGE_VALUES_CON, atctst_bt_get_voltage_values, confirm)                   \
    X(T_ATCTST_BT_SET_VOLTAGE_VALUES_REQ, atctst_bt_set_voltage_values, request)                   \
    X(T_ATCTST_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ, atctst_bt_set_pcm_uart_wakeup_interface,      \
      request)                                                                                     \
    X(T_ATCTST_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON,                                        \
      atctst_bt_get_pcm_uart_wakeup_interface_status, confirm)                                     \
    X(T_ATCTST_BT_SET_PCM_LOOPBACK_REQ, atctst_bt_set_pcm_loopback, request)                       \
    X(T_ATCTST_BT_HCI_COMMAND_REQ, atctst_bt_hci_command, request)                                 \
    X(T_ATCTST_BT_HCI_COMMAND_CON, atctst_bt_hci_command, confirm)

#define BT_LEGACY_CHECK_SIZE(Record, function, side)                                               \
    static_assert(sizeof(Record) == kLegacyFunctionSizes[function].side, #Record);
BT_LEGACY_WIRE_RECORDS(BT_LEGACY_CHECK_SIZE)
#undef BT_LEGACY_CHECK_SIZE

namespace legacy_records {

enum class Side { request, confirm };

// The type name of a function's wire record, which a version mismatch names.
template <T_ATCTST_BT_FUNCTION F, Side S> inline constexpr const char* kRecordName = nullptr;
#define BT_LEGACY_RECORD_NAME(Record, function, side)                                              \
    template <> inline constexpr const char* kRecordName<function, Side::side> = #Record;
BT_LEGACY_WIRE_RECORDS(BT_LEGACY_RECORD_NAME)
#undef BT_LEGACY_RECORD_NAME

// The bytes of a wire request record.
template <T_ATCTST_BT_FUNCTION F, typename Wire> LegacyRequest<F> ToBytes(const Wire& wire) {
    static_assert(sizeof(Wire) == kLegacyFunctionSizes[F].request);
    LegacyRequest<F> bytes{};
    std::memcpy(bytes.data(), &wire, sizeof wire);
    return bytes;
}

// A wire confirm record read from its bytes.
template <typename Wire, std::size_t N> Wire FromBytes(const std::array<uint8_t, N>& bytes) {
    static_assert(sizeof(Wire) == N);
    Wire wire;
    std::memcpy(&wire, bytes.data(), sizeof wire);
    return wire;
}

// The data version of a data-carrying confirm.
template <std::size_t N> uint8_t ConfirmVersion(const std::array<uint8_t, N>& bytes) {
    static_assert(N >= 2);
    return bytes[1];
}

// Encoders: the wire request of the form's request record, chosen by the record's type.
LegacyRequest<atctst_bt_set_rf_test_mode> Encode(uint8_t version,
                                                 const T_BT_SET_RF_TEST_MODE_REQ& in);
LegacyRequest<atctst_bt_set_tx_burst_mode> Encode(uint8_t version,
                                                  const T_BT_SET_TX_BURST_MODE_REQ& in);
LegacyRequest<atctst_bt_set_tx_continuous_mode> Encode(uint8_t version,
                                                       const T_BT_SET_TX_CONTINUOUS_MODE_REQ& in);
LegacyRequest<atctst_bt_set_rx_continuous_mode> Encode(uint8_t version,
                                                       const T_BT_SET_RX_CONTINUOUS_MODE_REQ& in);
LegacyRequest<atctst_bt_set_tx_le_mode> Encode(uint8_t version, const T_BT_SET_TX_LE_MODE_REQ& in);
LegacyRequest<atctst_bt_rx_le_start> Encode(uint8_t version, const T_BT_RX_LE_START_REQ& in);
LegacyRequest<atctst_bt_initialize> EncodeInitialize(uint8_t version, uint8_t state);
LegacyRequest<atctst_bt_get_rssi_value> Encode(uint8_t version, const T_BT_GET_RSSI_VALUE_REQ& in);
LegacyRequest<atctst_bt_set_rtrim_manual_values> Encode(uint8_t version,
                                                        const T_BT_SET_RTRIM_MANUAL_VALUE_REQ& in);
LegacyRequest<atctst_bt_set_kfreq_ibiasdac_manual_values>
Encode(uint8_t version, const T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ& in);
LegacyRequest<atctst_bt_set_temperature_values> Encode(uint8_t version,
                                                       const T_BT_SET_TEMPERATURE_VALUES_REQ& in);
LegacyRequest<atctst_bt_set_voltage_values> Encode(uint8_t version,
                                                   const T_BT_SET_VOLTAGE_VALUES_REQ& in);
LegacyRequest<atctst_bt_set_pcm_uart_wakeup_interface>
Encode(uint8_t version, const T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ& in);
LegacyRequest<atctst_bt_set_pcm_loopback> Encode(uint8_t version,
                                                 const T_BT_SET_PCM_LOOPBACK_REQ& in);
LegacyRequest<atctst_bt_hci_command> Encode(uint8_t version, const T_BT_HCI_COMMAND_REQ& in);

// Decoders copy the payload into the form's record and leave its result field alone.
void Decode(const LegacyConfirm<atctst_bt_rx_le_end>& in, T_BT_RX_LE_END_CON* out);
void Decode(const LegacyConfirm<atctst_bt_get_lumora_version>& in,
            T_BT_GET_LUMORA_VERSION_CON* out);
void Decode(const LegacyConfirm<atctst_bt_get_rssi_value>& in, T_BT_GET_RSSI_VALUE_CON* out);
void Decode(const LegacyConfirm<atctst_bt_get_rtrim_values>& in, T_BT_GET_RTRIM_VALUES_CON* out);
void Decode(const LegacyConfirm<atctst_bt_get_kfreq_ibiasdac_values>& in,
            T_BT_GET_KFREQ_IBIASDAC_VALUES_CON* out);
void Decode(const LegacyConfirm<atctst_bt_get_temperature_values>& in,
            T_BT_GET_TEMPERATURE_VALUES_CON* out);
void Decode(const LegacyConfirm<atctst_bt_get_voltage_values>& in,
            T_BT_GET_VOLTAGE_VALUES_CON* out);
void Decode(const LegacyConfirm<atctst_bt_get_pcm_uart_wakeup_interface_status>& in,
            T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON* out);
// Length byte and all 150 data bytes, whatever the length says.
void Decode(const LegacyConfirm<atctst_bt_hci_command>& in, T_BT_HCI_COMMAND_CON* out);

} // namespace legacy_records
