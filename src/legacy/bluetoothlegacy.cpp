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

#define BT_LEGACY_REQUEST_CHECK(Function)                                                          \
    T_Result mismatch;                                                                             \
    if (RequestVersionDiffers(version, Function, rec::kRecordName<Function, rec::Side::request>,   \
                              &mismatch))                                                          \
        return mismatch;

#define BT_LEGACY_BODY_Set(Name, Request, Confirm, Function, Check)                                \
    BT_OP_SIGNATURE_Set(BluetoothLegacy::Name, Request, Confirm) {                                 \
        static_assert(VersionCheck::Check == VersionCheck::Req);                                   \
        BT_LEGACY_REQUEST_CHECK(Function)                                                          \
        Log##Name(req);                                                                            \
        return Sent<Function>(rec::Encode(version, req));                                          \
    }
#define BT_LEGACY_BODY_Get(Name, Request, Confirm, Function, Check)                                \
    BT_OP_SIGNATURE_Get(BluetoothLegacy::Name, Request, Confirm) {                                 \
        static_assert(VersionCheck::Check == VersionCheck::Con);                                   \
        Log##Name();                                                                               \
        return Delivered<Function>(version, nullptr, con);                                         \
    }
#define BT_LEGACY_BODY_Query(Name, Request, Confirm, Function, Check)                              \
    BT_OP_SIGNATURE_Query(BluetoothLegacy::Name, Request, Confirm) {                               \
        static_assert(VersionCheck::Check == VersionCheck::Both);                                  \
        BT_LEGACY_REQUEST_CHECK(Function)                                                          \
        Log##Name(req);                                                                            \
        const LegacyRequest<Function> request = rec::Encode(version, req);                         \
        return Delivered<Function>(version, &request, con);                                        \
    }
#define BT_LEGACY_BODY_Check(Name, Request, Confirm, Function, Check)                              \
    BT_OP_SIGNATURE_Check(BluetoothLegacy::Name, Request, Confirm) {                               \
        static_assert(VersionCheck::Check == VersionCheck::None);                                  \
        Log##Name();                                                                               \
        const Outcome outcome = engine_.Call<Function>(nullptr, nullptr);                          \
        if (result) *result = outcome == Outcome::Success ? 1 : 0;                                 \
        return outcome != Outcome::HostFailed;                                                     \
    }
#define BT_LEGACY_BODY_OwnVer(...)
#define BT_LEGACY_BODY_OwnReset(...)
#define BT_LEGACY_BODY_OwnHci(...)
#define BT_LEGACY_BODY_OwnSet(...)
#define BT_LEGACY_BODY_OwnGet(...)
#define BT_LEGACY_BODY(Name, Shape, Request, Confirm, Function, Opcode, Command, Check, Action)    \
    BT_LEGACY_BODY_##Shape(Name, Request, Confirm, Function, Check)
BT_OPERATIONS(BT_LEGACY_BODY)

// --- the operations of their own -------------------------------------------------------

T_Result BluetoothLegacy::GetHwInfo(uint8_t version) {
    using Op = bt_op::GetHwInfo;
    LogGetHwInfo();
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
    LogInitialize();
    const uint8_t requested = bt_on == 1 ? 0 : 1;
    result = Sent<Op::function>(rec::EncodeInitialize(version, requested));
    if (result.code == T_RESULT_OK) bt_on = requested;
    return result;
}

// No version check.
bool BluetoothLegacy::ResetHci(uint8_t, bool* resetOk) {
    LogResetHci();
    const Outcome outcome = engine_.Call<bt_op::ResetHci::function>(nullptr, nullptr);
    if (resetOk) *resetOk = outcome == Outcome::Success;
    return outcome != Outcome::HostFailed;
}

T_Result BluetoothLegacy::HciCommand(uint8_t version, T_BT_HCI_COMMAND_REQ req,
                                     T_BT_HCI_COMMAND_CON* con, int radix) {
    using Op = bt_op::HciCommand;
    BT_LEGACY_REQUEST_CHECK(Op::function)
    LogHciCommand(req, radix);
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

#undef BT_LEGACY_REQUEST_CHECK

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
