#include "legacy/bluetoothlegacy.h"

#include <cstring>
#include <type_traits>

#include "legacy/legacy_records.h"
#include "plugin/plugin.h"

using legacy_framing::Outcome;
namespace rec = legacy_records;

namespace {

constexpr char kNotSupported[] = "NVM command not supported";

// The record name carried by a mismatch message is the wire record's own type name.
#define BT_RECORD_NAME(Record) (static_cast<void>(sizeof(Record)), #Record)

T_Result Mismatch(const std::string& name, uint8_t expected, uint8_t actual) {
    return {T_RESULT_VERSION_MISMATCH, IBluetooth::FormatVersionMismatch(name, expected, actual)};
}

// The 16 parameters of the binary protocol by their T_BT_NVM_PARAM_TYPE.
struct WireMapping {
    T_BT_NVM_PARAM_TYPE type;
    T_BT_NVM_PARAM wire;
};
constexpr WireMapping kWireMap[] = {
    {BNPT_BT_ADDRESS, BT_NVM_BT_ADDRESS},
    {BNPT_EPC_MAX_POWER_1MBPS, BT_NVM_EPC_MAX_POWER_1MBPS},
    {BNPT_EPC_MAX_POWER_2MBPS, BT_NVM_EPC_MAX_POWER_2MBPS},
    {BNPT_EPC_MAX_POWER_3MBPS, BT_NVM_EPC_MAX_POWER_3MBPS},
    {BNPT_EPC_NUM_OF_PWR_CTRL_STEPS, BT_NVM_EPC_NUM_OF_PWR_CTRL_STEPS},
    {BNPT_EPC_PWR_CTRL_STEP_SIZE, BT_NVM_EPC_PWR_CTRL_STEP_SIZE},
    {BNPT_EPC_HIGHEST_STEP_1MBPS, BT_NVM_EPC_HIGHEST_STEP_1MBPS},
    {BNPT_EPC_HIGHEST_STEP_2MBPS, BT_NVM_EPC_HIGHEST_STEP_2MBPS},
    {BNPT_EPC_HIGHEST_STEP_3MBPS, BT_NVM_EPC_HIGHEST_STEP_3MBPS},
    {BNPT_LPC_MAX_POWER_1MBPS, BT_NVM_LPC_MAX_POWER_1MBPS},
    {BNPT_LPC_MAX_POWER_2MBPS, BT_NVM_LPC_MAX_POWER_2MBPS},
    {BNPT_LPC_MAX_POWER_3MBPS, BT_NVM_LPC_MAX_POWER_3MBPS},
    {BNPT_LPC_NUM_OF_PWR_CTRL_STEPS, BT_NVM_LPC_NUM_OF_PWR_CTRL_STEPS},
    {BNPT_LPC_PWR_CTRL_STEP_SIZE, BT_NVM_LPC_PWR_CTRL_STEP_SIZE},
    {BNPT_BR_PWR_LEVEL, BT_NVM_BR_PWR_LEVEL},
    {BNPT_LE_PWR_LEVEL, BT_NVM_LE_PWR_LEVEL},
};
static_assert(std::size(kWireMap) == BT_NVM_PARAM_COUNT);

template <typename T> const void* BytesOf(const T& value) {
    if constexpr (std::is_pointer_v<T>)
        return value;
    else
        return &value;
}

} // namespace

BluetoothLegacy::BluetoothLegacy() {
    nvm_param_map_.fill(kNoWireId);
    for (const WireMapping& m : kWireMap)
        nvm_param_map_[m.type] = m.wire;
}

BluetoothLegacy::~BluetoothLegacy() = default;

uint8_t BluetoothLegacy::WireIdOf(uint32_t paramType) const {
    return paramType < nvm_param_map_.size() ? nvm_param_map_[paramType] : kNoWireId;
}

uint8_t BluetoothLegacy::GetReqVersion(uint16_t command) {
    return engine_.GetReqVersion(command);
}

uint8_t BluetoothLegacy::GetConVersion(uint16_t command) {
    return engine_.GetConVersion(command);
}

bool BluetoothLegacy::RequestVersionDiffers(uint8_t version, T_ATCTST_BT_FUNCTION function,
                                            const char* recordName, T_Result* result) {
    const uint8_t phone = engine_.GetReqVersion(function);
    if (phone == version) return false;
    *result = Mismatch(recordName, version, phone);
    return true;
}

T_Result BluetoothLegacy::StatusOnly(bool sent) {
    return sent ? T_Result{} : T_Result{T_RESULT_FAILED, {}};
}

// --- device and RF test operations -------------------------------------------------------

T_Result BluetoothLegacy::GetHwInfo(uint8_t version) {
    LogGetHwInfo(version);
    bt_on = 0;
    LegacyConfirm<atctst_bt_hw_info> confirm{};
    if (!engine_.HwInfo(&confirm)) {
        host_interface = 2;
        return {T_RESULT_FAILED, "Error: not able to retrieve BT HW information\n"};
    }
    if (rec::ConfirmVersion(confirm) != version) {
        host_interface = 2;
        return Mismatch(BT_RECORD_NAME(T_ATCTST_BT_HW_INFO_CON_UNION), version,
                        rec::ConfirmVersion(confirm));
    }
    const auto wire = rec::FromBytes<T_ATCTST_BT_HW_INFO_CON_UNION>(confirm);
    host_interface = wire.host_interface;
    bt_on = wire.bt_on;
    return {};
}

T_Result BluetoothLegacy::Initialize(uint8_t version) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_initialize, "atctst_bt_initialize", &result))
        return result;
    LogInitialize(version);
    const uint8_t requested = bt_on == 1 ? 0 : 1;
    if (!engine_.Initialize(rec::EncodeInitialize(version, requested)))
        return {T_RESULT_FAILED, {}};
    bt_on = requested;
    return {};
}

bool BluetoothLegacy::ResetHci(uint8_t version, bool* resetOk) {
    LogResetHci(version);
    const Outcome outcome = engine_.transport().Call<atctst_bt_reset>(nullptr, nullptr);
    if (resetOk) *resetOk = outcome == Outcome::Success;
    return outcome != Outcome::HostFailed;
}

T_Result BluetoothLegacy::SetRfTestMode(uint8_t version, T_BT_SET_RF_TEST_MODE_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_set_rf_test_mode,
                              BT_RECORD_NAME(T_ATCTST_BT_SET_RF_TEST_MODE_REQ), &result))
        return result;
    LogSetRfTestMode(version, req);
    return StatusOnly(engine_.SetRfTestMode(rec::EncodeSetRfTestMode(version, req)));
}

T_Result BluetoothLegacy::SetTxBurstMode(uint8_t version, T_BT_SET_TX_BURST_MODE_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_set_tx_burst_mode,
                              BT_RECORD_NAME(T_ATCTST_BT_SET_TX_BURST_MODE_REQ), &result))
        return result;
    LogSetTxBurstMode(version, req);
    return StatusOnly(engine_.SetTxBurstMode(rec::EncodeSetTxBurstMode(version, req)));
}

T_Result BluetoothLegacy::SetTxContinuousMode(uint8_t version,
                                              T_BT_SET_TX_CONTINUOUS_MODE_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_set_tx_continuous_mode,
                              BT_RECORD_NAME(T_ATCTST_BT_SET_TX_CONTINUOUS_MODE_REQ), &result))
        return result;
    LogSetTxContinuousMode(version, req);
    return StatusOnly(engine_.SetTxContinuousMode(rec::EncodeSetTxContinuousMode(version, req)));
}

T_Result BluetoothLegacy::SetRxContinuousMode(uint8_t version,
                                              T_BT_SET_RX_CONTINUOUS_MODE_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_set_rx_continuous_mode,
                              BT_RECORD_NAME(T_ATCTST_BT_SET_RX_CONTINUOUS_MODE_REQ), &result))
        return result;
    LogSetRxContinuousMode(version, req);
    return StatusOnly(engine_.SetRxContinuousMode(rec::EncodeSetRxContinuousMode(version, req)));
}

T_Result BluetoothLegacy::SetTxLeMode(uint8_t version, T_BT_SET_TX_LE_MODE_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_set_tx_le_mode,
                              BT_RECORD_NAME(T_ATCTST_BT_SET_TX_LE_MODE_REQ), &result))
        return result;
    LogSetTxLeMode(version, req);
    return StatusOnly(engine_.SetTxLeMode(rec::EncodeSetTxLeMode(version, req)));
}

T_Result BluetoothLegacy::RxLeStart(uint8_t version, T_BT_RX_LE_START_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_rx_le_start,
                              BT_RECORD_NAME(T_ATCTST_BT_RX_LE_START_REQ), &result))
        return result;
    LogRxLeStart(version, req);
    return StatusOnly(engine_.RxLeStart(rec::EncodeRxLeStart(version, req)));
}

namespace {

// The common tail of an operation whose confirm carries data: a failed exchange is code 1,
// a confirm of another data version code 2, and only a confirm in the caller's version
// reaches the output.
template <std::size_t N, typename Out>
T_Result DeliverConfirm(bool exchanged, uint8_t version, const std::array<uint8_t, N>& confirm,
                        const char* recordName, Out* out) {
    if (!exchanged) return {T_RESULT_FAILED, {}};
    const uint8_t phone = rec::ConfirmVersion(confirm);
    if (phone != version) return Mismatch(recordName, version, phone);
    if (out) rec::Decode(confirm, out);
    return {};
}

} // namespace

T_Result BluetoothLegacy::RxLeEnd(uint8_t version, T_BT_RX_LE_END_CON* con) {
    LogRxLeEnd(version);
    LegacyConfirm<atctst_bt_rx_le_end> confirm{};
    const bool exchanged = engine_.RxLeEnd(&confirm);
    return DeliverConfirm(exchanged, version, confirm, BT_RECORD_NAME(T_ATCTST_BT_RX_LE_END_CON),
                          con);
}

bool BluetoothLegacy::CheckHostInterface(uint8_t* result) {
    LogCheckHostInterface();
    const Outcome outcome =
        engine_.transport().Call<atctst_bt_check_host_interface>(nullptr, nullptr);
    if (result) *result = outcome == Outcome::Success ? 1 : 0;
    return outcome != Outcome::HostFailed;
}

bool BluetoothLegacy::CheckSleepxSignal(uint8_t* result) {
    LogCheckSleepxSignal();
    const Outcome outcome =
        engine_.transport().Call<atctst_bt_check_sleepx_signal>(nullptr, nullptr);
    if (result) *result = outcome == Outcome::Success ? 1 : 0;
    return outcome != Outcome::HostFailed;
}

T_Result BluetoothLegacy::GetLumoraVersion(uint8_t version, T_BT_GET_LUMORA_VERSION_CON* con) {
    LogGetLumoraVersion(version);
    LegacyConfirm<atctst_bt_get_lumora_version> confirm{};
    const bool exchanged = engine_.GetLumoraVersion(&confirm);
    return DeliverConfirm(exchanged, version, confirm,
                          BT_RECORD_NAME(T_ATCTST_BT_GET_LUMORA_VERSION_CON), con);
}

T_Result BluetoothLegacy::GetRssiValue(uint8_t version, T_BT_GET_RSSI_VALUE_REQ req,
                                       T_BT_GET_RSSI_VALUE_CON* con) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_get_rssi_value,
                              BT_RECORD_NAME(T_ATCTST_BT_GET_RSSI_VALUE_REQ), &result))
        return result;
    LogGetRssiValue(version, req);
    LegacyConfirm<atctst_bt_get_rssi_value> confirm{};
    const bool exchanged = engine_.GetRssiValue(rec::EncodeGetRssiValue(version, req), &confirm);
    return DeliverConfirm(exchanged, version, confirm,
                          BT_RECORD_NAME(T_ATCTST_BT_GET_RSSI_VALUE_CON), con);
}

T_Result BluetoothLegacy::GetRtrimValues(uint8_t version, T_BT_GET_RTRIM_VALUES_CON* con) {
    LogGetRtrimValues(version);
    LegacyConfirm<atctst_bt_get_rtrim_values> confirm{};
    const bool exchanged = engine_.GetRtrimValues(&confirm);
    return DeliverConfirm(exchanged, version, confirm,
                          BT_RECORD_NAME(T_ATCTST_BT_GET_RTRIM_VALUES_CON), con);
}

T_Result BluetoothLegacy::SetRtrimManualValues(uint8_t version,
                                               T_BT_SET_RTRIM_MANUAL_VALUE_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_set_rtrim_manual_values,
                              BT_RECORD_NAME(T_ATCTST_BT_SET_RTRIM_MANUAL_VALUE_REQ), &result))
        return result;
    LogSetRtrimManualValues(version, req);
    return StatusOnly(engine_.SetRtrimManualValues(rec::EncodeSetRtrimManualValues(version, req)));
}

T_Result BluetoothLegacy::GetKfreqIbiasdacValues(uint8_t version,
                                                 T_BT_GET_KFREQ_IBIASDAC_VALUES_CON* con) {
    LogGetKfreqIbiasdacValues(version);
    LegacyConfirm<atctst_bt_get_kfreq_ibiasdac_values> confirm{};
    const bool exchanged = engine_.GetKfreqIbiasdacValues(&confirm);
    return DeliverConfirm(exchanged, version, confirm,
                          BT_RECORD_NAME(T_ATCTST_BT_GET_KFREQ_IBIASDAC_VALUES_CON), con);
}

T_Result
BluetoothLegacy::SetKfreqIbiasdacManualValues(uint8_t version,
                                              T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_set_kfreq_ibiasdac_manual_values,
                              BT_RECORD_NAME(T_ATCTST_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ),
                              &result))
        return result;
    LogSetKfreqIbiasdacManualValues(version, req);
    return StatusOnly(engine_.SetKfreqIbiasdacManualValues(
        rec::EncodeSetKfreqIbiasdacManualValues(version, req)));
}

T_Result BluetoothLegacy::GetTemperatureValues(uint8_t version,
                                               T_BT_GET_TEMPERATURE_VALUES_CON* con) {
    LogGetTemperatureValues(version);
    LegacyConfirm<atctst_bt_get_temperature_values> confirm{};
    const bool exchanged = engine_.GetTemperatureValues(&confirm);
    return DeliverConfirm(exchanged, version, confirm,
                          BT_RECORD_NAME(T_ATCTST_BT_GET_TEMPERATURE_VALUES_CON), con);
}

T_Result BluetoothLegacy::SetTemperatureValues(uint8_t version,
                                               T_BT_SET_TEMPERATURE_VALUES_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_set_temperature_values,
                              BT_RECORD_NAME(T_ATCTST_BT_SET_TEMPERATURE_VALUES_REQ), &result))
        return result;
    LogSetTemperatureValues(version, req);
    return StatusOnly(engine_.SetTemperatureValues(rec::EncodeSetTemperatureValues(version, req)));
}

T_Result BluetoothLegacy::GetVoltageValues(uint8_t version, T_BT_GET_VOLTAGE_VALUES_CON* con) {
    LogGetVoltageValues(version);
    LegacyConfirm<atctst_bt_get_voltage_values> confirm{};
    const bool exchanged = engine_.GetVoltageValues(&confirm);
    return DeliverConfirm(exchanged, version, confirm,
                          BT_RECORD_NAME(T_ATCTST_BT_GET_VOLTAGE_VALUES_CON), con);
}

T_Result BluetoothLegacy::SetVoltageValues(uint8_t version, T_BT_SET_VOLTAGE_VALUES_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_set_voltage_values,
                              BT_RECORD_NAME(T_ATCTST_BT_SET_VOLTAGE_VALUES_REQ), &result))
        return result;
    LogSetVoltageValues(version, req);
    return StatusOnly(engine_.SetVoltageValues(rec::EncodeSetVoltageValues(version, req)));
}

T_Result BluetoothLegacy::SetPcmUartWakeupInterface(uint8_t version,
                                                    T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_set_pcm_uart_wakeup_interface,
                              BT_RECORD_NAME(T_ATCTST_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ),
                              &result))
        return result;
    LogSetPcmUartWakeupInterface(version, req);
    return StatusOnly(
        engine_.SetPcmUartWakeupInterface(rec::EncodeSetPcmUartWakeupInterface(version, req)));
}

T_Result BluetoothLegacy::GetPcmUartWakeupInterfaceStatus(
    uint8_t version, T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON* con) {
    LogGetPcmUartWakeupInterfaceStatus(version);
    LegacyConfirm<atctst_bt_get_pcm_uart_wakeup_interface_status> confirm{};
    const bool exchanged = engine_.GetPcmUartWakeupInterfaceStatus(&confirm);
    return DeliverConfirm(exchanged, version, confirm,
                          BT_RECORD_NAME(T_ATCTST_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON),
                          con);
}

T_Result BluetoothLegacy::SetPcmLoopback(uint8_t version, T_BT_SET_PCM_LOOPBACK_REQ req) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_set_pcm_loopback,
                              BT_RECORD_NAME(T_ATCTST_BT_SET_PCM_LOOPBACK_REQ), &result))
        return result;
    LogSetPcmLoopback(version, req);
    return StatusOnly(engine_.SetPcmLoopback(rec::EncodeSetPcmLoopback(version, req)));
}

T_Result BluetoothLegacy::HciCommand(uint8_t version, T_BT_HCI_COMMAND_REQ req,
                                     T_BT_HCI_COMMAND_CON* con, int radix) {
    T_Result result;
    if (RequestVersionDiffers(version, atctst_bt_hci_command,
                              BT_RECORD_NAME(T_ATCTST_BT_HCI_COMMAND_REQ), &result))
        return result;
    LogHciCommand(version, req, radix);
    LegacyConfirm<atctst_bt_hci_command> confirm{};
    if (!engine_.HciCommand(rec::EncodeHciCommand(version, req), &confirm))
        return {T_RESULT_FAILED, "Error: communication error when sending HCI command"};
    const auto wire = rec::FromBytes<T_ATCTST_BT_HCI_COMMAND_CON>(confirm);
    if (wire.version != version)
        return Mismatch(BT_RECORD_NAME(T_ATCTST_BT_HCI_COMMAND_CON), version, wire.version);
    if (wire.length > kHciDataSize) return {T_RESULT_DATA_TOO_LONG, {}};
    if (con) rec::Decode(confirm, con);
    return {};
}

// --- NVM parameters ----------------------------------------------------------------------

uint8_t BluetoothLegacy::GetNvmDataVersion(uint8_t index) {
    const uint8_t wire = WireIdOf(index);
    return wire == kNoWireId ? 0 : engine_.GetNvmDataVersion(wire);
}

T_Result BluetoothLegacy::Refuse() {
    ShowLine(kNotSupported, 1);
    return {T_RESULT_ERROR, kNotSupported};
}

T_Result BluetoothLegacy::ReadNvmParam(uint8_t version, uint32_t paramType, T_BT_NVM_VALUE* value) {
    const uint8_t wire = WireIdOf(paramType);
    const std::string name = t_nvm_param_to_string(wire);
    ShowLine("Getting " + name + " value", 1);
    TNVMDataDetails details(wire);
    if (!engine_.ReadNvm(wire, &details, 0)) return {T_RESULT_FAILED, {}};
    if (details.value.version != version)
        return Mismatch("NVM:" + name, version, details.value.version);
    *value = details.value;
    return {};
}

T_Result BluetoothLegacy::WriteNvmParam(const T_BT_NVM_VALUE& value) {
    ShowLine("Setting " + t_nvm_param_to_string(value.id) + " value", 1);
    return engine_.WriteNvm(value) ? T_Result{} : T_Result{T_RESULT_FAILED, {}};
}

T_Result BluetoothLegacy::GetSupportedNvm(uint8_t version, uint32_t paramType, void* out,
                                          void* cacheField, std::size_t width) {
    // Only parameters of one or six bytes have a wire id.
    if (WireIdOf(paramType) == kNoWireId || width > sizeof(T_BT_NVM_VALUE::data)) return Refuse();
    T_BT_NVM_VALUE value{};
    T_Result result = ReadNvmParam(version, paramType, &value);
    if (result.code != T_RESULT_OK) return result;
    if (out) std::memcpy(out, value.data, width);
    std::memcpy(cacheField, value.data, width);
    return result;
}

T_Result BluetoothLegacy::SetSupportedNvm(uint8_t version, uint32_t paramType, const void* bytes,
                                          std::size_t width) {
    const uint8_t wire = WireIdOf(paramType);
    if (wire == kNoWireId || width > sizeof(T_BT_NVM_VALUE::data)) return Refuse();
    const uint8_t known = engine_.GetNvmDataVersion(wire);
    if (known != version) return {T_RESULT_VERSION_MISMATCH, {}};
    if (bytes == nullptr) return {T_RESULT_FAILED, {}};
    T_BT_NVM_VALUE value{wire, known, {}};
    std::memcpy(value.data, bytes, width);
    return WriteNvmParam(value);
}

#define BT_LEGACY_GETTER(Camel, field, id, kind, transfer)                                         \
    T_Result BluetoothLegacy::GetNvm##Camel(uint8_t version, BT_NVM_VALUE_T_##kind* value) {       \
        if (WireIdOf(id) == kNoWireId) return Refuse();                                            \
        return GetSupportedNvm(version, id, value, &nvm_params.field, sizeof nvm_params.field);    \
    }
BT_NVM_PARAMS(BT_LEGACY_GETTER)
#undef BT_LEGACY_GETTER

#define BT_LEGACY_SETTER(Camel, field, id, kind, transfer)                                         \
    T_Result BluetoothLegacy::SetNvm##Camel(uint8_t version, BT_NVM_SET_T_##kind value) {          \
        if (WireIdOf(id) == kNoWireId) return Refuse();                                            \
        return SetSupportedNvm(version, id, BytesOf(value), sizeof nvm_params.field);              \
    }
BT_NVM_PARAMS(BT_LEGACY_SETTER)
#undef BT_LEGACY_SETTER

T_Result BluetoothLegacy::ReadAllNvmParams(uint8_t, T_BT_ALL_NVM_PARAMS*) {
    return Refuse();
}

T_Result BluetoothLegacy::WriteAllNvmParams(uint8_t, T_BT_ALL_NVM_PARAMS) {
    return Refuse();
}
