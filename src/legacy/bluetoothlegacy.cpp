#include "legacy/bluetoothlegacy.h"

#include <cstring>
#include <type_traits>

#include "legacy/legacy_records.h"
#include "plugin/plugin.h"

using legacy_framing::Outcome;
namespace rec = legacy_records;

namespace {

constexpr char kNotSupported[] = "NVM command not supported";

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

template <T_ATCTST_BT_FUNCTION F>
bool BluetoothLegacy::RequestRecordDiffers(uint8_t version, T_Result* result) {
    return RequestVersionDiffers(version, F, rec::kRecordName<F, rec::Side::request>, result);
}

template <T_ATCTST_BT_FUNCTION F> T_Result BluetoothLegacy::Sent(const LegacyRequest<F>& request) {
    if (engine_.Call<F>(&request, nullptr) != Outcome::Success) return {T_RESULT_FAILED, {}};
    return {};
}

template <T_ATCTST_BT_FUNCTION F, typename Out>
T_Result BluetoothLegacy::Delivered(uint8_t version, const LegacyRequest<F>* request, Out* out) {
    LegacyConfirm<F> confirm{};
    if (engine_.Call<F>(request, &confirm) != Outcome::Success) return {T_RESULT_FAILED, {}};
    const uint8_t phone = rec::ConfirmVersion(confirm);
    if (phone != version) return Mismatch(rec::kRecordName<F, rec::Side::confirm>, version, phone);
    if (out) rec::Decode(confirm, out);
    return {};
}

// --- the operations that follow their shape ----------------------------------------------

template <typename Op, typename Request>
T_Result BluetoothLegacy::SetBody(uint8_t version, const Request& req) {
    static_assert(Op::shape == OpShape::Set && Op::check == VersionCheck::Req);
    constexpr T_ATCTST_BT_FUNCTION F = Op::function;
    T_Result mismatch;
    if (RequestRecordDiffers<F>(version, &mismatch)) return mismatch;
    LogAction<Op>(req);
    return Sent<F>(rec::Encode(version, req));
}

template <typename Op, typename Confirm>
T_Result BluetoothLegacy::GetBody(uint8_t version, Confirm* con) {
    static_assert(Op::shape == OpShape::Get && Op::check == VersionCheck::Con);
    LogAction<Op>();
    return Delivered<Op::function>(version, nullptr, con);
}

template <typename Op, typename Request, typename Confirm>
T_Result BluetoothLegacy::QueryBody(uint8_t version, const Request& req, Confirm* con) {
    static_assert(Op::shape == OpShape::Query && Op::check == VersionCheck::Both);
    constexpr T_ATCTST_BT_FUNCTION F = Op::function;
    T_Result mismatch;
    if (RequestRecordDiffers<F>(version, &mismatch)) return mismatch;
    LogAction<Op>(req);
    const LegacyRequest<F> request = rec::Encode(version, req);
    return Delivered<F>(version, &request, con);
}

template <typename Op> bool BluetoothLegacy::CheckBody(uint8_t* result) {
    static_assert(Op::shape == OpShape::Check && Op::check == VersionCheck::None);
    LogAction<Op>();
    const Outcome outcome = engine_.Call<Op::function>(nullptr, nullptr);
    if (result) *result = outcome == Outcome::Success ? 1 : 0;
    return outcome != Outcome::HostFailed;
}

T_Result BluetoothLegacy::SetRfTestMode(uint8_t version, T_BT_SET_RF_TEST_MODE_REQ req) {
    return SetBody<bt_op::SetRfTestMode>(version, req);
}
T_Result BluetoothLegacy::SetTxBurstMode(uint8_t version, T_BT_SET_TX_BURST_MODE_REQ req) {
    return SetBody<bt_op::SetTxBurstMode>(version, req);
}
T_Result BluetoothLegacy::SetTxContinuousMode(uint8_t version,
                                              T_BT_SET_TX_CONTINUOUS_MODE_REQ req) {
    return SetBody<bt_op::SetTxContinuousMode>(version, req);
}
T_Result BluetoothLegacy::SetRxContinuousMode(uint8_t version,
                                              T_BT_SET_RX_CONTINUOUS_MODE_REQ req) {
    return SetBody<bt_op::SetRxContinuousMode>(version, req);
}
T_Result BluetoothLegacy::SetTxLeMode(uint8_t version, T_BT_SET_TX_LE_MODE_REQ req) {
    return SetBody<bt_op::SetTxLeMode>(version, req);
}
T_Result BluetoothLegacy::RxLeStart(uint8_t version, T_BT_RX_LE_START_REQ req) {
    return SetBody<bt_op::RxLeStart>(version, req);
}
T_Result BluetoothLegacy::RxLeEnd(uint8_t version, T_BT_RX_LE_END_CON* con) {
    return GetBody<bt_op::RxLeEnd>(version, con);
}
bool BluetoothLegacy::CheckHostInterface(uint8_t* result) {
    return CheckBody<bt_op::CheckHostInterface>(result);
}
bool BluetoothLegacy::CheckSleepxSignal(uint8_t* result) {
    return CheckBody<bt_op::CheckSleepxSignal>(result);
}
T_Result BluetoothLegacy::GetLumoraVersion(uint8_t version, T_BT_GET_LUMORA_VERSION_CON* con) {
    return GetBody<bt_op::GetLumoraVersion>(version, con);
}
T_Result BluetoothLegacy::GetRssiValue(uint8_t version, T_BT_GET_RSSI_VALUE_REQ req,
                                       T_BT_GET_RSSI_VALUE_CON* con) {
    return QueryBody<bt_op::GetRssiValue>(version, req, con);
}
T_Result BluetoothLegacy::GetRtrimValues(uint8_t version, T_BT_GET_RTRIM_VALUES_CON* con) {
    return GetBody<bt_op::GetRtrimValues>(version, con);
}
T_Result BluetoothLegacy::SetRtrimManualValues(uint8_t version,
                                               T_BT_SET_RTRIM_MANUAL_VALUE_REQ req) {
    return SetBody<bt_op::SetRtrimManualValues>(version, req);
}
T_Result BluetoothLegacy::GetKfreqIbiasdacValues(uint8_t version,
                                                 T_BT_GET_KFREQ_IBIASDAC_VALUES_CON* con) {
    return GetBody<bt_op::GetKfreqIbiasdacValues>(version, con);
}
T_Result
BluetoothLegacy::SetKfreqIbiasdacManualValues(uint8_t version,
                                              T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ req) {
    return SetBody<bt_op::SetKfreqIbiasdacManualValues>(version, req);
}
T_Result BluetoothLegacy::GetTemperatureValues(uint8_t version,
                                               T_BT_GET_TEMPERATURE_VALUES_CON* con) {
    return GetBody<bt_op::GetTemperatureValues>(version, con);
}
T_Result BluetoothLegacy::SetTemperatureValues(uint8_t version,
                                               T_BT_SET_TEMPERATURE_VALUES_REQ req) {
    return SetBody<bt_op::SetTemperatureValues>(version, req);
}
T_Result BluetoothLegacy::GetVoltageValues(uint8_t version, T_BT_GET_VOLTAGE_VALUES_CON* con) {
    return GetBody<bt_op::GetVoltageValues>(version, con);
}
T_Result BluetoothLegacy::SetVoltageValues(uint8_t version, T_BT_SET_VOLTAGE_VALUES_REQ req) {
    return SetBody<bt_op::SetVoltageValues>(version, req);
}
T_Result BluetoothLegacy::SetPcmUartWakeupInterface(uint8_t version,
                                                    T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ req) {
    return SetBody<bt_op::SetPcmUartWakeupInterface>(version, req);
}
T_Result BluetoothLegacy::GetPcmUartWakeupInterfaceStatus(
    uint8_t version, T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON* con) {
    return GetBody<bt_op::GetPcmUartWakeupInterfaceStatus>(version, con);
}
T_Result BluetoothLegacy::SetPcmLoopback(uint8_t version, T_BT_SET_PCM_LOOPBACK_REQ req) {
    return SetBody<bt_op::SetPcmLoopback>(version, req);
}

// --- the operations of their own -------------------------------------------------------

T_Result BluetoothLegacy::GetHwInfo(uint8_t version) {
    using Op = bt_op::GetHwInfo;
    LogAction<Op>();
    bt_on = 0;
    LegacyConfirm<Op::function> confirm{};
    if (engine_.Call<Op::function>(nullptr, &confirm) != Outcome::Success) {
        host_interface = 2;
        return {T_RESULT_FAILED, "Error: not able to retrieve BT HW information\n"};
    }
    if (rec::ConfirmVersion(confirm) != version) {
        host_interface = 2;
        return Mismatch(rec::kRecordName<Op::function, rec::Side::confirm>, version,
                        rec::ConfirmVersion(confirm));
    }
    const auto wire = rec::FromBytes<T_ATCTST_BT_HW_INFO_CON_UNION>(confirm);
    host_interface = wire.host_interface;
    bt_on = wire.bt_on;
    return {};
}

// The mismatch names the function, not its record.
T_Result BluetoothLegacy::Initialize(uint8_t version) {
    using Op = bt_op::Initialize;
    T_Result result;
    if (RequestVersionDiffers(version, Op::function, "atctst_bt_initialize", &result))
        return result;
    LogAction<Op>(bt_on);
    const uint8_t requested = bt_on == 1 ? 0 : 1;
    result = Sent<Op::function>(rec::EncodeInitialize(version, requested));
    if (result.code == T_RESULT_OK) bt_on = requested;
    return result;
}

// No version check.
bool BluetoothLegacy::ResetHci(uint8_t, bool* resetOk) {
    using Op = bt_op::ResetHci;
    LogAction<Op>();
    const Outcome outcome = engine_.Call<Op::function>(nullptr, nullptr);
    if (resetOk) *resetOk = outcome == Outcome::Success;
    return outcome != Outcome::HostFailed;
}

T_Result BluetoothLegacy::HciCommand(uint8_t version, T_BT_HCI_COMMAND_REQ req,
                                     T_BT_HCI_COMMAND_CON* con, int radix) {
    using Op = bt_op::HciCommand;
    T_Result mismatch;
    if (RequestRecordDiffers<Op::function>(version, &mismatch)) return mismatch;
    LogAction<Op>(req, radix);
    const LegacyRequest<Op::function> request = rec::Encode(version, req);
    LegacyConfirm<Op::function> confirm{};
    if (engine_.Call<Op::function>(&request, &confirm) != Outcome::Success)
        return {T_RESULT_FAILED, "Error: communication error when sending HCI command"};
    const auto wire = rec::FromBytes<T_ATCTST_BT_HCI_COMMAND_CON>(confirm);
    if (wire.version != version)
        return Mismatch(rec::kRecordName<Op::function, rec::Side::confirm>, version, wire.version);
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

#define BT_LEGACY_GETTER(Camel, field, id, kind, transfer, units)                                         \
    T_Result BluetoothLegacy::GetNvm##Camel(uint8_t version, BT_NVM_VALUE_T_##kind* value) {       \
        if (WireIdOf(id) == kNoWireId) return Refuse();                                            \
        return GetSupportedNvm(version, id, value, &nvm_params.field, sizeof nvm_params.field);    \
    }
BT_NVM_PARAMS(BT_LEGACY_GETTER)
#undef BT_LEGACY_GETTER

#define BT_LEGACY_SETTER(Camel, field, id, kind, transfer, units)                                         \
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
