#include "zep/bluetoothzep.h"

#include <cstring>

#include "plugin/plugin.h"
#include "transport/host_info.h"

namespace {

constexpr char kHwInfoFailed[] = "Error: not able to retrieve BT HW information\n";
constexpr char kHciTooLong[] = "HCI command response data length above limit: 150";
constexpr char kNoValue[] = "No value to write";

template <typename T> bool IsMissing(T) {
    return false;
}
bool IsMissing(const uint8_t* value) {
    return value == nullptr;
}

} // namespace

BluetoothZep::BluetoothZep() : BluetoothZep(HostInfo::Instance().GetTransportService()) {}

BluetoothZep::BluetoothZep(ITransportService* transport) : command(transport), versions(command) {}

BluetoothZep::~BluetoothZep() = default;

uint8_t BluetoothZep::GetReqVersion(uint16_t opcode) {
    return versions.GetReqVersion(opcode);
}

uint8_t BluetoothZep::GetConVersion(uint16_t opcode) {
    return versions.GetConVersion(opcode);
}

void BluetoothZep::CheckVersion(VersionCheck check, uint8_t version, uint16_t opcode,
                                T_Result& result) {
    switch (check) {
    case VersionCheck::None:
        break;
    case VersionCheck::Req:
        versions.CheckReqVersion(version, opcode, result);
        break;
    case VersionCheck::Con:
        versions.CheckConVersion(version, opcode, result);
        break;
    case VersionCheck::Both:
        versions.CheckVersions(version, opcode, result);
        break;
    }
}

template <typename Body>
T_Result BluetoothZep::Operate(VersionCheck check, uint8_t version, uint16_t opcode, Body&& body) {
    T_Result result;
    CheckVersion(check, version, opcode, result);
    int32_t code = 0;
    if (result.code == T_RESULT_OK) result.code = body(code);
    ReportResult(result, code);
    return result;
}

// --- the operations that follow their shape ----------------------------------------------

namespace {

// The command method of each operation whose body follows its shape, from its row.
template <typename Op> constexpr auto kCommand = nullptr;
#define BT_ZEP_COMMAND_Set(Name, Command)                                                          \
    template <> constexpr auto kCommand<bt_op::Name> = &MANAGED_IF::bt::Command;
#define BT_ZEP_COMMAND_Get BT_ZEP_COMMAND_Set
#define BT_ZEP_COMMAND_Query BT_ZEP_COMMAND_Set
#define BT_ZEP_COMMAND_Check(...)
#define BT_ZEP_COMMAND_OwnVer(...)
#define BT_ZEP_COMMAND_OwnReset(...)
#define BT_ZEP_COMMAND_OwnHci(...)
#define BT_ZEP_COMMAND_OwnSet(...)
#define BT_ZEP_COMMAND_OwnGet(...)
#define BT_ZEP_COMMAND(Name, Shape, Request, Confirm, Function, Opcode, Command, Check, Action)    \
    BT_ZEP_COMMAND_##Shape(Name, Command)
BT_OPERATIONS(BT_ZEP_COMMAND)
#undef BT_ZEP_COMMAND

} // namespace

template <typename Op, typename Request>
T_Result BluetoothZep::SetBody(uint8_t version, const Request& req) {
    static_assert(Op::shape == OpShape::Set);
    return Operate(Op::check, version, Op::opcode, [&](int32_t& code) {
        LogAction<Op>(req);
        return (command.*kCommand<Op>)(req, &code);
    });
}

// The confirm-reading operations report the code the reply left in the record's result.
// Without a reply the record still holds the caller's old values, which say nothing.
template <typename Op, typename Confirm>
T_Result BluetoothZep::GetBody(uint8_t version, Confirm* con) {
    static_assert(Op::shape == OpShape::Get);
    Confirm local{};
    Confirm* out = con != nullptr ? con : &local;
    return Operate(Op::check, version, Op::opcode, [&](int32_t& code) {
        LogAction<Op>();
        const uint8_t status = (command.*kCommand<Op>)(out);
        if (command.reply_read()) code = out->result;
        return status;
    });
}

template <typename Op, typename Request, typename Confirm>
T_Result BluetoothZep::QueryBody(uint8_t version, const Request& req, Confirm* con) {
    static_assert(Op::shape == OpShape::Query);
    Confirm local{};
    Confirm* out = con != nullptr ? con : &local;
    return Operate(Op::check, version, Op::opcode, [&](int32_t& code) {
        LogAction<Op>(req);
        const uint8_t status = (command.*kCommand<Op>)(req, out);
        if (command.reply_read()) code = out->result;
        return status;
    });
}

// No text command: the action line alone.
template <typename Op> bool BluetoothZep::CheckBody(uint8_t* result) {
    static_assert(Op::shape == OpShape::Check && Op::check == VersionCheck::None);
    LogAction<Op>();
    if (result != nullptr) *result = 0;
    return false;
}

T_Result BluetoothZep::SetRfTestMode(uint8_t version, T_BT_SET_RF_TEST_MODE_REQ req) {
    return SetBody<bt_op::SetRfTestMode>(version, req);
}
T_Result BluetoothZep::SetTxBurstMode(uint8_t version, T_BT_SET_TX_BURST_MODE_REQ req) {
    return SetBody<bt_op::SetTxBurstMode>(version, req);
}
T_Result BluetoothZep::SetTxContinuousMode(uint8_t version, T_BT_SET_TX_CONTINUOUS_MODE_REQ req) {
    return SetBody<bt_op::SetTxContinuousMode>(version, req);
}
T_Result BluetoothZep::SetRxContinuousMode(uint8_t version, T_BT_SET_RX_CONTINUOUS_MODE_REQ req) {
    return SetBody<bt_op::SetRxContinuousMode>(version, req);
}
T_Result BluetoothZep::SetTxLeMode(uint8_t version, T_BT_SET_TX_LE_MODE_REQ req) {
    return SetBody<bt_op::SetTxLeMode>(version, req);
}
T_Result BluetoothZep::RxLeStart(uint8_t version, T_BT_RX_LE_START_REQ req) {
    return SetBody<bt_op::RxLeStart>(version, req);
}
T_Result BluetoothZep::RxLeEnd(uint8_t version, T_BT_RX_LE_END_CON* con) {
    return GetBody<bt_op::RxLeEnd>(version, con);
}
bool BluetoothZep::CheckHostInterface(uint8_t* result) {
    return CheckBody<bt_op::CheckHostInterface>(result);
}
bool BluetoothZep::CheckSleepxSignal(uint8_t* result) {
    return CheckBody<bt_op::CheckSleepxSignal>(result);
}
T_Result BluetoothZep::GetLumoraVersion(uint8_t version, T_BT_GET_LUMORA_VERSION_CON* con) {
    return GetBody<bt_op::GetLumoraVersion>(version, con);
}
T_Result BluetoothZep::GetRssiValue(uint8_t version, T_BT_GET_RSSI_VALUE_REQ req,
                                    T_BT_GET_RSSI_VALUE_CON* con) {
    return QueryBody<bt_op::GetRssiValue>(version, req, con);
}
T_Result BluetoothZep::GetRtrimValues(uint8_t version, T_BT_GET_RTRIM_VALUES_CON* con) {
    return GetBody<bt_op::GetRtrimValues>(version, con);
}
T_Result BluetoothZep::SetRtrimManualValues(uint8_t version, T_BT_SET_RTRIM_MANUAL_VALUE_REQ req) {
    return SetBody<bt_op::SetRtrimManualValues>(version, req);
}
T_Result BluetoothZep::GetKfreqIbiasdacValues(uint8_t version,
                                              T_BT_GET_KFREQ_IBIASDAC_VALUES_CON* con) {
    return GetBody<bt_op::GetKfreqIbiasdacValues>(version, con);
}
T_Result BluetoothZep::SetKfreqIbiasdacManualValues(uint8_t version,
                                                    T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ req) {
    return SetBody<bt_op::SetKfreqIbiasdacManualValues>(version, req);
}
T_Result BluetoothZep::GetTemperatureValues(uint8_t version, T_BT_GET_TEMPERATURE_VALUES_CON* con) {
    return GetBody<bt_op::GetTemperatureValues>(version, con);
}
T_Result BluetoothZep::SetTemperatureValues(uint8_t version, T_BT_SET_TEMPERATURE_VALUES_REQ req) {
    return SetBody<bt_op::SetTemperatureValues>(version, req);
}
T_Result BluetoothZep::GetVoltageValues(uint8_t version, T_BT_GET_VOLTAGE_VALUES_CON* con) {
    return GetBody<bt_op::GetVoltageValues>(version, con);
}
T_Result BluetoothZep::SetVoltageValues(uint8_t version, T_BT_SET_VOLTAGE_VALUES_REQ req) {
    return SetBody<bt_op::SetVoltageValues>(version, req);
}
T_Result BluetoothZep::SetPcmUartWakeupInterface(uint8_t version,
                                                 T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ req) {
    return SetBody<bt_op::SetPcmUartWakeupInterface>(version, req);
}
T_Result
BluetoothZep::GetPcmUartWakeupInterfaceStatus(uint8_t version,
                                              T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON* con) {
    return GetBody<bt_op::GetPcmUartWakeupInterfaceStatus>(version, con);
}
T_Result BluetoothZep::SetPcmLoopback(uint8_t version, T_BT_SET_PCM_LOOPBACK_REQ req) {
    return SetBody<bt_op::SetPcmLoopback>(version, req);
}

// --- the operations of their own -------------------------------------------------------

T_Result BluetoothZep::GetHwInfo(uint8_t version) {
    using Op = bt_op::GetHwInfo;
    T_Result result;
    CheckVersion(Op::check, version, Op::opcode, result);
    host_interface = 2;
    int32_t code = 0;
    if (result.code == T_RESULT_OK) {
        LogAction<Op>();
        bt_on = 0;
        uint32_t hostInterface = 0, chipState = 0;
        result.code = command.hw_info(&hostInterface, &chipState, &code);
        if (result.code == T_RESULT_OK && code == 0) {
            host_interface = static_cast<uint8_t>(hostInterface);
            bt_on = static_cast<uint8_t>(chipState);
        } else if (result.code != T_RESULT_OK) {
            result.text = kHwInfoFailed;
        }
    }
    ReportResult(result, code);
    return result;
}

T_Result BluetoothZep::Initialize(uint8_t version) {
    using Op = bt_op::Initialize;
    return Operate(Op::check, version, Op::opcode, [&](int32_t& code) {
        LogAction<Op>(bt_on);
        const uint8_t status = command.initialize(bt_on == 1 ? 0u : 1u, &code);
        if (status == T_RESULT_OK && code == 0) bt_on = bt_on == 1 ? 0 : 1;
        return status;
    });
}

bool BluetoothZep::ResetHci(uint8_t version, bool* resetOk) {
    using Op = bt_op::ResetHci;
    int32_t phoneCode = -1;
    const T_Result result = Operate(Op::check, version, Op::opcode, [&](int32_t& code) {
        LogAction<Op>();
        const uint8_t status = command.reset(&code);
        phoneCode = code;
        return status;
    });
    if (resetOk != nullptr) *resetOk = result.code == T_RESULT_OK && phoneCode == 0;
    return result.code == T_RESULT_OK;
}

uint8_t BluetoothZep::GetNvmDataVersion(uint8_t) {
    return GetConVersion(READ_FROM_NVM);
}

T_Result BluetoothZep::HciCommand(uint8_t version, T_BT_HCI_COMMAND_REQ req,
                                  T_BT_HCI_COMMAND_CON* con, int radix) {
    T_BT_HCI_COMMAND_CON local{};
    T_BT_HCI_COMMAND_CON* out = con != nullptr ? con : &local;
    using Op = bt_op::HciCommand;
    T_Result result;
    CheckVersion(Op::check, version, Op::opcode, result);
    int32_t code = 0;
    if (result.code == T_RESULT_OK) {
        LogAction<Op>(req, radix);
        result.code = command.hci_command(req, out);
        // Only a reply fills the record: after a failed exchange its length and code are
        // the caller's old values, and the failure is reported as what it is.
        if (command.reply_read()) {
            code = out->result;
            if (out->length > kHciDataSize) {
                result.code = T_RESULT_DATA_TOO_LONG;
                result.text = kHciTooLong;
            }
        }
    }
    ReportResult(result, code);
    return result;
}

#define BT_NVM_SETTER(Camel, field, id, kind, transfer, units)                                            \
    T_Result BluetoothZep::SetNvm##Camel(uint8_t version, BT_NVM_SET_T_##kind value) {             \
        if (IsMissing(value)) return T_Result{T_RESULT_ERROR, kNoValue};                           \
        return Operate(VersionCheck::Req, version, WRITE_TO_NVM, [&](int32_t&) {                   \
            ShowLine("Setting NVM: " + t_nvm_param_type_to_string(id), 1);                         \
            int32_t phoneCode = 0;                                                                 \
            return command.write_nvm_##field(value, &phoneCode);                                   \
        });                                                                                        \
    }
BT_NVM_PARAMS(BT_NVM_SETTER)
#undef BT_NVM_SETTER

T_Result BluetoothZep::ReadAllNvmParams(uint8_t version, T_BT_ALL_NVM_PARAMS* params) {
    T_BT_ALL_NVM_PARAMS local{};
    T_BT_ALL_NVM_PARAMS* out = params != nullptr ? params : &local;
    using Op = bt_op::ReadAllNvmParams;
    return Operate(Op::check, version, Op::opcode, [&](int32_t&) {
        LogAction<Op>();
        const uint8_t status = command.read_all_nvm_params(out);
        std::memcpy(&nvm_params, out, sizeof nvm_params);
        return status;
    });
}

T_Result BluetoothZep::WriteAllNvmParams(uint8_t version, T_BT_ALL_NVM_PARAMS params) {
    using Op = bt_op::WriteAllNvmParams;
    return Operate(Op::check, version, Op::opcode, [&](int32_t&) {
        LogAction<Op>();
        T_BT_WRITE_ALL_NVM_PARAMS_CON reply;
        return command.write_all_nvm_params(params, &reply);
    });
}
