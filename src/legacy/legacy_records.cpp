#include "legacy/legacy_records.h"

namespace legacy_records {

namespace {

void PutLittleEndian(uint8_t (&out)[2], uint16_t value) {
    out[0] = static_cast<uint8_t>(value & 0xFF);
    out[1] = static_cast<uint8_t>(value >> 8);
}

uint16_t LittleEndian(const uint8_t (&in)[2]) {
    return static_cast<uint16_t>(in[0] | (in[1] << 8));
}

uint8_t LowByte(uint32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

} // namespace

LegacyRequest<atctst_bt_set_rf_test_mode> Encode(uint8_t version,
                                                 const T_BT_SET_RF_TEST_MODE_REQ& in) {
    T_ATCTST_BT_SET_RF_TEST_MODE_REQ w{};
    w.version = version;
    std::memcpy(w.bd_address, in.bd_address, sizeof w.bd_address);
    w.epc_max_power_1mbps = in.epc_max_power_1mbps;
    w.epc_max_power_2mbps = in.epc_max_power_2mbps;
    w.epc_max_power_3mbps = in.epc_max_power_3mbps;
    w.epc_num_steps = in.epc_num_steps;
    w.epc_step_size = in.epc_step_size;
    w.epc_max_step_1mbps = in.epc_max_step_1mbps;
    w.epc_max_step_2mbps = in.epc_max_step_2mbps;
    w.epc_max_step_3mbps = in.epc_max_step_3mbps;
    w.lpc_power_1mbps = in.lpc_power_1mbps;
    w.lpc_power_2mbps = in.lpc_power_2mbps;
    w.lpc_power_3mbps = in.lpc_power_3mbps;
    w.lpc_num_steps = in.lpc_num_steps;
    w.lpc_step_size = in.lpc_step_size;
    w.br_power_level = in.br_power_level;
    w.le_power_level = in.le_power_level;
    return ToBytes<atctst_bt_set_rf_test_mode>(w);
}

LegacyRequest<atctst_bt_set_tx_burst_mode> Encode(uint8_t version,
                                                  const T_BT_SET_TX_BURST_MODE_REQ& in) {
    T_ATCTST_BT_SET_TX_BURST_MODE_REQ w{};
    w.version = version;
    std::memcpy(w.bd_address, in.bd_address, sizeof w.bd_address);
    w.channel = in.channel;
    w.power_step = in.power_step;
    w.pattern_kind = in.pattern_kind;
    w.pattern_byte = in.pattern_byte;
    w.packet_type = LowByte(in.packet_type);
    w.tx_interval = in.tx_interval;
    w.hopping = in.hopping;
    std::memcpy(w.afh_channel_map, in.afh_channel_map, sizeof w.afh_channel_map);
    w.whitening = in.whitening;
    w.lpc_power_1mbps = in.lpc_power_1mbps;
    w.lpc_power_2mbps = in.lpc_power_2mbps;
    w.lpc_power_3mbps = in.lpc_power_3mbps;
    w.lpc_num_steps = in.lpc_num_steps;
    w.lpc_step_size = in.lpc_step_size;
    return ToBytes<atctst_bt_set_tx_burst_mode>(w);
}

LegacyRequest<atctst_bt_set_tx_continuous_mode> Encode(uint8_t version,
                                                       const T_BT_SET_TX_CONTINUOUS_MODE_REQ& in) {
    const T_ATCTST_BT_SET_TX_CONTINUOUS_MODE_REQ w{
        version,         in.channel,      in.coarse_power,       in.fine_power,
        in.pattern_kind, in.pattern_byte, LowByte(in.modulation)};
    return ToBytes<atctst_bt_set_tx_continuous_mode>(w);
}

LegacyRequest<atctst_bt_set_rx_continuous_mode> Encode(uint8_t version,
                                                       const T_BT_SET_RX_CONTINUOUS_MODE_REQ& in) {
    return ToBytes<atctst_bt_set_rx_continuous_mode>(
        T_ATCTST_BT_SET_RX_CONTINUOUS_MODE_REQ{version, in.channel});
}

LegacyRequest<atctst_bt_set_tx_le_mode> Encode(uint8_t version, const T_BT_SET_TX_LE_MODE_REQ& in) {
    return ToBytes<atctst_bt_set_tx_le_mode>(T_ATCTST_BT_SET_TX_LE_MODE_REQ{
        version, in.channel, in.data_length, in.power_level, LowByte(in.pattern)});
}

LegacyRequest<atctst_bt_rx_le_start> Encode(uint8_t version, const T_BT_RX_LE_START_REQ& in) {
    return ToBytes<atctst_bt_rx_le_start>(T_ATCTST_BT_RX_LE_START_REQ{version, in.channel});
}

LegacyRequest<atctst_bt_initialize> EncodeInitialize(uint8_t version, uint8_t state) {
    return ToBytes<atctst_bt_initialize>(T_ATCTST_BT_INITIALIZE_REQ{version, state});
}

LegacyRequest<atctst_bt_get_rssi_value> Encode(uint8_t version, const T_BT_GET_RSSI_VALUE_REQ& in) {
    return ToBytes<atctst_bt_get_rssi_value>(T_ATCTST_BT_GET_RSSI_VALUE_REQ{
        version, {in.connection_handle[0], in.connection_handle[1]}});
}

LegacyRequest<atctst_bt_set_rtrim_manual_values> Encode(uint8_t version,
                                                        const T_BT_SET_RTRIM_MANUAL_VALUE_REQ& in) {
    return ToBytes<atctst_bt_set_rtrim_manual_values>(
        T_ATCTST_BT_SET_RTRIM_MANUAL_VALUE_REQ{version, in.use_manual, in.manual_value});
}

LegacyRequest<atctst_bt_set_kfreq_ibiasdac_manual_values>
Encode(uint8_t version, const T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ& in) {
    return ToBytes<atctst_bt_set_kfreq_ibiasdac_manual_values>(
        T_ATCTST_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ{version, in.use_manual_kfreq,
                                                         in.manual_kfreq, in.use_manual_ibiasdac,
                                                         in.manual_ibiasdac});
}

LegacyRequest<atctst_bt_set_temperature_values> Encode(uint8_t version,
                                                       const T_BT_SET_TEMPERATURE_VALUES_REQ& in) {
    T_ATCTST_BT_SET_TEMPERATURE_VALUES_REQ w{};
    w.version = version;
    w.use_manual = in.use_manual;
    PutLittleEndian(w.manual_value, in.manual_value);
    return ToBytes<atctst_bt_set_temperature_values>(w);
}

LegacyRequest<atctst_bt_set_voltage_values> Encode(uint8_t version,
                                                   const T_BT_SET_VOLTAGE_VALUES_REQ& in) {
    return ToBytes<atctst_bt_set_voltage_values>(T_ATCTST_BT_SET_VOLTAGE_VALUES_REQ{
        version, in.use_manual, in.propagation, in.manual_value});
}

LegacyRequest<atctst_bt_set_pcm_uart_wakeup_interface>
Encode(uint8_t version, const T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ& in) {
    return ToBytes<atctst_bt_set_pcm_uart_wakeup_interface>(
        T_ATCTST_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ{version, LowByte(in.pcm), LowByte(in.uart),
                                                      LowByte(in.wakeup)});
}

LegacyRequest<atctst_bt_set_pcm_loopback> Encode(uint8_t version,
                                                 const T_BT_SET_PCM_LOOPBACK_REQ& in) {
    return ToBytes<atctst_bt_set_pcm_loopback>(
        T_ATCTST_BT_SET_PCM_LOOPBACK_REQ{version, LowByte(in.loopback_type)});
}

LegacyRequest<atctst_bt_hci_command> Encode(uint8_t version, const T_BT_HCI_COMMAND_REQ& in) {
    T_ATCTST_BT_HCI_COMMAND_REQ w{};
    w.version = version;
    w.length = in.length;
    std::memcpy(w.data, in.data, sizeof w.data);
    return ToBytes<atctst_bt_hci_command>(w);
}

void Decode(const LegacyConfirm<atctst_bt_rx_le_end>& in, T_BT_RX_LE_END_CON* out) {
    const auto w = FromBytes<T_ATCTST_BT_RX_LE_END_CON>(in);
    out->packets_high = w.packets_high;
    out->packets_low = w.packets_low;
}

void Decode(const LegacyConfirm<atctst_bt_get_lumora_version>& in,
            T_BT_GET_LUMORA_VERSION_CON* out) {
    const auto w = FromBytes<T_ATCTST_BT_GET_LUMORA_VERSION_CON>(in);
    std::memcpy(out->version_info, w.version_info, sizeof out->version_info);
}

void Decode(const LegacyConfirm<atctst_bt_get_rssi_value>& in, T_BT_GET_RSSI_VALUE_CON* out) {
    out->rssi = FromBytes<T_ATCTST_BT_GET_RSSI_VALUE_CON>(in).rssi;
}

void Decode(const LegacyConfirm<atctst_bt_get_rtrim_values>& in, T_BT_GET_RTRIM_VALUES_CON* out) {
    const auto w = FromBytes<T_ATCTST_BT_GET_RTRIM_VALUES_CON>(in);
    out->use_manual = w.use_manual;
    out->manual_value = w.manual_value;
    out->fused_value = w.fused_value;
}

void Decode(const LegacyConfirm<atctst_bt_get_kfreq_ibiasdac_values>& in,
            T_BT_GET_KFREQ_IBIASDAC_VALUES_CON* out) {
    const auto w = FromBytes<T_ATCTST_BT_GET_KFREQ_IBIASDAC_VALUES_CON>(in);
    out->use_manual_kfreq = w.use_manual_kfreq;
    out->manual_kfreq = w.manual_kfreq;
    out->fused_kfreq = w.fused_kfreq;
    out->use_manual_ibiasdac = w.use_manual_ibiasdac;
    out->manual_ibiasdac = w.manual_ibiasdac;
    out->fused_ibiasdac = w.fused_ibiasdac;
}

void Decode(const LegacyConfirm<atctst_bt_get_temperature_values>& in,
            T_BT_GET_TEMPERATURE_VALUES_CON* out) {
    const auto w = FromBytes<T_ATCTST_BT_GET_TEMPERATURE_VALUES_CON>(in);
    out->use_manual = w.use_manual;
    out->manual_value = LittleEndian(w.manual_value);
    out->fused_value = LittleEndian(w.fused_value);
}

void Decode(const LegacyConfirm<atctst_bt_get_voltage_values>& in,
            T_BT_GET_VOLTAGE_VALUES_CON* out) {
    const auto w = FromBytes<T_ATCTST_BT_GET_VOLTAGE_VALUES_CON>(in);
    out->use_manual = w.use_manual;
    out->propagation = w.propagation;
    out->manual_value = w.manual_value;
    out->fused_value = w.fused_value;
}

void Decode(const LegacyConfirm<atctst_bt_get_pcm_uart_wakeup_interface_status>& in,
            T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON* out) {
    const auto w = FromBytes<T_ATCTST_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON>(in);
    out->pcm = w.pcm;
    out->uart = w.uart;
    out->wakeup = w.wakeup;
}

void Decode(const LegacyConfirm<atctst_bt_hci_command>& in, T_BT_HCI_COMMAND_CON* out) {
    const auto w = FromBytes<T_ATCTST_BT_HCI_COMMAND_CON>(in);
    out->length = w.length;
    std::memcpy(out->data, w.data, sizeof out->data);
}

} // namespace legacy_records
